// One open document with everything the desktop hangs on it: the core document, the way it
// talks to the user (message boxes through the dialog seam, the progress dialog, view
// refreshes), and the frames that show it.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "app/prog_dlg.h"
#include "document/tessmol_doc.h"
#include "views/dialog_service.h"

namespace tessmol {

class DocumentSession;

class DesktopFeedback : public Feedback {
 public:
  DesktopFeedback(DocumentSession& session, DialogService& dialogs) : session_(session), dialogs_(dialogs) {}
  ~DesktopFeedback() override;
  void ShowMessage(const std::string& text) override;
  void BeginProgress(const std::string& text) override;
  void SetProgress(int percent) override;
  void EndProgress() override;
  void DocumentChanged() override;

  QWidget* parentWidget = nullptr;  // message boxes stand over this window
  ProgDlg* progress() const { return progress_.get(); }
  int progressShown = 0;  // how many progress dialogs were opened, for tests

 private:
  void Repaint();
  DocumentSession& session_;
  DialogService& dialogs_;
  std::unique_ptr<ProgDlg> progress_;
};

class DocumentSession : public QObject {
  Q_OBJECT

 public:
  DocumentSession(ProcessState& state, DialogService& dialogs, QWidget* messageParent, const QString& title);
  CTessmolDoc& doc() { return *doc_; }
  DesktopFeedback& feedback() { return feedback_; }
  DialogService& dialogs() { return dialogs_; }
  QString title;

 signals:
  void Changed();
  void TitleChanged();

 private:
  friend class DesktopFeedback;
  DialogService& dialogs_;
  DesktopFeedback feedback_;
  std::unique_ptr<CTessmolDoc> doc_;
};

}  // namespace tessmol
