#include "app/child_frame.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/options_sheet.h"
#include "app/settings.h"
#include "base/file_status.h"
#include "document/report.h"
#include "views/chart_view.h"
#include "views/ma_list_view.h"
#include "views/multi_dlg.h"
#include "views/prot_sum_view.h"
#include "views/table_view.h"

namespace tessmol {

CChildFrame::CChildFrame(std::shared_ptr<DocumentSession> session, QWidget* parent)
    : QWidget(parent), session_(std::move(session)) {
  const QSize area = parent != nullptr ? parent->size() : QSize(1000, 700);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  main_ = new QSplitter(Qt::Horizontal, this);
  auto* left = new QSplitter(Qt::Vertical, main_);
  auto* right = new QSplitter(Qt::Vertical, main_);
  list_ = new CMAListView(left);
  summary_ = new CProtSumView(left);
  chart_ = new CChartView(session_->doc(), session_->dialogs(), right);
  residuePane_ = new CResiduePane(right);
  table_ = residuePane_->table();
  main_->addWidget(left);
  main_->addWidget(right);
  main_->setChildrenCollapsible(false);
  left->setMinimumWidth(20);
  main_->setSizes({480, std::max(20, area.width() - 480)});
  left->setSizes({area.height() / 2, area.height() / 2});
  right->setSizes({area.height() / 2, area.height() / 2});
  layout->addWidget(main_);

  connect(session_.get(), &DocumentSession::Changed, this, &CChildFrame::RefreshViews);
  connect(session_.get(), &DocumentSession::TitleChanged, this, &CChildFrame::UpdateTitle);
  connect(list_, &CMAListView::EntryActivated, this, &CChildFrame::OnEntryActivated);
  setFocusProxy(list_);  // the analysis list is the active view
  UpdateTitle();
  RefreshViews();
}

void CChildFrame::UpdateTitle() {
  setWindowTitle(session_->title);
}

void CChildFrame::RefreshViews() {
  list_->Fill(doc().entries());
  RefreshStructureViews();
}

void CChildFrame::RefreshStructureViews() {
  QStringList lines;
  if (doc().structureLoaded()) {
    for (const std::string& line : SummaryLines(doc().protein())) lines << QString::fromStdString(line);
  }
  summary_->SetLines(lines);
  table_->FillTable(&doc().protein());
  chart_->OnUpdate();
}

void CChildFrame::OnFileOpen() {
  DialogService& dialogs = session_->dialogs();
  while (true) {
    const auto path = dialogs.OpenFile(
        this, QStringLiteral("Open"),
        QStringLiteral("PDB Files (*.pdb *.ent *.pdb.gz *.ent.gz);;mmCIF Files (*.cif *.cif.gz *.mmcif);;"
                       "Tessmol Files (*.tsm);;Text Files (*.txt);;All Files (*)"));
    if (!path) return;
    if (OpenPath(*path)) return;
    // A file without atoms: ask again.
  }
}

bool CChildFrame::OpenPath(const QString& path) {
  const std::string file = path.toStdString();
  FileStatus status;
  const CTessmolDoc::OpenResult result = doc().OpenStructure(file, &status);
  session_->title = QString::fromStdString(doc().title());
  emit session_->TitleChanged();
  if (result == CTessmolDoc::OpenResult::kNoAtoms) return false;
  if (result == CTessmolDoc::OpenResult::kResultFile) {
    // A result file is shown as the analysis list shows it, never read as a structure
    // (and so never overwritten by one).
    const int row = doc().AddStoredEntry(file);
    doc().LoadEntry(row, doc().entries()[row].resultName);
    RefreshViews();
    return true;
  }
  if (result == CTessmolDoc::OpenResult::kFailed) {
    if (!status.ok()) Error(QString::fromStdString(status.Describe()));
    return true;
  }
  emit StructureOpened(path);
  return true;
}

void CChildFrame::Error(const QString& text) {
  session_->dialogs().Message(this, text);
}

void CChildFrame::OnLoadScoreTable() {
  const auto path = session_->dialogs().OpenFile(this, QStringLiteral("Load Score Table"),
                                                 QStringLiteral("Score Table Files (*.stb);;All Files (*)"));
  if (!path) return;
  // A refused table leaves the one in force whole; say so, since the rows analysed next
  // would otherwise be scored with a table the user did not mean.
  if (const FileStatus loaded = doc().LoadScoreTable(path->toStdString()); !loaded) {
    Error(QString::fromStdString(loaded.Describe()));
  }
}

void CChildFrame::OnAnalyseMultiple() {
  MultiDlg dialog(session_->dialogs(), this);
  // Cancelling writes nothing, even when a custom table path was chosen in the dialog.
  if (session_->dialogs().Run(dialog) != QDialog::Accepted) return;
  MultipleAnalysisRequest request;
  for (const QString& path : dialog.filePaths) request.filePaths.push_back(path.toStdString());
  request.createCustomTable = dialog.createCustomTable && !dialog.customTablePath.isEmpty();
  request.customTablePath = dialog.customTablePath.toStdString();
  // Unwritten result files and tables have been named by the document; skipped files,
  // which the Part passes over in silence, are left so.
  doc().AnalyseMultiple(request);
}

void CChildFrame::OnRecalculateSelected() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<int> rows = list_->CheckedRows();
  doc().RecalculateProfiles(rows);
  QApplication::restoreOverrideCursor();
}

void CChildFrame::OnSelectAll() {
  list_->OnSelectAll();
}

void CChildFrame::OnSpanner3D() {
  doc().RunSpanner3D();
}

void CChildFrame::OnSpanner3DSlab() {
  const AnalysisSettings chosen = doc().settings();
  AnalysisSettings slab = chosen;
  slab.tmMethod = TmMethod::kSlab;
  if (doc().SetSettings(slab)) return;
  doc().RunSpanner3D();
  static_cast<void>(doc().SetSettings(chosen));
}

void CChildFrame::OnSpanner2D() {
  const QStringList paths = session_->dialogs().OpenFiles(
      this, QStringLiteral("Spanner2D"),
      QStringLiteral("Files in FASTA format (*.txt *.fasta *.fa *.fasta.gz *.fa.gz);;All Files (*)"));
  if (paths.isEmpty()) return;
  std::vector<std::string> files;
  for (const QString& p : paths) files.push_back(p.toStdString());
  const size_t before = doc().entries().size();
  doc().RunSpanner2D(files);
  // The newest model is what the user asked to see: shown, and its row selected.
  const size_t after = doc().entries().size();
  if (after <= before) return;
  const int last = static_cast<int>(after - 1);
  // A model whose result file could not be written has been reported already.
  if (!QFileInfo::exists(QString::fromStdString(doc().entries()[after - 1].resultPath))) return;
  OnEntryActivated(last, QString::fromStdString(doc().entries()[after - 1].resultName));
  for (int row = 0; row < list_->rowCount(); ++row) {
    if (list_->EntryAt(row) == last) list_->selectRow(row);
  }
}

void CChildFrame::OnOptions() {
  OptionsSheet sheet(session_->dialogs(), doc().settings(), this);
  if (session_->dialogs().Run(sheet) != QDialog::Accepted) return;
  doc().SetSettings(sheet.settings());
  // The folder for result files is remembered for the next documents and runs.
  QSettings(QString::fromLatin1(kSettingsKey), QStringLiteral("Tessmol"))
      .setValue(QStringLiteral("Working Directory"),
                QString::fromStdString(sheet.settings().workingDirectory));
}

void CChildFrame::OnChartOptions() {
  chart_->OnChartOptions();
}

void CChildFrame::OnChartExport() {
  if (!doc().structureLoaded()) {
    session_->dialogs().Message(this, QString::fromLatin1(kNoStructureSelected));
    return;
  }
  const auto path = session_->dialogs().SaveFile(
      this, QStringLiteral("Export Chart"),
      QStringLiteral("SVG Image (*.svg);;PNG Image (*.png);;PDF Document (*.pdf)"), QStringLiteral("svg"));
  if (!path) return;
  if (const FileStatus written = chart_->Export(path->toStdString()); !written)
    session_->dialogs().Message(this, QString::fromStdString(written.Describe()));
}

void CChildFrame::OnPrint() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (session_->dialogs().Run(dialog) != QDialog::Accepted) return;
  const QString file = printer.outputFileName();
  if (printer.outputFormat() != QPrinter::PdfFormat || file.isEmpty()) {
    chart_->Print(printer);
    return;
  }
  // Printed to a file: the PDF is made in memory and written by the one safe writer.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setPageLayout(printer.pageLayout());
    pdf.setResolution(printer.resolution());
    chart_->Print(pdf);
  }
  const FileStatus written = WriteBytesAtomically(
      file.toStdString(), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (!written) session_->dialogs().Message(this, QString::fromStdString(written.Describe()));
}

void CChildFrame::OnPrintPreview() {
  QPrinter printer;
  QPrintPreviewDialog preview(&printer, this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { chart_->Print(*p); });
  session_->dialogs().Run(preview);
}

void CChildFrame::OnEntryActivated(int index, const QString& name) {
  if (!doc().LoadEntry(index, name.toStdString())) return;
  // The title follows the structure shown.
  session_->title = name;
  emit session_->TitleChanged();
  RefreshStructureViews();
}

void CChildFrame::OnCopy() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto has = [](QWidget* pane) {
    return pane->hasFocus() || pane->isAncestorOf(QApplication::focusWidget());
  };
  if (has(list_)) {
    clipboard->setText(RowsAsTsv(*list_));
  } else if (has(summary_)) {
    clipboard->setText(summary_->lines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
  } else if (has(chart_)) {
    clipboard->setImage(chart_->viewport()->grab().toImage());
  } else {
    clipboard->setText(RowsAsTsv(*table_));
  }
}

void CChildFrame::OnSave() {
  if (savedPath_.isEmpty()) {
    OnSaveAs();
    return;
  }
  // SaveShown names a failure to the user itself.
  static_cast<void>(doc().SaveShown(savedPath_.toStdString()));
}

void CChildFrame::OnSaveAs() {
  if (!doc().structureLoaded()) {
    session_->dialogs().Message(this, QString::fromLatin1(kNoStructureSelected));
    return;
  }
  const auto path = session_->dialogs().SaveFile(
      this, QStringLiteral("Save As"), QStringLiteral("Tessmol Result (*.tsm);;Residue Table (*.tsv)"),
      QStringLiteral("tsm"));
  if (!path) return;
  if (doc().SaveShown(path->toStdString())) savedPath_ = *path;
}

void CChildFrame::FocusNextPane(bool forward) {
  const QList<QWidget*> panes = {list_, chart_, summary_, table_};
  int current = -1;
  for (int i = 0; i < panes.size(); ++i) {
    if (panes[i]->hasFocus() || panes[i]->isAncestorOf(QApplication::focusWidget())) current = i;
  }
  const int next = (current + (forward ? 1 : panes.size() - 1)) % panes.size();
  panes[next]->setFocus();
}

}  // namespace tessmol
