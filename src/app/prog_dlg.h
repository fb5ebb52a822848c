// "Progress...": a text and a bar from 0 to 100, shown while a long computation runs.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace tessmol {

class ProgDlg : public QDialog {
 public:
  ProgDlg();
  void SetText(const QString& text);
  void SetPos(int percent);
  QString text() const;
  int pos() const;

 private:
  QLabel* label_;
  QProgressBar* bar_;
};

}  // namespace tessmol
