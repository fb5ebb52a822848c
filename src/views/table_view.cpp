#include "views/table_view.h"

#include <QHeaderView>

#include "document/report.h"

namespace tessmol {

void ResidueTableModel::SetStructure(const Structure* structure) {
  beginResetModel();
  structure_ = structure;
  endResetModel();
}

int ResidueTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || structure_ == nullptr) return 0;
  return static_cast<int>(structure_->residues.size());
}

int ResidueTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ResidueTableHeadings().size());
}

QVariant ResidueTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || structure_ == nullptr || index.row() >= rowCount()) return {};
  const std::vector<std::string> cells = ResidueTableRow(*structure_, static_cast<size_t>(index.row()));
  return QString::fromStdString(cells[static_cast<size_t>(index.column())]);
}

QVariant ResidueTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return QString::fromStdString(ResidueTableHeadings()[static_cast<size_t>(section)]);
}

CTableView::CTableView(QWidget* parent) : QTableView(parent), model_(this) {
  setModel(&model_);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  const int widths[16] = {30, 40, 40, 60, 80, 80, 70, 60, 70, 70, 70, 60, 60, 60, 60, 60};
  for (int c = 0; c < 16; ++c) setColumnWidth(c, widths[c]);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CTableView::FillTable(const Structure* structure) {
  model_.SetStructure(structure);
}

}  // namespace tessmol
