#include "views/dialog_service.h"

#include <QFileDialog>
#include <QMessageBox>

namespace tessmol {

std::optional<QString> QtDialogService::OpenFile(QWidget* parent, const QString& title,
                                                 const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

QStringList QtDialogService::OpenFiles(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

std::optional<QString> QtDialogService::SaveFile(QWidget* parent, const QString& title, const QString& filter,
                                                 const QString& defaultSuffix) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogService::ChooseFolder(QWidget* parent, const QString& title,
                                                     const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(parent, title, start);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

void QtDialogService::Message(QWidget* parent, const QString& text) {
  // Failures (every one of them says "Error") stand out with the critical icon.
  if (text.startsWith(QStringLiteral("Error"))) {
    QMessageBox::critical(parent, QStringLiteral("Tessmol"), text);
  } else {
    QMessageBox::information(parent, QStringLiteral("Tessmol"), text);
  }
}

int QtDialogService::Run(QDialog& dialog) {
  return dialog.exec();
}

}  // namespace tessmol
