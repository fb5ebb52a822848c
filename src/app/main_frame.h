// The main window: a multiple-document area holding one child frame per document window,
// with the menus of the two states (no document, a document), the toolbar, the status bar
// and the recent-file list.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "app/settings.h"
#include "document/process_state.h"
#include "views/dialog_service.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QLabel;
class QDialog;

namespace tessmol {

class CChildFrame;
class DocumentSession;

// Every command of the menus and the toolbar, looked up by id (two items may share a label:
// "&Options" of Tools and "Options" of Chart).
enum class ActionId {
  kNew,
  kOpen,
  kClose,
  kSave,
  kSaveAs,
  kPrint,
  kPrintPreview,
  kPrintSetup,
  kExit,
  kUndo,
  kCut,
  kCopy,
  kPaste,
  kToolbar,
  kStatusBar,
  kNewWindow,
  kCascade,
  kTile,
  kArrangeIcons,
  kSpanner3D,
  kSpanner3DSlab,
  kSpanner2D,
  kLoadScoreTable,
  kAnalyseMultiple,
  kRecalculateSelected,
  kSelectAll,
  kOptions,
  kChartOptions,
  kGuide,
  kChartExport,
  kAbout,
  kSpannerDev,
  kCount
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  CMainFrame(ProcessState& state, DialogService& dialogs);
  ~CMainFrame() override;

  // File New: a new document in its own window.
  CChildFrame* NewDocument();
  // A new document window on which the structure at `path` is opened.
  CChildFrame* OpenInNewDocument(const QString& path);
  CChildFrame* ActiveFrame() const;
  QMdiArea* mdiArea() const { return mdi_; }
  // The titles of the menus in the menu bar now.
  QStringList MenuTitles() const;
  QAction* Action(ActionId id) const { return actions_[static_cast<size_t>(id)]; }
  QStringList RecentFiles() const;

  void OnAbout();
  // Help > Tessmol Guide: opens the guide beside the documents (once; shown again after).
  void OnGuide();
  QDialog* guideWindow() const { return guide_; }
  // The Window menu's list of open document windows, as it is shown.
  QMenu* windowMenu() const { return windowMenu_; }
  void UpdateWindowMenu();

 private:
  void BuildActions();
  void On(ActionId id, std::function<void()> handler);
  void OnFrameCommand(ActionId id, void (CChildFrame::*command)());
  void ConnectApplicationCommands();
  void ConnectDocumentCommands();
  void AddPaneKeys();
  void BuildToolbar();
  void BuildMenus();
  void UpdateMenus();
  void AddRecentFile(const QString& path);
  void RebuildRecentMenu();
  CChildFrame* AddFrame(std::shared_ptr<DocumentSession> session);
  template <typename F>
  void OnFrame(F f);

  ProcessState& state_;
  DialogService& dialogs_;
  QMdiArea* mdi_;
  int documentNumber_ = 0;
  bool closing_ = false;
  QList<QMenu*> mainMenus_;
  QList<QMenu*> documentMenus_;
  QMenu* recentMain_ = nullptr;
  QMenu* recentDocument_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QList<QAction*> windowItems_;  // one per document window, after the standard items
  QPointer<QDialog> guide_;
  std::array<QAction*, static_cast<size_t>(ActionId::kCount)> actions_{};
};

}  // namespace tessmol
