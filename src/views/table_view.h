// The residue table: one row per residue with its identity, areas, classes and scores,
// under a filter box.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QWidget>

#include "model/protein.h"
#include "views/residue_filter.h"

class QLineEdit;

namespace tessmol {

// Rows straight from the document's protein; cells are formatted when shown, for reading:
// areas in Å² with one decimal, fractions and scores with three, classes by name. The
// roles below give what sorting and copying need.
class ResidueTableModel : public QAbstractTableModel {
 public:
  // What a column sorts by: the number for numeric cells, else the text.
  static constexpr int kSortRole = Qt::UserRole;
  // The cell and heading as the saved residue table (.tsv) has them, at full precision.
  static constexpr int kExportRole = Qt::UserRole + 1;

  using QAbstractTableModel::QAbstractTableModel;
  void SetProtein(const Protein* protein);
  const Protein* protein() const { return protein_; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const Protein* protein_ = nullptr;
};

// The rows a filter lets through, sortable by any column.
class ResidueFilterProxy : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetFilter(const ResidueFilter& filter);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  ResidueFilter filter_;
};

class CTableView : public QTableView {
 public:
  // Index, residue, chain and number stay in view when the table scrolls right.
  static constexpr int kFrozenColumns = 4;

  explicit CTableView(QWidget* parent = nullptr);
  // Fills the rows again from `protein` (null: no rows).
  void FillTable(const Protein* protein);
  // The rows in residue order, whatever the sort and filter shown.
  ResidueTableModel& model() { return model_; }
  // The rows shown, sorted and filtered.
  QSortFilterProxyModel& shown() { return sorted_; }
  void SetFilter(const ResidueFilter& filter) { sorted_.SetFilter(filter); }
  // The frozen columns, drawn over the table's left edge.
  QTableView* frozenView() const { return frozen_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  void updateGeometries() override;

 private:
  void UpdateFrozenGeometry();
  void SortFromFrozenHeader(int column);
  ResidueTableModel model_;
  ResidueFilterProxy sorted_;
  QTableView* frozen_ = nullptr;
};

// The residue table's pane: the filter box over the table.
class CResiduePane : public QWidget {
 public:
  explicit CResiduePane(QWidget* parent = nullptr);
  CTableView* table() const { return table_; }
  QLineEdit* filterBox() const { return filter_; }

 private:
  void ApplyFilter(const QString& text);
  CTableView* table_;
  QLineEdit* filter_;
};

// The selected rows of a table as tab-separated text with the headings first, as a
// spreadsheet pastes it; every row shown when none is selected. Cells that have one give
// their full-precision text (ResidueTableModel::kExportRole).
QString RowsAsTsv(const QTableView& view);

}  // namespace tessmol
