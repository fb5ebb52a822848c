// The analysis list: one row per analysed structure with a check box, its score table, its
// average residue score, the expected score and the compatible-score threshold.
#pragma once

#include <QTableWidget>
#include <vector>

#include "document/tessmol_doc.h"

namespace tessmol {

class CMAListView : public QTableWidget {
  Q_OBJECT

 public:
  explicit CMAListView(QWidget* parent = nullptr);
  // The headings shown, in full words; each explains itself in a tooltip.
  static const QStringList& Headings();
  // Rebuilds the rows from the analysis list.
  void Fill(const std::vector<AnalysisEntry>& entries);
  // The analysis-list indices of the ticked rows, top to bottom as shown.
  std::vector<int> CheckedRows() const;
  // The analysis-list index of the row shown at `row`.
  int EntryAt(int row) const;
  void OnSelectAll();

 signals:
  // A double-click on a row: its analysis-list index and the text of its "Structure" cell.
  void EntryActivated(int index, const QString& name);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Clicking a heading sorts by that column, numbers as numbers; a second click turns the
  // order. Until then the rows keep the analysis list's own order.
  void SortBy(int column);
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace tessmol
