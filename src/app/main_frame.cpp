#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/child_frame.h"
#include "app/document_session.h"
#include "app/guide.h"
#include "base/version.h"

namespace tessmol {

namespace {

constexpr int kRecentFiles = 4;

QSettings Settings() {
  return QSettings(QString::fromLatin1(kSettingsKey), QStringLiteral("Tessmol"));
}

}  // namespace

CMainFrame::CMainFrame(ProcessState& state, DialogService& dialogs) : state_(state), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Tessmol"));
  mdi_ = new QMdiArea(this);
  setCentralWidget(mdi_);
  BuildActions();
  BuildMenus();
  // No CAP, NUM and SCRL indicators: Qt cannot tell the lock keys' state on every
  // platform, and indicators that are always lit say nothing.
  statusBar()->showMessage(QStringLiteral("Ready"));
  connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
    if (text.isEmpty()) statusBar()->showMessage(QStringLiteral("Ready"));
  });
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { UpdateMenus(); });
  UpdateMenus();
  resize(1200, 800);
}

// The document windows go first, while this frame is whole; from here on no window that
// goes tells the frame anything.
CMainFrame::~CMainFrame() {
  closing_ = true;
  QObject::disconnect(mdi_, nullptr, this, nullptr);
  for (QMdiSubWindow* sub : mdi_->subWindowList()) QObject::disconnect(sub, nullptr, this, nullptr);
  delete mdi_;
}

CChildFrame* CMainFrame::ActiveFrame() const {
  QMdiSubWindow* sub = mdi_->activeSubWindow();
  if (sub == nullptr && !mdi_->subWindowList().isEmpty()) sub = mdi_->subWindowList().last();
  return sub != nullptr ? qobject_cast<CChildFrame*>(sub->widget()) : nullptr;
}

template <typename F>
void CMainFrame::OnFrame(F f) {
  if (CChildFrame* frame = ActiveFrame()) f(*frame);
}

namespace {

struct ActionSpec {
  ActionId id;
  const char* text;
  const char* shortcut;
  const char* tip;
  int icon;  // a QStyle::StandardPixmap, or -1
  bool enabled;
};

// Undo, Cut and Paste are offered but handled by nothing: tables and charts are read only.
constexpr ActionSpec kActions[] = {
    {ActionId::kNew, "&New", "Ctrl+N", "Create a new document", QStyle::SP_FileIcon, true},
    {ActionId::kOpen, "&Open...", "Ctrl+O", "Open an existing document", QStyle::SP_DialogOpenButton, true},
    {ActionId::kClose, "&Close", "", "", -1, true},
    {ActionId::kSave, "&Save", "Ctrl+S", "Save the shown structure's result (.tsm) or residue table (.tsv)",
     QStyle::SP_DialogSaveButton, true},
    {ActionId::kSaveAs, "Save &As...", "",
     "Save the shown structure's result or residue table under a new name", -1, true},
    {ActionId::kPrint, "&Print...", "Ctrl+P", "", QStyle::SP_FileDialogDetailedView, true},
    {ActionId::kPrintPreview, "Print Pre&view", "", "", -1, true},
    {ActionId::kPrintSetup, "P&rint Setup...", "", "", -1, true},
    {ActionId::kExit, "E&xit", "", "", -1, true},
    {ActionId::kUndo, "&Undo", "Ctrl+Z", "", -1, false},
    {ActionId::kCut, "Cu&t", "Ctrl+X", "", -1, false},
    {ActionId::kCopy, "&Copy", "Ctrl+C", "Copy the selection: table rows as tab-separated text, or the chart",
     -1, true},
    {ActionId::kPaste, "&Paste", "Ctrl+V", "", -1, false},
    {ActionId::kToolbar, "&Toolbar", "", "", -1, true},
    {ActionId::kStatusBar, "&Status Bar", "", "", -1, true},
    {ActionId::kNewWindow, "&New Window", "", "", -1, true},
    {ActionId::kCascade, "&Cascade", "", "", -1, true},
    {ActionId::kTile, "&Tile", "", "", -1, true},
    {ActionId::kArrangeIcons, "&Arrange Icons", "", "", -1, true},
    {ActionId::kSpanner3D, "Spanner3D", "", "Predict transmembrane domains of the open structure", -1, true},
    {ActionId::kSpanner3DSlab, "Spanner3D &Membrane Slab", "",
     "Place the lipid bilayer on the open structure and mark the residues inside it", -1, true},
    {ActionId::kSpanner2D, "S&panner2D", "", "Predict Transmembrane domain from amino acid sequence", -1,
     true},
    {ActionId::kLoadScoreTable, "&Load Score Table", "", "", -1, true},
    {ActionId::kAnalyseMultiple, "&Analyse Multiple Structures", "",
     "Select array of structures to score and/or create a customised scoring system based on selection", -1,
     true},
    {ActionId::kRecalculateSelected, "Recalculate Selected Profiles", "",
     "Recalculate the profiles for the selected proteins using the current scoring table", -1, true},
    {ActionId::kSelectAll, "Select All", "", "", -1, true},
    {ActionId::kOptions, "&Options", "", "", -1, true},
    {ActionId::kChartOptions, "Options", "", "", -1, true},
    {ActionId::kChartExport, "&Export...", "", "Save the chart as a figure: SVG, PNG or PDF", -1, true},
    {ActionId::kGuide, "Tessmol &Guide", "F1",
     "What the scores mean, the methods with their references, and where files go", -1, true},
    {ActionId::kAbout, "&About Tessmol...", "", "", QStyle::SP_MessageBoxQuestion, true},
    {ActionId::kSpannerDev, "SPanner Dev", "", "", -1, true},  // does nothing
};

// A separator in a menu's item list.
constexpr ActionId kSeparator = ActionId::kCount;

}  // namespace

void CMainFrame::BuildActions() {
  for (const ActionSpec& spec : kActions) {
    auto* a = new QAction(QString::fromLatin1(spec.text), this);
    if (*spec.shortcut != '\0') a->setShortcut(QKeySequence(QString::fromLatin1(spec.shortcut)));
    if (*spec.tip != '\0') a->setStatusTip(QString::fromLatin1(spec.tip));
    if (spec.icon >= 0) a->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(spec.icon)));
    a->setEnabled(spec.enabled);
    actions_[static_cast<size_t>(spec.id)] = a;
  }
  ConnectApplicationCommands();
  ConnectDocumentCommands();
  AddPaneKeys();
  BuildToolbar();
}

void CMainFrame::On(ActionId id, std::function<void()> handler) {
  connect(Action(id), &QAction::triggered, this, std::move(handler));
}

// Commands of the active document window.
void CMainFrame::OnFrameCommand(ActionId id, void (CChildFrame::*command)()) {
  On(id, [this, command]() { OnFrame([command](CChildFrame& f) { (f.*command)(); }); });
}

// Commands of the main frame and its windows, with no document needed.
void CMainFrame::ConnectApplicationCommands() {
  On(ActionId::kNew, [this]() { NewDocument(); });
  On(ActionId::kOpen, [this]() {
    // Without a document, Open makes one to open the structure in.
    CChildFrame* frame = ActiveFrame();
    if (frame == nullptr) frame = NewDocument();
    frame->OnFileOpen();
  });
  On(ActionId::kClose, [this]() { mdi_->closeActiveSubWindow(); });
  On(ActionId::kPrintSetup, [this]() {
    QPrinter printer;
    QPageSetupDialog setup(&printer, this);
    dialogs_.Run(setup);
  });
  On(ActionId::kExit, [this]() { close(); });
  Action(ActionId::kToolbar)->setCheckable(true);
  Action(ActionId::kToolbar)->setChecked(true);
  Action(ActionId::kStatusBar)->setCheckable(true);
  Action(ActionId::kStatusBar)->setChecked(true);
  connect(Action(ActionId::kStatusBar), &QAction::toggled, this,
          [this](bool shown) { statusBar()->setVisible(shown); });
  On(ActionId::kNewWindow, [this]() {
    if (CChildFrame* frame = ActiveFrame()) AddFrame(frame->sharedSession());
  });
  connect(Action(ActionId::kCascade), &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(Action(ActionId::kTile), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
  connect(Action(ActionId::kArrangeIcons), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
  On(ActionId::kAbout, [this]() { OnAbout(); });
  On(ActionId::kGuide, [this]() { OnGuide(); });
}

void CMainFrame::ConnectDocumentCommands() {
  OnFrameCommand(ActionId::kPrint, &CChildFrame::OnPrint);
  OnFrameCommand(ActionId::kPrintPreview, &CChildFrame::OnPrintPreview);
  OnFrameCommand(ActionId::kSpanner3D, &CChildFrame::OnSpanner3D);
  OnFrameCommand(ActionId::kSpanner3DSlab, &CChildFrame::OnSpanner3DSlab);
  OnFrameCommand(ActionId::kSpanner2D, &CChildFrame::OnSpanner2D);
  OnFrameCommand(ActionId::kLoadScoreTable, &CChildFrame::OnLoadScoreTable);
  OnFrameCommand(ActionId::kAnalyseMultiple, &CChildFrame::OnAnalyseMultiple);
  OnFrameCommand(ActionId::kRecalculateSelected, &CChildFrame::OnRecalculateSelected);
  OnFrameCommand(ActionId::kSelectAll, &CChildFrame::OnSelectAll);
  OnFrameCommand(ActionId::kOptions, &CChildFrame::OnOptions);
  OnFrameCommand(ActionId::kChartOptions, &CChildFrame::OnChartOptions);
  OnFrameCommand(ActionId::kChartExport, &CChildFrame::OnChartExport);
  OnFrameCommand(ActionId::kCopy, &CChildFrame::OnCopy);
  OnFrameCommand(ActionId::kSave, &CChildFrame::OnSave);
  OnFrameCommand(ActionId::kSaveAs, &CChildFrame::OnSaveAs);
}

// F6 and Shift+F6 move the focus between the panes of the active window.
void CMainFrame::AddPaneKeys() {
  auto* next = new QAction(this);
  next->setShortcut(QKeySequence(Qt::Key_F6));
  connect(next, &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.FocusNextPane(true); }); });
  auto* previous = new QAction(this);
  previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
  connect(previous, &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.FocusNextPane(false); }); });
  addAction(next);
  addAction(previous);
}

void CMainFrame::BuildToolbar() {
  auto* bar = addToolBar(QStringLiteral("Standard"));
  bar->setObjectName(QStringLiteral("toolbar"));
  for (ActionId id : {ActionId::kNew, ActionId::kOpen, ActionId::kSave, kSeparator, ActionId::kCut,
                      ActionId::kCopy, ActionId::kPaste, kSeparator, ActionId::kPrint, ActionId::kAbout}) {
    if (id == kSeparator) {
      bar->addSeparator();
    } else {
      bar->addAction(Action(id));
    }
  }
  connect(Action(ActionId::kToolbar), &QAction::toggled, bar, &QToolBar::setVisible);
}

void CMainFrame::BuildMenus() {
  using A = ActionId;
  auto menu = [this](const QString& title, std::initializer_list<ActionId> items, QList<QMenu*>& into) {
    auto* m = new QMenu(title, this);
    for (ActionId id : items) {
      if (id == kSeparator) {
        m->addSeparator();
      } else {
        m->addAction(Action(id));
      }
    }
    into << m;
    return m;
  };
  QMenu* file =
      menu(QStringLiteral("&File"), {A::kNew, A::kOpen, kSeparator, A::kPrintSetup, kSeparator}, mainMenus_);
  recentMain_ = file->addMenu(QStringLiteral("Recent File"));
  file->addAction(Action(A::kClose));
  file->addSeparator();
  file->addAction(Action(A::kExit));
  menu(QStringLiteral("&View"), {A::kToolbar, A::kStatusBar}, mainMenus_);
  menu(QStringLiteral("&Help"), {A::kGuide, A::kAbout}, mainMenus_);

  QMenu* docFile = menu(QStringLiteral("&File"),
                        {A::kNew, A::kOpen, A::kClose, A::kSave, A::kSaveAs, kSeparator, A::kPrint,
                         A::kPrintPreview, A::kPrintSetup, kSeparator},
                        documentMenus_);
  recentDocument_ = docFile->addMenu(QStringLiteral("Recent File"));
  docFile->addSeparator();
  docFile->addAction(Action(A::kExit));
  menu(QStringLiteral("&Edit"), {A::kUndo, kSeparator, A::kCut, A::kCopy, A::kPaste}, documentMenus_);
  menu(QStringLiteral("&View"), {A::kToolbar, A::kStatusBar}, documentMenus_);
  windowMenu_ = menu(QStringLiteral("&Window"), {A::kNewWindow, A::kCascade, A::kTile, A::kArrangeIcons},
                     documentMenus_);
  connect(windowMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateWindowMenu);
  QMenu* tools = menu(QStringLiteral("&Tools"),
                      {A::kSpanner3D, A::kSpanner3DSlab, A::kSpanner2D, A::kLoadScoreTable}, documentMenus_);
  QMenu* multiple = tools->addMenu(QStringLiteral("Multiple Analysis"));
  for (A id : {A::kAnalyseMultiple, A::kRecalculateSelected, A::kSelectAll}) multiple->addAction(Action(id));
  tools->addAction(Action(A::kOptions));
  menu(QStringLiteral("Chart"), {A::kChartOptions, A::kChartExport}, documentMenus_);
  menu(QStringLiteral("&Help"), {A::kGuide, A::kAbout}, documentMenus_);
  menu(QStringLiteral("Testing"), {A::kSpannerDev}, documentMenus_);
  RebuildRecentMenu();
}

void CMainFrame::UpdateMenus() {
  const bool document = !mdi_->subWindowList().isEmpty();
  menuBar()->clear();
  for (QMenu* m : document ? documentMenus_ : mainMenus_) menuBar()->addMenu(m);
}

void CMainFrame::UpdateWindowMenu() {
  for (QAction* item : windowItems_) {
    windowMenu_->removeAction(item);
    item->deleteLater();
  }
  windowItems_.clear();
  const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  windowItems_ << windowMenu_->addSeparator();
  for (int i = 0; i < windows.size(); ++i) {
    QMdiSubWindow* sub = windows[i];
    // The first nine get a number key, as the menus of document programs have them.
    const QString number = i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
    const QString title = sub->widget() != nullptr ? sub->widget()->windowTitle() : sub->windowTitle();
    QAction* item = windowMenu_->addAction(number + title);
    item->setCheckable(true);
    item->setChecked(sub == mdi_->activeSubWindow());
    connect(item, &QAction::triggered, this, [this, sub = QPointer<QMdiSubWindow>(sub)]() {
      if (sub) mdi_->setActiveSubWindow(sub);
    });
    windowItems_ << item;
  }
}

QStringList CMainFrame::MenuTitles() const {
  QStringList titles;
  for (QAction* a : menuBar()->actions()) titles << a->text();
  return titles;
}

QStringList CMainFrame::RecentFiles() const {
  return Settings().value(QStringLiteral("Recent File List")).toStringList();
}

void CMainFrame::AddRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  const QString full = QFileInfo(path).absoluteFilePath();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > kRecentFiles) files.removeLast();
  QSettings settings = Settings();
  settings.setValue(QStringLiteral("Recent File List"), files);
  RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
  const QStringList files = RecentFiles();
  for (QMenu* recent : {recentMain_, recentDocument_}) {
    recent->clear();
    for (int i = 0; i < files.size(); ++i) {
      QAction* a = recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
      const QString path = files[i];
      connect(a, &QAction::triggered, this, [this, path]() { OpenInNewDocument(path); });
    }
    recent->setEnabled(!files.isEmpty());
  }
}

CChildFrame* CMainFrame::AddFrame(std::shared_ptr<DocumentSession> session) {
  // Result files go where the user last chose, while that folder is there.
  const QString folder = Settings().value(QStringLiteral("Working Directory")).toString();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
    AnalysisSettings settings = session->doc().settings();
    settings.workingDirectory = folder.toStdString();
    session->doc().SetSettings(settings);
  }
  auto* frame = new CChildFrame(std::move(session), mdi_);
  connect(frame, &CChildFrame::StructureOpened, this, &CMainFrame::AddRecentFile);
  QMdiSubWindow* sub = mdi_->addSubWindow(frame);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  connect(sub, &QObject::destroyed, this, [this]() {
    if (!closing_) UpdateMenus();
  });
  sub->showMaximized();
  frame->setFocus();
  UpdateMenus();
  return frame;
}

CChildFrame* CMainFrame::NewDocument() {
  auto session = std::make_shared<DocumentSession>(state_, dialogs_, this,
                                                   QStringLiteral("Tessmol%1").arg(++documentNumber_));
  return AddFrame(std::move(session));
}

CChildFrame* CMainFrame::OpenInNewDocument(const QString& path) {
  CChildFrame* frame = NewDocument();
  frame->OpenPath(path);
  return frame;
}

void CMainFrame::OnAbout() {
  QDialog about(this);
  about.setWindowTitle(QStringLiteral("About Tessmol"));
  auto* layout = new QVBoxLayout(&about);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(&about);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  row->addWidget(icon);
  row->addWidget(new QLabel(QStringLiteral("Tessmol Version %1").arg(QString::fromLatin1(kVersion)), &about));
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(buttons);
  dialogs_.Run(about);
}

void CMainFrame::OnGuide() {
  if (!guide_) {
    GuidePlaces places;
    CChildFrame* frame = ActiveFrame();
    places.resultFolder = QFileInfo(frame != nullptr ? QString::fromStdString(frame->doc().ResultFolder())
                                                     : QStringLiteral("."))
                              .absoluteFilePath();
    places.programFolder = QString::fromStdString(state_.programFolder());
    places.settingsFile = Settings().fileName();
    guide_ = new GuideWindow(places, this);
    guide_->setAttribute(Qt::WA_DeleteOnClose);
  }
  guide_->show();
  guide_->raise();
}

}  // namespace tessmol
