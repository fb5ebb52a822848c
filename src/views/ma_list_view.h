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
  // Rebuilds the rows from the analysis list.
  void Fill(const std::vector<AnalysisEntry>& entries);
  // Indices of the ticked rows, top to bottom.
  std::vector<int> CheckedRows() const;
  void OnSelectAll();

 signals:
  // A double-click on a row: its index and the text of its "Structure" cell.
  void EntryActivated(int index, const QString& name);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace tessmol
