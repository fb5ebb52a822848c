// The residue table: one row per residue with its identity, areas, classes and scores.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "model/protein.h"

namespace tessmol {

// Rows straight from the document's protein; cells are formatted when shown. Qt::UserRole
// gives what a column sorts by: the number for numeric cells, else the text.
class ResidueTableModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetProtein(const Protein* protein);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const Protein* protein_ = nullptr;
};

class CTableView : public QTableView {
 public:
  explicit CTableView(QWidget* parent = nullptr);
  // Fills the rows again from `protein` (null: no rows).
  void FillTable(const Protein* protein);
  // The rows in residue order, whatever the sort shown.
  ResidueTableModel& model() { return model_; }

 private:
  ResidueTableModel model_;
  // Clicking a heading sorts the rows shown; until then they stay in residue order.
  QSortFilterProxyModel sorted_;
};

// The selected rows of a table as tab-separated text with the headings first, as a
// spreadsheet pastes it; every row when none is selected.
QString RowsAsTsv(const QTableView& view);

}  // namespace tessmol
