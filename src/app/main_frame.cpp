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
  auto* indicators = new QWidget(this);
  auto* row = new QHBoxLayout(indicators);
  row->setContentsMargins(0, 0, 0, 0);
  for (const char* key : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(key), indicators);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    row->addWidget(label);
  }
  statusBar()->addPermanentWidget(indicators);
  statusBar()->showMessage(QStringLiteral("Ready"));
  connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
    if (text.isEmpty()) statusBar()->showMessage(QStringLiteral("Ready"));
  });
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { UpdateMenus(); });
  UpdateMenus();
  resize(1200, 800);
}

// The document windows go first, while this frame is whole: closing them tells the frame.
CMainFrame::~CMainFrame() {
  QObject::disconnect(mdi_, nullptr, this, nullptr);
  for (QMdiSubWindow* sub : mdi_->subWindowList()) QObject::disconnect(sub, nullptr, this, nullptr);
  delete mdi_;
}

QAction* CMainFrame::FindAction(const QString& text) const {
  for (QAction* a : allActions_) {
    if (a->text() == text) return a;
  }
  return nullptr;
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

void CMainFrame::BuildActions() {
  auto action = [this](const QString& text, const QKeySequence& key = {}, const QString& tip = {}) {
    auto* a = new QAction(text, this);
    if (!key.isEmpty()) a->setShortcut(key);
    if (!tip.isEmpty()) a->setStatusTip(tip);
    allActions_ << a;
    return a;
  };
  // File
  QAction* newDoc = action(QStringLiteral("&New"), QKeySequence(QStringLiteral("Ctrl+N")),
                           QStringLiteral("Create a new document"));
  newDoc->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
  connect(newDoc, &QAction::triggered, this, [this]() { NewDocument(); });
  QAction* open = action(QStringLiteral("&Open..."), QKeySequence(QStringLiteral("Ctrl+O")),
                         QStringLiteral("Open an existing document"));
  open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  connect(open, &QAction::triggered, this, [this]() {
    // Without a document, Open makes one to open the structure in.
    CChildFrame* frame = ActiveFrame();
    if (frame == nullptr) frame = NewDocument();
    frame->OnFileOpen();
  });
  action(QStringLiteral("&Close"));
  connect(FindAction(QStringLiteral("&Close")), &QAction::triggered, this,
          [this]() { mdi_->closeActiveSubWindow(); });
  QAction* save = action(QStringLiteral("&Save"), QKeySequence(QStringLiteral("Ctrl+S")));
  save->setEnabled(false);  // results live in their .tsm files; the document itself stores nothing
  save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  action(QStringLiteral("Save &As..."))->setEnabled(false);
  QAction* print = action(QStringLiteral("&Print..."), QKeySequence(QStringLiteral("Ctrl+P")));
  print->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  connect(print, &QAction::triggered, this, [this]() { OnFrame([](CChildFrame& f) { f.OnPrint(); }); });
  connect(action(QStringLiteral("Print Pre&view")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnPrintPreview(); }); });
  connect(action(QStringLiteral("P&rint Setup...")), &QAction::triggered, this, [this]() {
    QPrinter printer;
    QPageSetupDialog setup(&printer, this);
    dialogs_.Run(setup);
  });
  connect(action(QStringLiteral("E&xit")), &QAction::triggered, this, &QWidget::close);
  // Edit: offered, handled by nothing.
  action(QStringLiteral("&Undo"), QKeySequence(QStringLiteral("Ctrl+Z")))->setEnabled(false);
  action(QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")))->setEnabled(false);
  action(QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")))->setEnabled(false);
  action(QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")))->setEnabled(false);
  // View
  QAction* toolbar = action(QStringLiteral("&Toolbar"));
  toolbar->setCheckable(true);
  toolbar->setChecked(true);
  QAction* statusAction = action(QStringLiteral("&Status Bar"));
  statusAction->setCheckable(true);
  statusAction->setChecked(true);
  connect(statusAction, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  // Window
  connect(action(QStringLiteral("&New Window")), &QAction::triggered, this, [this]() {
    if (CChildFrame* frame = ActiveFrame()) AddFrame(frame->sharedSession());
  });
  connect(action(QStringLiteral("&Cascade")), &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(action(QStringLiteral("&Tile")), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
  connect(action(QStringLiteral("&Arrange Icons")), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
  // Tools
  connect(action(QStringLiteral("Spanner3D")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnSpanner3D(); }); });
  connect(action(QStringLiteral("S&panner2D"), {},
                 QStringLiteral("Predict Transmembrane domain from amino acid sequence")),
          &QAction::triggered, this, [this]() { OnFrame([](CChildFrame& f) { f.OnSpanner2D(); }); });
  connect(action(QStringLiteral("&Load Score Table")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnLoadScoreTable(); }); });
  connect(action(QStringLiteral("&Analyse Multiple Structures"), {},
                 QStringLiteral("Select array of structures to score and/or create a customised scoring "
                                "system based on selection")),
          &QAction::triggered, this, [this]() { OnFrame([](CChildFrame& f) { f.OnAnalyseMultiple(); }); });
  connect(action(QStringLiteral("Recalculate Selected Profiles"), {},
                 QStringLiteral(
                     "Recalculate the profiles for the selected proteins using the current scoring table")),
          &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnRecalculateSelected(); }); });
  connect(action(QStringLiteral("Select All")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnSelectAll(); }); });
  connect(action(QStringLiteral("&Options")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnOptions(); }); });
  connect(action(QStringLiteral("Options")), &QAction::triggered, this,
          [this]() { OnFrame([](CChildFrame& f) { f.OnChartOptions(); }); });
  QAction* about = action(QStringLiteral("&About Tessmol..."));
  about->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
  connect(about, &QAction::triggered, this, &CMainFrame::OnAbout);
  action(QStringLiteral("SPanner Dev"));  // does nothing
  // Pane keys.
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

  auto* bar = addToolBar(QStringLiteral("Standard"));
  bar->setObjectName(QStringLiteral("toolbar"));
  bar->addAction(newDoc);
  bar->addAction(open);
  bar->addAction(save);
  bar->addSeparator();
  bar->addAction(FindAction(QStringLiteral("Cu&t")));
  bar->addAction(FindAction(QStringLiteral("&Copy")));
  bar->addAction(FindAction(QStringLiteral("&Paste")));
  bar->addSeparator();
  bar->addAction(print);
  bar->addAction(about);
  connect(toolbar, &QAction::toggled, bar, &QToolBar::setVisible);
}

void CMainFrame::BuildMenus() {
  auto menu = [this](const QString& title, const QStringList& items, QList<QMenu*>& into) {
    auto* m = new QMenu(title, this);
    for (const QString& item : items) {
      if (item.isEmpty()) {
        m->addSeparator();
      } else if (QAction* a = FindAction(item)) {
        m->addAction(a);
      }
    }
    into << m;
    return m;
  };
  QMenu* file = menu(QStringLiteral("&File"), {"&New", "&Open...", "", "P&rint Setup...", ""}, mainMenus_);
  recentMain_ = file->addMenu(QStringLiteral("Recent File"));
  file->addAction(FindAction(QStringLiteral("&Close")));
  file->addSeparator();
  file->addAction(FindAction(QStringLiteral("E&xit")));
  menu(QStringLiteral("&View"), {"&Toolbar", "&Status Bar"}, mainMenus_);
  menu(QStringLiteral("&Help"), {"&About Tessmol..."}, mainMenus_);

  QMenu* docFile = menu(QStringLiteral("&File"),
                        {"&New", "&Open...", "&Close", "&Save", "Save &As...", "", "&Print...",
                         "Print Pre&view", "P&rint Setup...", ""},
                        documentMenus_);
  recentDocument_ = docFile->addMenu(QStringLiteral("Recent File"));
  docFile->addSeparator();
  docFile->addAction(FindAction(QStringLiteral("E&xit")));
  menu(QStringLiteral("&Edit"), {"&Undo", "", "Cu&t", "&Copy", "&Paste"}, documentMenus_);
  menu(QStringLiteral("&View"), {"&Toolbar", "&Status Bar"}, documentMenus_);
  menu(QStringLiteral("&Window"), {"&New Window", "&Cascade", "&Tile", "&Arrange Icons"}, documentMenus_);
  QMenu* tools =
      menu(QStringLiteral("&Tools"), {"Spanner3D", "S&panner2D", "&Load Score Table"}, documentMenus_);
  QMenu* multiple = tools->addMenu(QStringLiteral("Multiple Analysis"));
  multiple->addAction(FindAction(QStringLiteral("&Analyse Multiple Structures")));
  multiple->addAction(FindAction(QStringLiteral("Recalculate Selected Profiles")));
  multiple->addAction(FindAction(QStringLiteral("Select All")));
  tools->addAction(FindAction(QStringLiteral("&Options")));
  menu(QStringLiteral("Chart"), {"Options"}, documentMenus_);
  menu(QStringLiteral("&Help"), {"&About Tessmol..."}, documentMenus_);
  menu(QStringLiteral("Testing"), {"SPanner Dev"}, documentMenus_);
  RebuildRecentMenu();
}

void CMainFrame::UpdateMenus() {
  const bool document = !mdi_->subWindowList().isEmpty();
  menuBar()->clear();
  for (QMenu* m : document ? documentMenus_ : mainMenus_) menuBar()->addMenu(m);
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
  auto* frame = new CChildFrame(std::move(session), mdi_);
  connect(frame, &CChildFrame::StructureOpened, this, &CMainFrame::AddRecentFile);
  QMdiSubWindow* sub = mdi_->addSubWindow(frame);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  connect(sub, &QObject::destroyed, this, [this]() { UpdateMenus(); });
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
  row->addWidget(new QLabel(QStringLiteral("Tessmol Version 0.1 alpha"), &about));
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(buttons);
  dialogs_.Run(about);
}

}  // namespace tessmol
