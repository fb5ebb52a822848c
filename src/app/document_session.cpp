#include "app/document_session.h"

#include <QApplication>

namespace tessmol {

DesktopFeedback::~DesktopFeedback() = default;

void DesktopFeedback::ShowMessage(const std::string& text) {
  dialogs_.Message(parentWidget, QString::fromStdString(text));
}

void DesktopFeedback::BeginProgress(const std::string& text) {
  if (!progress_) {
    progress_ = std::make_unique<ProgDlg>();
    progress_->show();
    ++progressShown;
  }
  progress_->SetText(QString::fromStdString(text));
  progress_->SetPos(0);
  Repaint();
}

void DesktopFeedback::SetProgress(int percent) {
  if (!progress_) return;
  progress_->SetPos(percent);
  Repaint();
}

void DesktopFeedback::EndProgress() {
  progress_.reset();
  Repaint();
}

void DesktopFeedback::DocumentChanged() {
  emit session_.Changed();
}

// The computation runs on this thread: let windows repaint, but take no user input that
// could start another command or close the document under it.
void DesktopFeedback::Repaint() {
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

DocumentSession::DocumentSession(ProcessState& state, DialogService& dialogs, QWidget* messageParent,
                                 const QString& documentTitle)
    : title(documentTitle), dialogs_(dialogs), feedback_(*this, dialogs) {
  feedback_.parentWidget = messageParent;
  doc_ = std::make_unique<CTessmolDoc>(state, feedback_);
}

}  // namespace tessmol
