#include "views/ma_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace tessmol {

namespace {

// Compares numbers as numbers where both cells hold one, else as text.
class ListItem : public QTableWidgetItem {
 public:
  using QTableWidgetItem::QTableWidgetItem;
  bool operator<(const QTableWidgetItem& other) const override {
    bool a = false, b = false;
    const double x = text().toDouble(&a), y = other.text().toDouble(&b);
    if (a && b) return x < y;
    return text() < other.text();
  }
};

}  // namespace

const QStringList& CMAListView::Headings() {
  static const QStringList headings = {
      QStringLiteral("Index"),
      QStringLiteral("Structure"),
      QStringLiteral("Score Table"),
      QStringLiteral("Average Residue Score"),
      QStringLiteral("Expected Residue Score"),
      QStringLiteral("Compatible Residue Score"),
  };
  return headings;
}

namespace {

const char* const kHeadingTips[] = {
    "Position in the analysis list, from 0",
    "The structure's result file (.tsm)",
    "The score table the structure was scored with",
    "The residues' overall scores summed and divided by the number of residues: the 3D-1D profile "
    "score per residue (the KAVELIN score inside transmembrane segments)",
    "The average residue score expected of a correct structure of this length, from the score "
    "table's fitted curve of total score against residue count (for the 3D-1D profile tables, "
    "L\u00fcthy, Bowie & Eisenberg 1992)",
    "45% of the expected score: the limit below which a structure is taken to be incompatible with "
    "its own sequence, that is wrongly folded or wrongly traced in part (L\u00fcthy, Bowie & Eisenberg "
    "1992)",
};

}  // namespace

CMAListView::CMAListView(QWidget* parent) : QTableWidget(parent) {
  setColumnCount(static_cast<int>(Headings().size()));
  for (int c = 0; c < columnCount(); ++c) {
    auto* heading = new QTableWidgetItem(Headings()[c]);
    heading->setToolTip(QString::fromUtf8(kHeadingTips[c]));
    setHorizontalHeaderItem(c, heading);
  }
  resizeColumnsToContents();
  horizontalHeader()->setSectionsMovable(true);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  horizontalHeader()->setSectionsClickable(true);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CMAListView::SortBy);
}

void CMAListView::SortBy(int column) {
  sortOrder_ =
      column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
  sortColumn_ = column;
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(column, sortOrder_);
  sortItems(column, sortOrder_);
}

int CMAListView::EntryAt(int row) const {
  const QTableWidgetItem* first = item(row, 0);
  return first != nullptr ? first->data(Qt::UserRole).toInt() : row;
}

void CMAListView::Fill(const std::vector<AnalysisEntry>& entries) {
  clearContents();
  setRowCount(static_cast<int>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::vector<std::string> cells = AnalysisListRow(entries, i);
    for (size_t c = 0; c < cells.size(); ++c) {
      auto* item = new ListItem(QString::fromStdString(cells[c]));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      if (c == 0) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, static_cast<int>(i));
      }
      setItem(static_cast<int>(i), static_cast<int>(c), item);
    }
  }
  if (sortColumn_ >= 0) sortItems(sortColumn_, sortOrder_);
  resizeColumnsToContents();
}

std::vector<int> CMAListView::CheckedRows() const {
  std::vector<int> rows;
  for (int r = 0; r < rowCount(); ++r) {
    if (item(r, 0) != nullptr && item(r, 0)->checkState() == Qt::Checked) rows.push_back(EntryAt(r));
  }
  return rows;
}

void CMAListView::OnSelectAll() {
  for (int r = 0; r < rowCount(); ++r) {
    if (item(r, 0) != nullptr) item(r, 0)->setCheckState(Qt::Checked);
  }
}

void CMAListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  const int row = currentRow();
  if (row < 0 || row >= rowCount() || item(row, 1) == nullptr) return;  // no row selected: nothing to load
  emit EntryActivated(EntryAt(row), item(row, 1)->text());
}

}  // namespace tessmol
