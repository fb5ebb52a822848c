#include "views/table_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "document/report.h"

namespace tessmol {

void ResidueTableModel::SetProtein(const Protein* protein) {
  beginResetModel();
  protein_ = protein;
  endResetModel();
}

int ResidueTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || protein_ == nullptr) return 0;
  return static_cast<int>(protein_->structure.residues.size());
}

int ResidueTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ResidueTableHeadings(protein_).size());
}

QVariant ResidueTableModel::data(const QModelIndex& index, int role) const {
  if ((role != Qt::DisplayRole && role != Qt::UserRole) || protein_ == nullptr || index.row() >= rowCount())
    return {};
  const std::vector<std::string> cells = ResidueTableRow(*protein_, static_cast<size_t>(index.row()));
  const QString text = QString::fromStdString(cells[static_cast<size_t>(index.column())]);
  if (role == Qt::UserRole) {
    bool number = false;
    const double value = text.toDouble(&number);
    if (number) return value;
  }
  return text;
}

QVariant ResidueTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return QString::fromStdString(ResidueTableHeadings(protein_)[static_cast<size_t>(section)]);
}

CTableView::CTableView(QWidget* parent) : QTableView(parent), model_(this), sorted_(this) {
  sorted_.setSourceModel(&model_);
  sorted_.setSortRole(Qt::UserRole);
  setModel(&sorted_);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  setSortingEnabled(true);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  resizeColumnsToContents();
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CTableView::FillTable(const Protein* protein) {
  model_.SetProtein(protein);
  // Every column wide enough for its heading and its widest value; the user may still
  // drag them.
  resizeColumnsToContents();
}

QString RowsAsTsv(const QTableView& view) {
  const QAbstractItemModel* model = view.model();
  std::vector<int> rows;
  if (view.selectionModel() != nullptr) {
    for (const QModelIndex& index : view.selectionModel()->selectedRows()) rows.push_back(index.row());
  }
  if (rows.empty()) {
    for (int r = 0; r < model->rowCount(); ++r) rows.push_back(r);
  }
  std::sort(rows.begin(), rows.end());
  QStringList lines, cells;
  for (int c = 0; c < model->columnCount(); ++c) cells << model->headerData(c, Qt::Horizontal).toString();
  lines << cells.join(QLatin1Char('\t'));
  for (int r : rows) {
    cells.clear();
    for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace tessmol
