#include "views/multi_dlg.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessmol {

MultiDlg::MultiDlg(DialogService& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Multiple analysis"));
  auto* layout = new QVBoxLayout(this);
  folderEdit_ = new QLineEdit(folderText, this);
  layout->addWidget(folderEdit_);
  progressBox_ = new QCheckBox(QStringLiteral("Show Progress"), this);
  progressBox_->setChecked(true);
  customBox_ = new QCheckBox(QStringLiteral("Create Custom Scoring System"), this);
  layout->addWidget(progressBox_);
  layout->addWidget(customBox_);
  auto* group = new QGroupBox(QStringLiteral("Add Files"), this);
  auto* groupLayout = new QVBoxLayout(group);
  fileList_ = new QListWidget(group);
  groupLayout->addWidget(fileList_);
  auto* buttons = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("Add"), group);
  auto* remove = new QPushButton(QStringLiteral("Remove"), group);
  buttons->addWidget(add);
  buttons->addWidget(remove);
  buttons->addStretch();
  groupLayout->addLayout(buttons);
  layout->addWidget(group);
  auto* actions = new QHBoxLayout;
  runButton_ = new QPushButton(QStringLiteral("Run Analysis"), this);
  runButton_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  actions->addStretch();
  actions->addWidget(runButton_);
  actions->addWidget(cancel);
  layout->addLayout(actions);

  connect(add, &QPushButton::clicked, this, &MultiDlg::OnAdd);
  connect(remove, &QPushButton::clicked, this, &MultiDlg::OnRemove);
  connect(customBox_, &QCheckBox::clicked, this, &MultiDlg::OnCustomTableClicked);
  connect(runButton_, &QPushButton::clicked, this, [this]() {
    TransferControls();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  resize(420, 380);
}

void MultiDlg::TransferControls() {
  folderText = folderEdit_->text();
  createCustomTable = customBox_->isChecked();
}

void MultiDlg::OnAdd() {
  const QStringList chosen = dialogs_.OpenFiles(
      this, QStringLiteral("Add Files"),
      QStringLiteral("PDB Files (*.pdb *.ent);;CIF Files (*.cif);;3D structure Files (*.cif *.pdb);;"
                     "Text Files (*.txt);;All Files (*)"));
  for (const QString& path : chosen) {
    filePaths << path;
    fileList_->addItem(QFileInfo(path).fileName());
  }
  TransferControls();
}

void MultiDlg::OnRemove() {
  const int row = fileList_->currentRow();
  if (row < 0 || row >= filePaths.size()) return;
  delete fileList_->takeItem(row);
  filePaths.removeAt(row);
}

void MultiDlg::OnCustomTableClicked() {
  TransferControls();
  if (!createCustomTable) return;  // unticking keeps the chosen path
  const auto path = dialogs_.SaveFile(
      this, QStringLiteral("Create Custom Scoring System"),
      QStringLiteral("Score Table Files (*.stb);;Text Files (*.txt);;All Files (*)"), QStringLiteral("stb"));
  if (path) {
    customTablePath = *path;
  } else {
    customBox_->setChecked(false);
    createCustomTable = false;
  }
}

}  // namespace tessmol
