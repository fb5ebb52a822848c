// One document window: the analysis list (top left), the protein summary (bottom left),
// the chart (top right) and the residue table (bottom right) in nested splitters, and the
// commands that act on its document.
#pragma once

#include <QWidget>
#include <memory>

#include "app/document_session.h"

class QSplitter;

namespace tessmol {

class CChartView;
class CMAListView;
class CProtSumView;
class CResiduePane;
class CTableView;

class CChildFrame : public QWidget {
  Q_OBJECT

 public:
  CChildFrame(std::shared_ptr<DocumentSession> session, QWidget* parent = nullptr);

  DocumentSession& session() { return *session_; }
  std::shared_ptr<DocumentSession> sharedSession() { return session_; }
  CTessmolDoc& doc() { return session_->doc(); }
  CMAListView* listView() const { return list_; }
  CProtSumView* summaryView() const { return summary_; }
  CChartView* chartView() const { return chart_; }
  CTableView* tableView() const { return table_; }
  CResiduePane* residuePane() const { return residuePane_; }
  QSplitter* mainSplitter() const { return main_; }

  // Document commands; each asks what it needs through the dialog seam.
  void OnFileOpen();
  bool OpenPath(const QString& path);  // the pipeline for a path already chosen
  void OnLoadScoreTable();
  void OnAnalyseMultiple();
  void OnRecalculateSelected();
  void OnSelectAll();
  void OnSpanner3D();
  // Spanner3D with the lipid slab placed on the structure, whatever method the options
  // name: the slab needs a structure, so it is offered here and not for Spanner2D.
  void OnSpanner3DSlab();
  // Spanner2D; the last model made is shown at once in the summary, chart and table.
  void OnSpanner2D();
  void OnOptions();
  void OnChartOptions();
  void OnChartExport();  // Chart > Export: the chart as an SVG, PNG or PDF figure
  void OnPrint();
  void OnPrintPreview();
  void OnEntryActivated(int index, const QString& name);
  // F6 and Shift+F6: the next or previous pane takes the focus.
  void FocusNextPane(bool forward);
  // Edit > Copy: the selected rows of the list or the residue table as TSV, the summary's
  // text, or the chart as an image, whichever pane has the focus (the table by default).
  void OnCopy();
  // Save As asks for a name (.tsm for the result, .tsv for the residue table); Save uses
  // the last one chosen, or asks.
  void OnSave();
  void OnSaveAs();

  void RefreshViews();
  // The summary and the table only (a double-click leaves the list as it is).
  void RefreshStructureViews();

 signals:
  void StructureOpened(const QString& path);

 private:
  void UpdateTitle();
  void Error(const QString& text);
  std::shared_ptr<DocumentSession> session_;
  QSplitter* main_;
  CMAListView* list_;
  CProtSumView* summary_;
  CChartView* chart_;
  CResiduePane* residuePane_;
  CTableView* table_;
  QString savedPath_;
};

}  // namespace tessmol
