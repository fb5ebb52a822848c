// "Multiple analysis": the structure files to analyse and, optionally, the score table to
// derive from them.
#pragma once

#include <QDialog>
#include <QStringList>

#include "views/dialog_service.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessmol {

class MultiDlg : public QDialog {
 public:
  MultiDlg(DialogService& dialogs, QWidget* parent = nullptr);

  // The values handed over when the dialog ends with "Run Analysis".
  QStringList filePaths;
  QString folderText = QStringLiteral("./Multiple Analysis/");
  bool createCustomTable = false;
  QString customTablePath;

  void OnAdd();
  void OnRemove();
  void OnCustomTableClicked();

  QListWidget* fileList() const { return fileList_; }
  QCheckBox* customTableBox() const { return customBox_; }
  QPushButton* runButton() const { return runButton_; }

 private:
  void TransferControls();

  DialogService& dialogs_;
  QLineEdit* folderEdit_;
  QCheckBox* progressBox_;
  QCheckBox* customBox_;
  QListWidget* fileList_;
  QPushButton* runButton_;
};

}  // namespace tessmol
