// Every question the desktop asks the user goes through this seam: file dialogs, message
// boxes and modal dialogs. The application answers with real Qt dialogs; tests answer from
// a script, so no test ever blocks on a window.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace tessmol {

class DialogService {
 public:
  virtual ~DialogService() = default;
  // `filter` uses Qt's form: "PDB Files (*.pdb *.ent);;All Files (*)".
  virtual std::optional<QString> OpenFile(QWidget* parent, const QString& title, const QString& filter) = 0;
  virtual QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const QString& title, const QString& filter,
                                          const QString& defaultSuffix) = 0;
  virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                              const QString& start) = 0;
  virtual void Message(QWidget* parent, const QString& text) = 0;
  // Shows a modal dialog and returns its result code (QDialog::Accepted or Rejected).
  virtual int Run(QDialog& dialog) = 0;
};

class QtDialogService : public DialogService {
 public:
  std::optional<QString> OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
  std::optional<QString> SaveFile(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& defaultSuffix) override;
  std::optional<QString> ChooseFolder(QWidget* parent, const QString& title, const QString& start) override;
  void Message(QWidget* parent, const QString& text) override;
  int Run(QDialog& dialog) override;
};

}  // namespace tessmol
