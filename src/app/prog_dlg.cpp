#include "app/prog_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tessmol {

ProgDlg::ProgDlg() : QDialog(nullptr) {
  setWindowTitle(QStringLiteral("Progress..."));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  setMinimumWidth(360);
}

void ProgDlg::SetText(const QString& text) {
  label_->setText(text);
}
void ProgDlg::SetPos(int percent) {
  bar_->setValue(percent);
}
QString ProgDlg::text() const {
  return label_->text();
}
int ProgDlg::pos() const {
  return bar_->value();
}

}  // namespace tessmol
