// The desktop program driven as a user would, on the offscreen platform. File dialogs,
// message boxes and modal dialogs are answered from a script through the dialog seam.
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <fstream>
#include <functional>
#include <tuple>

#include "app/child_frame.h"
#include "app/guide.h"
#include "app/main_frame.h"
#include "app/options_sheet.h"
#include "base/version.h"
#include "chart/qt/qt_painter_surface.h"
#include "document/report.h"
#include "document/result_file.h"
#include "test_support.h"
#include "views/chart_options_dlg.h"
#include "views/chart_view.h"
#include "views/ma_list_view.h"
#include "views/multi_dlg.h"
#include "views/prot_sum_view.h"
#include "views/residue_filter.h"
#include "views/table_view.h"

using namespace tessmol;

namespace {

// Answers every question from queues the test fills. A script that finds the dialog not
// as it should be returns kScriptFailed; the test then fails in cleanup, whatever the
// command did with the answer (a failed script must not pass for a cancelled dialog).
constexpr int kScriptFailed = -1;

class ScriptedDialogs : public DialogService {
 public:
  // An empty answer is a cancelled dialog.
  std::deque<QString> openFile;
  std::deque<QStringList> openFiles;
  std::deque<QString> saveFile;
  std::deque<std::function<int(QDialog&)>> run;
  QStringList messages;
  QStringList failedScripts;
  int questions = 0;

  std::optional<QString> OpenFile(QWidget*, const QString&, const QString&) override {
    ++questions;
    return Pop(openFile);
  }
  QStringList OpenFiles(QWidget*, const QString&, const QString&) override {
    ++questions;
    if (openFiles.empty()) return {};
    QStringList answer = openFiles.front();
    openFiles.pop_front();
    return answer;
  }
  std::optional<QString> SaveFile(QWidget*, const QString&, const QString&, const QString&) override {
    ++questions;
    return Pop(saveFile);
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
    ++questions;
    return QStringLiteral("/chosen/folder");
  }
  void Message(QWidget*, const QString& text) override { messages << text; }
  static std::optional<QString> Pop(std::deque<QString>& queue) {
    if (queue.empty()) return std::nullopt;
    const QString answer = queue.front();
    queue.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  }
  int Run(QDialog& dialog) override {
    if (run.empty()) return QDialog::Rejected;
    auto script = run.front();
    run.pop_front();
    const int result = script(dialog);
    if (result != kScriptFailed) return result;
    failedScripts << dialog.windowTitle();
    return QDialog::Rejected;
  }
};

QString Data(const char* name) {
  return QString::fromStdString(test::DataPath(name));
}

QStringList Expected(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << QString::fromStdString(l);
  return out;
}

}  // namespace

class AppTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::ScratchFolder> scratch_;
  std::unique_ptr<ProcessState> state_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  std::unique_ptr<CMainFrame> frame_;

  // Rows of the residue table whose "is transmembrane" cell says 1.
  static int TmRowsShown(CChildFrame& child) {
    const QAbstractItemModel* shown = child.tableView()->QTableView::model();
    int rows = 0;
    for (int r = 0; r < shown->rowCount(); ++r)
      rows += shown->index(r, 15).data().toString() == QStringLiteral("1");
    return rows;
  }

  CChildFrame& Open(const char* name) {
    CChildFrame* child = frame_->ActiveFrame();
    if (child == nullptr) child = frame_->NewDocument();
    dialogs_->openFile.push_back(Data(name));
    child->OnFileOpen();
    return *child;
  }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    scratch_ = std::make_unique<test::ScratchFolder>();
    QSettings(QString::fromLatin1(kSettingsKey), QStringLiteral("Tessmol")).clear();
    state_ = std::make_unique<ProcessState>(test::ProgramFolder());
    dialogs_ = std::make_unique<ScriptedDialogs>();
    frame_ = std::make_unique<CMainFrame>(*state_, *dialogs_);
    frame_->showMaximized();
    frame_->NewDocument();
  }

  // A bar drawn on the desktop, a PNG or a print ends where the SVG's does: at its
  // residues' last pixel, not half its width beyond, which joined stretches one residue apart.
  void barsEndWhereTheirResiduesEnd() {
    QImage image(60, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      QtPainterSurface surface(painter);
      surface.SetPen(Pen{6, 0, 0, 0});
      surface.MoveTo(10, 10);
      surface.LineTo(20, 10);
      surface.MoveTo(23, 10);
      surface.LineTo(33, 10);
    }
    QCOMPARE(image.pixelColor(15, 10), QColor(Qt::black));
    QCOMPARE(image.pixelColor(28, 10), QColor(Qt::black));
    for (int x : {7, 21, 22, 35}) QCOMPARE(image.pixelColor(x, 10), QColor(Qt::white));
  }

  void cleanup() {
    QVERIFY2(dialogs_->failedScripts.isEmpty(), qPrintable(dialogs_->failedScripts.join(", ")));
    QVERIFY2(dialogs_->run.empty(), "a scripted dialog was never shown");
    frame_.reset();
    dialogs_.reset();
    state_.reset();
    scratch_.reset();
  }

  void startUpShowsOneDocumentWithFourPanes() {
    QVERIFY(frame_->isMaximized());
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 1);
    CChildFrame* child = frame_->ActiveFrame();
    QVERIFY(child != nullptr);
    QCOMPARE(child->windowTitle(), QStringLiteral("Tessmol1"));
    QSplitter* main = child->mainSplitter();
    QCOMPARE(main->count(), 2);
    auto* left = qobject_cast<QSplitter*>(main->widget(0));
    auto* right = qobject_cast<QSplitter*>(main->widget(1));
    QVERIFY(left && right);
    QCOMPARE(left->widget(0), static_cast<QWidget*>(child->listView()));
    QCOMPARE(left->widget(1), static_cast<QWidget*>(child->summaryView()));
    QCOMPARE(right->widget(0), static_cast<QWidget*>(child->chartView()));
    QCOMPARE(right->widget(1), static_cast<QWidget*>(child->residuePane()));
    QCOMPARE(child->residuePane()->table(), child->tableView());
    QVERIFY(qAbs(main->sizes().first() - 480) <= 4);  // the ideal width, less the splitter's frame
    QCOMPARE(child->focusProxy(), static_cast<QWidget*>(child->listView()));
    QCOMPARE(frame_->MenuTitles(),
             (QStringList{"&File", "&Edit", "&View", "&Window", "&Tools", "Chart", "&Help", "Testing"}));
    // Headings and no rows while nothing is analysed; a blank summary.
    QCOMPARE(child->listView()->columnCount(), 6);
    // The list's headings in full words, the two derived scores explained where they stand.
    for (int c = 0; c < 6; ++c)
      QCOMPARE(child->listView()->horizontalHeaderItem(c)->text(), CMAListView::Headings()[c]);
    QCOMPARE(CMAListView::Headings()[3], QStringLiteral("Average Residue Score"));
    QCOMPARE(CMAListView::Headings()[4], QStringLiteral("Expected Residue Score"));
    QCOMPARE(CMAListView::Headings()[5], QStringLiteral("Compatible Residue Score"));
    QVERIFY(child->listView()->horizontalHeaderItem(5)->toolTip().contains(QStringLiteral("45%")));
    QVERIFY(child->listView()->horizontalHeaderItem(4)->toolTip().contains(QStringLiteral("length")));
    QCOMPARE(child->listView()->rowCount(), 0);
    QCOMPARE(child->tableView()->model().columnCount(), 16);
    QCOMPARE(child->tableView()->model().rowCount(), 0);
    QVERIFY(child->summaryView()->lines().isEmpty());
    QVERIFY(dialogs_->messages.isEmpty());
    QCOMPARE(frame_->Action(ActionId::kSpanner2D)->statusTip(),
             QStringLiteral("Predict Transmembrane domain from amino acid sequence"));
    QCOMPARE(frame_->Action(ActionId::kOpen)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    // Without a document only File, View and Help remain.
    frame_->mdiArea()->closeAllSubWindows();
    QCoreApplication::processEvents();
    QTRY_COMPARE(frame_->MenuTitles(), (QStringList{"&File", "&View", "&Help"}));
  }

  void openingAStructureFillsTheViews() {
    CChildFrame* child = frame_->ActiveFrame();
    dialogs_->openFile = {Data("biopython_header.pdb"), Data("1CRN.pdb")};
    child->OnFileOpen();
    QCOMPARE(dialogs_->questions, 2);  // the file without atoms brought the dialog back
    const CTessmolDoc& doc = child->doc();
    QCOMPARE(child->windowTitle(), QStringLiteral("1CRN.pdb"));
    QCOMPARE(child->summaryView()->lines(), Expected(SummaryLines(doc.protein())));
    QCOMPARE(child->tableView()->model().rowCount(), 46);
    const std::vector<std::string> row = ResidueTableRow(doc.protein(), 10);
    for (int c = 0; c < 16; ++c) {
      QCOMPARE(child->tableView()->model().index(10, c).data(ResidueTableModel::kExportRole).toString(),
               QString::fromStdString(row[size_t(c)]));
    }
    QCOMPARE(child->listView()->rowCount(), 1);
    const std::vector<std::string> entry = AnalysisListRow(doc.entries(), 0);
    for (int c = 0; c < 6; ++c)
      QCOMPARE(child->listView()->item(0, c)->text(), QString::fromStdString(entry[size_t(c)]));
    QVERIFY(child->session().feedback().progressShown > 0);
    QCOMPARE(frame_->RecentFiles(), QStringList{QFileInfo(Data("1CRN.pdb")).absoluteFilePath()});
    // Cancelling the dialog changes nothing.
    child->OnFileOpen();
    QCOMPARE(child->doc().entries().size(), size_t(1));
  }

  void aSecondDocumentLeavesTheFirstAsItWas() {
    CChildFrame& first = Open("1CRN.pdb");
    const QStringList before = first.summaryView()->lines();
    CChildFrame* second = frame_->NewDocument();
    dialogs_->openFile.push_back(Data("1UBQ.pdb"));
    second->OnFileOpen();
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 2);
    QCOMPARE(first.summaryView()->lines(), before);
    QCOMPARE(second->summaryView()->lines().first(), QStringLiteral("Protein summary for 1UBQ.pdb:"));
    QCOMPARE(first.doc().entries().size(), size_t(1));
  }

  void optionsKeepTheirValuesAndTheSpannerPageValidates() {
    CChildFrame* child = frame_->ActiveFrame();
    QTemporaryDir results;
    dialogs_->run.push_back([&results](QDialog& dialog) {
      auto& sheet = dynamic_cast<OptionsSheet&>(dialog);
      if (sheet.windowTitle() != QStringLiteral("Tessmol")) return kScriptFailed;
      sheet.general()->ignoreHetBox()->setChecked(true);
      sheet.general()->secondaryStructureBox()->setCurrentIndex(1);
      sheet.general()->resolutionGroup()->button(5)->setChecked(true);
      sheet.spanner()->field(1053)->setText(QStringLiteral("15"));
      sheet.spanner()->methodBox()->setCurrentIndex(1);
      // A folder that is not there is refused on the General page, and the sheet stays.
      sheet.general()->directoryEdit()->setText(QStringLiteral("/somewhere/else"));
      sheet.OnOk();
      if (sheet.result() == QDialog::Accepted) return kScriptFailed;
      sheet.general()->directoryEdit()->setText(results.path());
      sheet.OnOk();
      return sheet.result();
    });
    child->OnOptions();
    QCOMPARE(dialogs_->messages.size(), qsizetype(1));
    QCOMPARE(dialogs_->messages.front(),
             QStringLiteral("Working Directory: no such folder: /somewhere/else"));
    CTessmolDoc& doc = child->doc();
    QCOMPARE(QString::fromStdString(doc.settings().workingDirectory), results.path());
    // Result files go there, and the next document remembers the folder.
    QVERIFY(doc.OpenStructure(test::DataPath("1CRN.pdb")) == CTessmolDoc::OpenResult::kOpened);
    QVERIFY(QFileInfo::exists(results.filePath(QStringLiteral("1CRN.tsm"))));
    QCOMPARE(QString::fromStdString(frame_->NewDocument()->doc().settings().workingDirectory),
             results.path());
    QCOMPARE(doc.settings().ignoreHeteroAtoms, true);
    QCOMPARE(doc.settings().sasaResolution, 5);
    QVERIFY(doc.settings().secondaryStructure == SecondaryStructureSource::kComputed);
    QCOMPARE(doc.settings().spanner2DParams.tmLengthMin, 15u);
    QVERIFY(doc.settings().tmMethod == TmMethod::kSegments);
    // Shown again: the values chosen, the folder too.
    bool checked = false;
    dialogs_->run.push_back([&](QDialog& dialog) {
      auto& sheet = dynamic_cast<OptionsSheet&>(dialog);
      checked = sheet.general()->ignoreHetBox()->isChecked() &&
                sheet.general()->resolutionGroup()->checkedId() == 5 &&
                sheet.general()->directoryEdit()->text() == results.path() &&
                sheet.spanner()->field(1053)->text() == QStringLiteral("15");
      return int(QDialog::Rejected);
    });
    child->OnOptions();
    QVERIFY(checked);
    // A value out of range keeps the sheet open with the range message and the focus on
    // its field (the ranges themselves are AnalysisSettings::Validate's); a word is refused.
    for (const char* text : {"101", "x"}) {
      bool focused = false;
      dialogs_->messages.clear();
      dialogs_->run.push_back([&](QDialog& dialog) {
        auto& sheet = dynamic_cast<OptionsSheet&>(dialog);
        sheet.show();
        sheet.spanner()->field(1051)->setText(QString::fromLatin1(text));
        sheet.OnOk();
        focused = QApplication::focusWidget() == sheet.spanner()->field(1051) || !sheet.isActiveWindow();
        return sheet.result();
      });
      child->OnOptions();
      QCOMPARE(dialogs_->messages.size(), 1);
      QVERIFY(focused);
    }
    QCOMPARE(dialogs_->messages.first(),
             QStringLiteral("Moving Average: Please enter a whole number of 0 or more."));
    QCOMPARE(doc.settings().spanner2DParams.movingAverage, 10u);
    // A score range with nothing between its ends is refused on its minimum's field.
    bool rangeFocused = false;
    dialogs_->messages.clear();
    dialogs_->run.push_back([&](QDialog& dialog) {
      auto& sheet = dynamic_cast<OptionsSheet&>(dialog);
      sheet.show();
      sheet.spanner()->field(1057)->setText(QStringLiteral("0.5"));
      sheet.OnOk();
      rangeFocused = QApplication::focusWidget() == sheet.spanner()->field(1057) || !sheet.isActiveWindow();
      return sheet.result();
    });
    child->OnOptions();
    QCOMPARE(dialogs_->messages.size(), 1);
    QCOMPARE(dialogs_->messages.first(),
             QStringLiteral("Ave. 3D-Profiles score range: the minimum must be below the maximum."));
    QVERIFY(rangeFocused);
    QCOMPARE(doc.settings().spanner2DParams.profilesMin, -0.6f);
  }

  void multipleAnalysisRecalculationAndDoubleClick() {
    CChildFrame* child = frame_->ActiveFrame();
    CTessmolDoc& doc = child->doc();
    dialogs_->openFiles.push_back({Data("1CRN.pdb"), Data("1UBQ.pdb")});
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& multi = dynamic_cast<MultiDlg&>(dialog);
      multi.OnAdd();
      if (multi.fileList()->count() != 2 || multi.fileList()->item(0)->text() != QStringLiteral("1CRN.pdb")) {
        return kScriptFailed;
      }
      QTest::mouseClick(multi.runButton(), Qt::LeftButton);
      return multi.result();
    });
    child->OnAnalyseMultiple();
    QCOMPARE(doc.entries().size(), size_t(2));
    QVERIFY(doc.entries()[0].averageScore >= doc.entries()[1].averageScore);
    QCOMPARE(child->listView()->rowCount(), 2);

    // Ticking "Create Custom Scoring System", choosing a path, then cancelling: nothing written.
    dialogs_->saveFile.push_back(QStringLiteral("custom.stb"));
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& multi = dynamic_cast<MultiDlg&>(dialog);
      QTest::mouseClick(multi.customTableBox(), Qt::LeftButton);
      return multi.customTableBox()->isChecked() ? int(QDialog::Rejected) : kScriptFailed;
    });
    child->OnAnalyseMultiple();
    QVERIFY(!QFileInfo::exists(QStringLiteral("custom.stb")));
    QCOMPARE(doc.entries().size(), size_t(2));

    // Another table, Select All, Recalculate: every row rescored with it.
    ScoreTable shifted;
    for (float& v : shifted.scores) v += 1.0f;
    QVERIFY(shifted.SaveTable("plus_one.stb").ok());
    dialogs_->openFile.push_back(QStringLiteral("plus_one.stb"));
    child->OnLoadScoreTable();
    const auto before = doc.entries();
    child->OnSelectAll();
    QCOMPARE(child->listView()->CheckedRows(), (std::vector<int>{0, 1}));
    child->OnRecalculateSelected();
    for (size_t i = 0; i < 2; ++i) {
      QCOMPARE(doc.entries()[i].scoreTableName, std::string("plus_one.stb"));
      QVERIFY(qAbs(doc.entries()[i].averageScore - (before[i].averageScore + 1.0f)) < 1e-4f);
      QCOMPARE(child->listView()->item(int(i), 2)->text(), QStringLiteral("plus_one.stb"));
    }
    // A double-click on the second row shows its structure in the summary and the table.
    QTableWidget* list = child->listView();
    list->selectRow(1);
    const QRect cell = list->visualItemRect(list->item(1, 1));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    const QString name = QString::fromStdString(doc.entries()[1].resultName);
    QCOMPARE(child->summaryView()->lines().first(), QStringLiteral("Protein summary for %1:").arg(name));
    QCOMPARE(child->windowTitle(), name);
    QCOMPARE(child->tableView()->model().rowCount(), int(doc.protein().structure.residues.size()));
  }

  void spannerCommandsShowTheirDomains() {
    CChildFrame& child = Open("1U19.pdb");
    AnalysisSettings settings = child.doc().settings();
    settings.writeHelixInspection = false;
    QVERIFY(!child.doc().SetSettings(settings));
    const int linesBefore = child.summaryView()->lines().size();
    // No domain yet (after the heteroatom line): the blank line before the window test
    // follows the domains' heading.
    QCOMPARE(child.summaryView()->lines().at(10), QString());
    child.OnSpanner3D();
    QCOMPARE(child.summaryView()->lines(), Expected(SummaryLines(child.doc().protein())));
    QVERIFY(child.summaryView()->lines().size() > linesBefore + 5);
    // The summary can be scrolled to its last domain.
    child.summaryView()->resize(200, 100);
    child.summaryView()->SetLines(child.summaryView()->lines());
    QVERIFY(child.summaryView()->verticalScrollBar()->maximum() > 0);

    // The table shows Spanner3D's flags at once, as many as the summary's domains hold.
    int flagged = 0;
    for (const ResidueMembrane& r : child.doc().protein().transmembrane.residues) flagged += r.transmembrane;
    QVERIFY(flagged > 100);  // rhodopsin's seven helices
    QCOMPARE(TmRowsShown(child), flagged);

    dialogs_->openFiles.push_back({Data("bacteriorhodopsin_4xxjA.fasta")});
    child.OnSpanner2D();
    QCOMPARE(child.doc().entries().size(), size_t(2));
    QCOMPARE(child.listView()->rowCount(), 2);
    QCOMPARE(child.listView()->item(1, 1)->text(), QStringLiteral("bacteriorhodopsin_4xxjA.tsm"));
    // The model is shown at once in the summary, the table and the title, its row selected,
    // without a double-click: the result file read back.
    QCOMPARE(child.summaryView()->lines().first(),
             QStringLiteral("Protein summary for bacteriorhodopsin_4xxjA.tsm:"));
    QCOMPARE(child.windowTitle(), QStringLiteral("bacteriorhodopsin_4xxjA.tsm"));
    Protein stored;
    QVERIFY(ReadResult(stored, child.doc().entries()[1].resultPath).ok());
    QCOMPARE(child.tableView()->model().rowCount(), int(stored.structure.residues.size()));
    int storedTm = 0;
    for (const ResidueMembrane& r : stored.transmembrane.residues) storedTm += r.transmembrane;
    QVERIFY(storedTm > 0);
    QCOMPARE(TmRowsShown(child), storedTm);
    QCOMPARE(child.listView()->currentRow(), 1);
    // The placement of the structure shown before is not carried over to the model.
    QVERIFY(child.doc().protein().membranes.empty());
  }

  void chartPixelsLieWhereTheComputationsSay() {
    CChildFrame& child = Open("1CRN.pdb");
    CChartView* chart = child.chartView();
    chart->options().series[1].show = false;  // Profiles-3D alone, in blue
    const QImage image = chart->viewport()->grab().toImage();
    const ChartInput input = chart->Input();
    const PlotRect& r = input.rect;
    QVERIFY(r.right - r.left > 300);
    auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 60; };
    QVERIFY(dark(r.left, (r.top + r.bottom) / 2));  // frame
    QVERIFY(dark(r.right, (r.top + r.bottom) / 2));
    const Structure& s = child.doc().protein().structure;
    const ScoreResult& scores = child.doc().protein().scores;
    const ChartLayout layout = LayoutChart(input, 0);
    const ChartGeometry g(layout.plot, ScaleOfChart(input, DrawnRanges(input)), int(s.residues.size()));
    QVERIFY(dark(layout.plot.left, (layout.plot.top + layout.plot.bottom) / 2));  // score axis
    QVERIFY(dark(layout.plot.left + 200, layout.plot.bottom));                    // residue axis
    const std::vector<double> curve =
        MovingAverage(scores, s.chains[0], 0, input.options.series[0].movingAverage);
    int blue = 0;
    for (int i = 3; i < 43; ++i) {
      const QColor c = image.pixelColor(g.X(i), g.Y(curve[size_t(i)]));
      if (c.blue() > 200 && c.red() < 80 && c.green() < 80) ++blue;
    }
    QVERIFY2(blue >= 36, qPrintable(QStringLiteral("%1 of 40 curve points blue").arg(blue)));
    // The legend line of Profiles-3D, at the bottom place now that KAVELIN is hidden.
    QCOMPARE(image.pixelColor(layout.plot.left + 30, layout.plot.bottom - 20), QColor(0, 0, 255));
  }

  void chartOptionsDialogRules() {
    CChildFrame& child = Open("4HHB.pdb");
    CChartView* chart = child.chartView();
    // A line thickness of 0 blocks leaving the tab, without a message.
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      dlg.lineThickness()->setValue(0);
      dlg.tabs()->setCurrentIndex(1);
      return dlg.tabs()->currentIndex() == 0 ? int(QDialog::Rejected) : kScriptFailed;
    });
    chart->OnChartOptions();
    QVERIFY(dialogs_->messages.isEmpty());
    QVERIFY(dialogs_->run.empty());
    // Choosing a chain clears "Automatic" at once, even when the dialog is then cancelled.
    QVERIFY(chart->options().axes[0].automatic);
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      if (dlg.fromChain()->count() != 5 || dlg.fromChain()->itemText(0) != QStringLiteral("--"))
        return kScriptFailed;
      dlg.fromChain()->setCurrentIndex(2);
      emit dlg.fromChain()->activated(2);
      return dlg.xAutomatic()->isChecked() ? kScriptFailed : int(QDialog::Rejected);
    });
    chart->OnChartOptions();
    QVERIFY(!chart->options().axes[0].automatic);
    // OK with a chain box holding typed text instead of a chosen item: the message, no OK.
    int result = -1;
    dialogs_->run.push_back([&](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      dlg.xAutomatic()->setChecked(false);
      dlg.toChain()->setEditText(QStringLiteral("Q"));
      dlg.OnOk();
      result = dlg.result();
      return result;
    });
    chart->OnChartOptions();
    QCOMPARE(dialogs_->messages, QStringList{QStringLiteral("Error: Please enter valid chain ID")});
    QVERIFY(result != QDialog::Accepted);
    // Both chain boxes on "--" without Automatic: refused with a message.
    dialogs_->messages.clear();
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      dlg.xAutomatic()->setChecked(false);
      dlg.fromChain()->setCurrentIndex(0);
      dlg.toChain()->setCurrentIndex(0);
      dlg.OnOk();
      return dlg.result() == QDialog::Accepted ? kScriptFailed : int(QDialog::Rejected);
    });
    chart->OnChartOptions();
    QCOMPARE(dialogs_->messages.size(), 1);
    // A double-click on the chart opens the dialog too.
    dialogs_->run.push_back([](QDialog& dialog) {
      return dialog.windowTitle() == QStringLiteral("Chart Options") ? int(QDialog::Rejected) : kScriptFailed;
    });
    QTest::mouseDClick(chart->viewport(), Qt::LeftButton, {}, QPoint(200, 100));
    QVERIFY(dialogs_->run.empty());
  }

  void chartOptionsKeepTypedResiduesAndRefuseBackwardRanges() {
    CChildFrame& child = Open("4HHB.pdb");
    CChartView* chart = child.chartView();
    // The axes sit in one group that says it is shared, apart from the curves' tabs.
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      const bool shared = dlg.axesGroup()->title().contains(QStringLiteral("shared")) &&
                          dlg.axesGroup()->isAncestorOf(dlg.xAutomatic()) &&
                          !dlg.axesGroup()->isAncestorOf(dlg.showGraph()) &&
                          !dlg.axesGroup()->isAncestorOf(dlg.tabs());
      return shared ? int(QDialog::Rejected) : kScriptFailed;
    });
    chart->OnChartOptions();
    QVERIFY(dialogs_->run.empty());
    // A From residue typed before the chains are picked, and kept across a tab change.
    dialogs_->run.push_back([](QDialog& dialog) {
      auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
      dlg.fromResidue()->setValue(30);
      dlg.toResidue()->setValue(120);
      dlg.fromChain()->setCurrentIndex(1);
      emit dlg.fromChain()->activated(1);
      dlg.toChain()->setCurrentIndex(1);
      emit dlg.toChain()->activated(1);
      dlg.tabs()->setCurrentIndex(1);
      if (dlg.fromResidue()->value() != 30 || dlg.toResidue()->value() != 120) return kScriptFailed;
      dlg.OnOk();
      return dlg.result();
    });
    chart->OnChartOptions();
    QVERIFY(dialogs_->messages.isEmpty());
    const ChartAxisOptions& x = chart->options().axes[0];
    QCOMPARE(x.fromResidue, 30);
    QCOMPARE(x.toResidue, 120);
    QCOMPARE(x.fromChain, 'A');
    QVERIFY(!x.automatic);
    // To before From in one chain, and a To chain before the From chain: refused.
    for (const auto& [fromChain, toChain, from, to] : {std::tuple{1, 1, 100, 20}, std::tuple{3, 1, 10, 50}}) {
      dialogs_->messages.clear();
      int result = -1;
      dialogs_->run.push_back(
          [&, fromChain = fromChain, toChain = toChain, from = from, to = to](QDialog& dialog) {
            auto& dlg = dynamic_cast<ChartOptionsDlg&>(dialog);
            dlg.fromChain()->setCurrentIndex(fromChain);
            dlg.toChain()->setCurrentIndex(toChain);
            dlg.fromResidue()->setValue(from);
            dlg.toResidue()->setValue(to);
            dlg.setResult(QDialog::Rejected);  // the last showing ended with OK
            dlg.OnOk();
            result = dlg.result();
            return int(QDialog::Rejected);
          });
      chart->OnChartOptions();
      QCOMPARE(dialogs_->messages, QStringList{QString::fromLatin1(kInvertedRangeMessage)});
      QVERIFY(result != QDialog::Accepted);
    }
  }

  void theChartMenuExportsSvgPngAndPdf() {
    CChildFrame& child = Open("2RH1.pdb");
    for (const char* name : {"figure.svg", "figure.png", "figure.pdf"}) {
      dialogs_->saveFile.push_back(QString::fromLatin1(name));
      frame_->Action(ActionId::kChartExport)->trigger();
      std::ifstream in(name, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      QVERIFY2(bytes.size() > 1000, name);
      const std::string magic = bytes.substr(0, 5);
      QVERIFY(magic == "<?xml" || magic == "\x89PNG\r" || magic == "%PDF-");
    }
    QVERIFY(dialogs_->messages.isEmpty());
    std::ifstream svg("figure.svg");
    const std::string text((std::istreambuf_iterator<char>(svg)), {});
    QVERIFY(text.find(">2RH1  (") != std::string::npos);  // titled by the structure
    (void)child;
  }

  void openingAResultFileShowsItAndLeavesItAlone() {
    CChildFrame& child = Open("1CRN.pdb");
    std::ifstream in("1CRN.tsm", std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::copy_file("1CRN.tsm", "kept.tsm");
    dialogs_->openFile.push_back(QStringLiteral("kept.tsm"));
    child.OnFileOpen();
    QCOMPARE(child.summaryView()->lines().first(), QStringLiteral("Protein summary for kept.tsm:"));
    QCOMPARE(child.tableView()->model().rowCount(), 46);
    std::ifstream after("kept.tsm", std::ios::binary);
    QCOMPARE(std::string((std::istreambuf_iterator<char>(after)), {}), stored);
    QVERIFY(dialogs_->messages.isEmpty());
  }

  void theChartFollowsItsPaneAndAClickChangesNothing() {
    CChildFrame& child = Open("1CRN.pdb");
    CChartView* chart = child.chartView();
    const int before = chart->Input().rect.right;
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, QPoint(200, 100));
    QCOMPARE(chart->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(chart->verticalScrollBar()->maximum(), 0);
    chart->resize(chart->width() + 150, chart->height());
    QApplication::processEvents();
    QVERIFY(chart->Input().rect.right > before);
  }

  void printingPutsTheWholeChartOnOnePage() {
    // The install script installs poppler-utils for this test.
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(),
             "pdftoppm is missing: scripts/install-deps.sh installs poppler-utils");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext is missing: scripts/install-deps.sh installs poppler-utils");
    CChildFrame& child = Open("4HHB.pdb");
    CChartView* chart = child.chartView();
    chart->options().series[1].show = false;  // Profiles-3D alone, in blue
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QStringLiteral("chart.pdf"));
    chart->Print(printer);
    QVERIFY(QProcess::execute(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
                               QStringLiteral("chart.pdf"), QStringLiteral("page")}) == 0);
    QVERIFY(QFileInfo::exists(QStringLiteral("page-1.png")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("page-2.png")));  // one page
    // The last chain's curve, in the page's right-hand third, is printed.
    const QImage page(QStringLiteral("page-1.png"));
    int blue = 0;
    for (int x = page.width() * 2 / 3; x < page.width(); ++x) {
      for (int y = 0; y < page.height(); ++y) {
        const QColor c = page.pixelColor(x, y);
        blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
      }
    }
    QVERIFY(blue > 5);
    // The figure fills the page: the curve reaches into the page's lowest third, and the
    // residue axis's title sits in its last tenth.
    int lowBlue = 0;
    for (int y = page.height() * 2 / 3; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        const QColor c = page.pixelColor(x, y);
        lowBlue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
      }
    QVERIFY(lowBlue > 5);
    int lastInk = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 128) lastInk = y;
    QVERIFY2(lastInk > page.height() * 85 / 100,
             qPrintable(QStringLiteral("%1 of %2").arg(lastInk).arg(page.height())));
    // Titled by the structure, not by its result file.
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("chart.pdf"), QStringLiteral("-")});
    QVERIFY(text.waitForFinished());
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(words.contains(QStringLiteral("4HHB  (")) || words.contains(QStringLiteral("4HHB (")),
             qPrintable(words));
    QVERIFY(!words.contains(QStringLiteral(".pdb")));
  }

  void copyPutsTheSelectedRowsOnTheClipboard() {
    CChildFrame& child = Open("1CRN.pdb");
    child.tableView()->setFocus();
    child.tableView()->selectRow(3);
    child.tableView()->selectionModel()->select(child.tableView()->model().index(5, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    frame_->Action(ActionId::kCopy)->trigger();
    const QStringList lines =
        QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(QStringLiteral("Index\tResidue\tChain")));
    const std::vector<std::string> row = ResidueTableRow(child.doc().protein(), 5);
    QCOMPARE(lines[2].split(QLatin1Char('\t')).size(), 16);
    QCOMPARE(lines[2].split(QLatin1Char('\t'))[14], QString::fromStdString(row[14]));
    // Columns are as wide as their widest text: no score is cut to "0...".
    const int width = child.tableView()->columnWidth(12);
    QVERIFY(width >= child.tableView()->fontMetrics().horizontalAdvance(
                         child.tableView()->model().index(5, 12).data().toString()));
  }

  void saveAsWritesTheResultOrTheResidueTable() {
    CChildFrame& child = Open("1CRN.pdb");
    QTemporaryDir folder;
    const QString table = folder.filePath(QStringLiteral("crambin.tsv"));
    const QString result = folder.filePath(QStringLiteral("crambin.tsm"));
    dialogs_->saveFile = {table, result};
    frame_->Action(ActionId::kSaveAs)->trigger();
    QFile tsv(table);
    QVERIFY(tsv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(tsv.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 47);  // the headings and 46 residues, at full precision
    const QStringList cells = lines[11].split(QLatin1Char('\t'));
    QCOMPARE(cells.size(), 16);
    for (int c = 0; c < 16; ++c)
      QCOMPARE(cells[c],
               child.tableView()->model().index(10, c).data(ResidueTableModel::kExportRole).toString());
    // Save uses the name chosen last; Save As asks again.
    QFile::remove(table);
    frame_->Action(ActionId::kSave)->trigger();
    QVERIFY(QFileInfo::exists(table));
    frame_->Action(ActionId::kSaveAs)->trigger();
    Protein stored;
    QVERIFY(ReadResult(stored, result.toStdString()).ok());
    QCOMPARE(stored.structure.residues.size(), child.doc().protein().structure.residues.size());
    QCOMPARE(dialogs_->questions, 3);  // the open, and the two Save As
  }

  void headingsSortTheTablesAndRowsKeepTheirEntries() {
    CChildFrame& child = Open("1CRN.pdb");
    Open("5PTI.pdb");
    Open("1UBQ.pdb");
    CMAListView* list = child.listView();
    const std::vector<AnalysisEntry>& entries = child.doc().entries();
    QCOMPARE(list->rowCount(), 3);
    // Two clicks on "Average Residue Score": highest first, each row still its own entry.
    emit list->horizontalHeader()->sectionClicked(3);
    emit list->horizontalHeader()->sectionClicked(3);
    for (int r = 0; r < 3; ++r) {
      const AnalysisEntry& e = entries[size_t(list->EntryAt(r))];
      QCOMPARE(list->item(r, 1)->text(), QString::fromStdString(e.resultName));
      if (r > 0) QVERIFY(list->item(r, 3)->text().toDouble() <= list->item(r - 1, 3)->text().toDouble());
    }
    const auto best = std::max_element(
        entries.begin(), entries.end(),
        [](const AnalysisEntry& a, const AnalysisEntry& b) { return a.averageScore < b.averageScore; });
    QCOMPARE(list->EntryAt(0), int(best - entries.begin()));
    // The residue table by overall score, numbers as numbers; the model keeps residue order.
    CTableView* table = child.tableView();
    table->sortByColumn(14, Qt::DescendingOrder);
    const ScoreResult& s = child.doc().protein().scores;
    float highest = -1e30f;
    for (const ResidueScore& r : s.residues) highest = std::max(highest, r.overallScore);
    const int index = table->QTableView::model()->index(0, 0).data().toInt();
    QCOMPARE(s.residues[size_t(index)].overallScore, highest);
    QCOMPARE(table->model().index(5, 0).data().toString(), QStringLiteral("5"));
  }

  void hoveringOverTheChartNamesTheResidue() {
    CChildFrame& child = Open("1CRN.pdb");
    CChartView* chart = child.chartView();
    chart->show();
    QTest::mouseMove(chart->viewport(), QPoint(300, 100));
    QVERIFY(frame_->statusBar()->currentMessage().startsWith(QStringLiteral("Chain A  ")));
    QVERIFY(frame_->statusBar()->currentMessage().contains(QStringLiteral("KAVELIN ")));
    QTest::mouseMove(chart->viewport(), QPoint(5, 100));  // left of the curves
    QCOMPARE(frame_->statusBar()->currentMessage(), QStringLiteral("Ready"));
  }

  void closingWindowsThenTheMainWindow() {
    // Windows closed by the user are deleted later; the main window goes with others open.
    Open("1CRN.pdb");
    frame_->NewDocument();
    frame_->NewDocument();
    frame_->mdiArea()->closeActiveSubWindow();
    QApplication::processEvents();
    QCOMPARE(frame_->mdiArea()->subWindowList().size(), 2);
    frame_->mdiArea()->closeActiveSubWindow();
    frame_.reset();  // with a deletion pending: the sanitizer build checks nothing is touched
    QApplication::processEvents();
  }

  void messagesUseTheTextsOfTheCore() {
    CChildFrame* child = frame_->ActiveFrame();
    child->OnSpanner3D();
    QCOMPARE(dialogs_->messages, QStringList{QStringLiteral("Error no structure selected")});
    dialogs_->run.push_back([](QDialog& dialog) {
      return dialog.windowTitle() == QStringLiteral("About Tessmol") ? int(QDialog::Accepted) : kScriptFailed;
    });
    frame_->OnAbout();
    QVERIFY(dialogs_->run.empty());
    dialogs_->openFile.push_back(QStringLiteral("no_such_table.stb"));
    child->OnLoadScoreTable();
    QCOMPARE(dialogs_->messages.last(), QStringLiteral("Error: cannot read no_such_table.stb: no such file"));
    QCOMPARE(state_->scoringTable, BuiltInScores());
  }

  void theResidueTableNamesClassesAndRoundsOnlyWhatItShows() {
    CChildFrame& child = Open("1CRN.pdb");
    ResidueTableModel& model = child.tableView()->model();
    const Protein& protein = child.doc().protein();
    QCOMPARE(model.headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Area Buried (\u00c5\u00b2)"));
    QVERIFY(
        model.headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString().contains(QStringLiteral("Negative")));
    int negative = 0;
    for (int r = 0; r < model.rowCount(); ++r) {
      const ResidueScore& score = protein.scores.residues[size_t(r)];
      const ResidueSurface& surface = protein.surface.residues[size_t(r)];
      // Classes by name, the number and the meaning in the tooltip; and the meaning agrees
      // with the burial and polarity the same row shows.
      QCOMPARE(model.index(r, 7).data().toString(),
               QString::fromStdString(std::string(kEnvironmentNames[size_t(score.profEnv)])));
      const QString tip = model.index(r, 7).data(Qt::ToolTipRole).toString();
      QVERIFY2(tip.endsWith(QStringLiteral("(class %1)").arg(score.profEnv)), qPrintable(tip));
      const double buried = model.index(r, 4).data(ResidueTableModel::kExportRole).toString().toDouble();
      const double polar = model.index(r, 5).data(ResidueTableModel::kExportRole).toString().toDouble();
      if (tip.contains(QStringLiteral(": buried"))) {
        QVERIFY(buried >= 114.0);
      } else if (tip.contains(QStringLiteral(": partly buried"))) {
        QVERIFY(buried >= 40.0 && buried < 114.0);
        QCOMPARE(tip.contains(QStringLiteral("below 0.67")), polar < 0.67);
      } else {
        QVERIFY(tip.contains(QStringLiteral(": exposed")) && buried < 40.0);
      }
      QVERIFY(!model.index(r, 8).data().toString().isEmpty());
      negative += surface.areaBuried < 0;
      // Areas with one decimal, fractions and scores with three; the copy and the saved
      // table keep six, and the two agree to the rounding.
      for (int c : {4, 9, 10, 11}) {
        const QString shown = model.index(r, c).data().toString();
        const QString full = model.index(r, c).data(ResidueTableModel::kExportRole).toString();
        QCOMPARE(shown.section(QLatin1Char('.'), 1).size(), 1);
        QCOMPARE(full.section(QLatin1Char('.'), 1).size(), 6);
        QVERIFY(qAbs(shown.toDouble() - full.toDouble()) <= 0.05 + 1e-9);
      }
      for (int c : {5, 6, 12, 13, 14}) {
        const QString shown = model.index(r, c).data().toString();
        const QString full = model.index(r, c).data(ResidueTableModel::kExportRole).toString();
        QCOMPARE(shown.section(QLatin1Char('.'), 1).size(), 3);
        QVERIFY(qAbs(shown.toDouble() - full.toDouble()) <= 0.0005 + 1e-9);
      }
    }
    QVERIFY(negative > 0);  // crambin's ends are more exposed than the references
    // Copies keep the full precision and the saved table's headings.
    child.tableView()->setFocus();
    child.tableView()->selectRow(0);
    frame_->Action(ActionId::kCopy)->trigger();
    const QStringList lines =
        QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].split(QLatin1Char('\t')), Expected(ResidueTableHeadings()));
    QCOMPARE(lines[1].split(QLatin1Char('\t')), Expected(ResidueTableRow(protein, 0)));
  }

  void theFilterBoxShowsTheResiduesAsked() {
    CChildFrame& child = Open("4HHB.pdb");
    QLineEdit* box = child.residuePane()->filterBox();
    const QAbstractItemModel* shown = child.tableView()->QTableView::model();
    const Structure& s = child.doc().protein().structure;
    const int all = int(s.residues.size());
    int chainA = 0, number83 = 0;
    for (size_t i = 0; i < s.residues.size(); ++i) {
      chainA += s.ChainNameOfResidue(i) == "A";
      number83 += s.residues[i].resSeq == 83;
    }
    QTest::keyClicks(box, QStringLiteral("chain A"));
    QCOMPARE(shown->rowCount(), chainA);
    QCOMPARE(chainA, 141);  // haemoglobin's alpha chain
    box->setText(QStringLiteral("residue 83"));
    QCOMPARE(shown->rowCount(), number83);
    QCOMPARE(number83, 4);  // one in each of the four chains
    box->setText(QStringLiteral("chain A residue 83"));
    QCOMPARE(shown->rowCount(), 1);
    QCOMPARE(shown->index(0, 3).data().toString(), QStringLiteral("83"));
    QCOMPARE(shown->index(0, 2).data().toString(), QStringLiteral("A"));
    box->setText(QStringLiteral("chain B 1-10"));
    QCOMPARE(shown->rowCount(), 10);
    // Nothing is transmembrane before Spanner3D; after it, as many rows as flags.
    box->setText(QStringLiteral("TM residues"));
    QCOMPARE(shown->rowCount(), 0);
    // A word not understood shows every row and says so.
    box->setText(QStringLiteral("chain A wibble"));
    QCOMPARE(shown->rowCount(), all);
    QVERIFY(box->toolTip().contains(QStringLiteral("Not understood: wibble")));
    box->clear();
    QCOMPARE(shown->rowCount(), all);
    std::string unknown;
    const auto parsed = ParseResidueFilter("tm in chain C, residues -3--1 leu B1a", &unknown);
    QVERIFY(parsed.has_value());
    QVERIFY(parsed->transmembraneOnly);
    QCOMPARE(parsed->chains, std::vector<std::string>{"C"});
    QVERIFY((parsed->numbers == std::vector<std::pair<int32_t, int32_t>>{{-3, -1}}));
    QCOMPARE(parsed->names, std::vector<std::string>{"LEU"});
    QCOMPARE(parsed->classes, std::vector<int32_t>{0});
  }

  void theIdentityColumnsStayWhenTheTableScrollsRight() {
    CChildFrame& child = Open("1CRN.pdb");
    CTableView* table = child.tableView();
    table->resize(320, 200);
    QApplication::processEvents();
    QTableView* frozen = table->frozenView();
    QVERIFY(frozen->isVisible());
    for (int c = 0; c < 16; ++c) QCOMPARE(frozen->isColumnHidden(c), c >= CTableView::kFrozenColumns);
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    QVERIFY(table->horizontalScrollBar()->maximum() > 0);
    QApplication::processEvents();
    // The frozen view stays at the left edge with the residue, chain and number in it.
    int width = 0;
    for (int c = 0; c < CTableView::kFrozenColumns; ++c) width += table->columnWidth(c);
    QCOMPARE(frozen->geometry().left(), table->frameWidth());
    QCOMPARE(frozen->width(), width);
    const QRect residue = frozen->visualRect(frozen->model()->index(0, 1));
    QVERIFY(residue.left() >= 0 && residue.right() <= width);
    // Up and down, both move together.
    table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
    QCOMPARE(frozen->verticalScrollBar()->value(), table->verticalScrollBar()->value());
    QCOMPARE(frozen->indexAt(QPoint(5, 5)).row(), table->indexAt(QPoint(width + 5, 5)).row());
    // Its headings sort the table too.
    emit frozen->horizontalHeader()->sectionClicked(3);
    emit frozen->horizontalHeader()->sectionClicked(3);
    QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), 3);
    QCOMPARE(table->QTableView::model()->index(0, 3).data().toInt(), 46);  // crambin ends at 46
  }

  void theSummaryLinesShareOneLeftMargin() {
    CChildFrame& child = Open("1CRN.pdb");
    CProtSumView* summary = child.summaryView();
    summary->resize(500, 300);
    summary->show();
    const QImage image = summary->viewport()->grab().toImage();
    // The first ink of a line: lines 0 and 8 both begin with "P".
    auto firstInk = [&](int line) {
      for (int x = 0; x < image.width(); ++x) {
        for (int y = line * CProtSumView::kLineHeight; y < (line + 1) * CProtSumView::kLineHeight; ++y) {
          if (y < image.height() && qGray(image.pixel(x, y)) < 128) return x;
        }
      }
      return -1;
    };
    QVERIFY(firstInk(0) >= 0);
    QCOMPARE(firstInk(8), firstInk(0));
  }

  void menusOfferTheGuideTheWindowsAndTheVersion() {
    CChildFrame& first = Open("1CRN.pdb");
    CChildFrame* second = frame_->NewDocument();
    // The Window menu lists the open documents; choosing one brings it forward.
    emit frame_->windowMenu()->aboutToShow();
    QStringList items;
    QAction* firstItem = nullptr;
    for (QAction* a : frame_->windowMenu()->actions()) {
      items << a->text();
      if (a->text() == QStringLiteral("&1 1CRN.pdb")) firstItem = a;
    }
    QVERIFY2(items.contains(QStringLiteral("&2 %1").arg(second->windowTitle())),
             qPrintable(items.join(", ")));
    QVERIFY(firstItem != nullptr);
    QVERIFY(frame_->ActiveFrame() == second);
    firstItem->trigger();
    QVERIFY(frame_->ActiveFrame() == &first);
    emit frame_->windowMenu()->aboutToShow();  // rebuilt, not appended
    QCOMPARE(frame_->windowMenu()->actions().size(), items.size());
    // Help: the guide beside About, with the methods' references and where files go.
    QVERIFY(frame_->Action(ActionId::kGuide)->isEnabled());
    frame_->Action(ActionId::kGuide)->trigger();
    QVERIFY(frame_->guideWindow() != nullptr && frame_->guideWindow()->isVisible());
    const QString guide =
        GuideHtml({QStringLiteral("/results"), QStringLiteral("/program"), QStringLiteral("/settings.conf")});
    for (const char* words : {"Bowie", "1991", "Nature", "356:83", "von Heijne", "helixtest.pdb", "/results",
                              "/settings.conf", "Compatible Residue"}) {
      QVERIFY2(guide.contains(QString::fromUtf8(words)), words);
    }
    // About says the version CMake gives the project.
    QString about;
    dialogs_->run.push_back([&about](QDialog& dialog) {
      for (QLabel* label : dialog.findChildren<QLabel*>()) about += label->text();
      return int(QDialog::Accepted);
    });
    frame_->OnAbout();
    QCOMPARE(about, QStringLiteral("Tessmol Version %1").arg(QString::fromLatin1(kVersion)));
    QVERIFY(QString::fromLatin1(kVersion).count(QLatin1Char('.')) == 2);
  }

  void theOptionsSheetSpellsItsGroupAndTakesAMethodByMouse() {
    CChildFrame* child = frame_->ActiveFrame();
    auto pick = [this, child](int item) {
      bool spelt = false, offered = false;
      dialogs_->run.push_back([&, item](QDialog& dialog) {
        auto& sheet = dynamic_cast<OptionsSheet&>(dialog);
        sheet.show();
        for (QGroupBox* group : sheet.findChildren<QGroupBox*>())
          spelt |= group->title() == QStringLiteral("Solvent Accessible Surface Area (SASA) resolution");
        sheet.tabs()->setCurrentWidget(sheet.spanner());
        QComboBox* method = sheet.spanner()->methodBox();
        // Only what Spanner2D can run: no slab.
        // Window, segments, and the slab where one is placed, else segments; the slab alone is
        // a command of its own.
        offered = method->count() == 3 && method->findData(static_cast<int>(TmMethod::kSlab)) < 0;
        QTest::mouseClick(method, Qt::LeftButton);
        QAbstractItemView* popup = method->view();
        if (!QTest::qWaitFor([popup]() { return popup->isVisible(); })) return kScriptFailed;
        // A release soon after the press that opened the list belongs to that press: a
        // person's second click comes later.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QRect rect = popup->visualRect(popup->model()->index(item, 0));
        QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, rect.center());
        if (!QTest::qWaitFor([popup]() { return !popup->isVisible(); })) return kScriptFailed;
        sheet.OnOk();
        return sheet.result();
      });
      child->OnOptions();
      QVERIFY(spelt);
      QVERIFY(offered);
    };
    pick(1);
    QVERIFY(child->doc().settings().tmMethod == TmMethod::kSegments);
    pick(2);
    QVERIFY(child->doc().settings().tmMethod == TmMethod::kSlabElseSegments);
    pick(0);
    QVERIFY(child->doc().settings().tmMethod == TmMethod::kWindow);
    // The slab is Spanner3D's own command; it leaves the method chosen as it was.
    QVERIFY(frame_->Action(ActionId::kSpanner3DSlab)->text().contains(QStringLiteral("Membrane Slab")));
    child->OnSpanner3DSlab();
    QCOMPARE(dialogs_->messages, QStringList{QStringLiteral("Error no structure selected")});
    QVERIFY(child->doc().settings().tmMethod == TmMethod::kWindow);
  }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
