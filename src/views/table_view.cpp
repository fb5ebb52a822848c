#include "views/table_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/text.h"
#include "document/report.h"
#include "scoring/residue_scores.h"

namespace tessmol {

namespace {

// The columns, in the order of ResidueTableHeadings.
enum Column {
  kIndex,
  kResidue,
  kChain,
  kNumber,
  kAreaBuried,
  kFractionPolar,
  kKavelinFP,
  kCategory,
  kKavelinCat,
  kMainSasa,
  kSideSasa,
  kSasa,
  kSolventScore,
  kKavelinScore,
  kOverallScore,
  kTransmembrane,
  kColumnCount
};

bool IsArea(int column) {
  return column == kAreaBuried || column == kMainSasa || column == kSideSasa || column == kSasa;
}

bool IsFraction(int column) {
  return column == kFractionPolar || column == kKavelinFP;
}

bool IsScore(int column) {
  return column == kSolventScore || column == kKavelinScore || column == kOverallScore;
}

// Headings as shown: the saved table's, areas with their unit.
QString Heading(int column) {
  if (column >= kColumnCount) return QStringLiteral("pLDDT");
  const QString heading = QString::fromStdString(ResidueTableHeadings()[static_cast<size_t>(column)]);
  return IsArea(column) ? heading + QStringLiteral(" (\u00c5\u00b2)") : heading;
}

QString HeadingTip(int column) {
  switch (column) {
    case kIndex:
      return QStringLiteral("Position in the structure's residue list, from 0");
    case kNumber:
      return QStringLiteral("Residue number as the file gives it");
    case kAreaBuried:
      return QStringLiteral(
          "Side-chain area buried (\u00c5\u00b2): the accessible area of this residue type's side chain when "
          "fully exposed (its reference area) less its accessible area here.\n"
          "Negative when the side chain is more exposed here than in the reference, as at a chain end "
          "or in a stretched-out loop.\n"
          "Below 40 \u00c5\u00b2 a residue counts as exposed (E), from 114 \u00c5\u00b2 as buried (B), "
          "between "
          "as partly buried (P).");
    case kFractionPolar:
      return QStringLiteral(
          "Of the side chain's surface covered by other atoms, the fraction covered by polar atoms "
          "(nitrogen and oxygen): the polarity of its surroundings.");
    case kKavelinFP:
      return QStringLiteral(
          "Fraction polar less the side chain's exposed fraction (side SASA / reference area): the "
          "polarity the side chain would meet with its exposed part in lipid.");
    case kCategory:
      return QStringLiteral(
          "Profiles-3D environment class (Bowie, L\u00fcthy & Eisenberg 1991) from the residue's burial, "
          "polarity and secondary structure: B buried, P partly buried, E exposed; 1 to 3 less to more "
          "polar; a helix, b sheet. Point at a cell for its meaning.");
    case kKavelinCat:
      return QStringLiteral(
          "KAVELIN class: the class the residue would have with its whole side chain buried, as in the "
          "lipid bilayer (the reference area as burial, KAVELIN FP as polarity). \"none\" (class 18): "
          "not a standard residue type.");
    case kMainSasa:
      return QStringLiteral("Solvent accessible area of the main-chain atoms (\u00c5\u00b2)");
    case kSideSasa:
      return QStringLiteral("Solvent accessible area of the side chain with CA (\u00c5\u00b2)");
    case kSasa:
      return QStringLiteral("Main SASA + Side SASA (\u00c5\u00b2)");
    case kSolventScore:
      return QStringLiteral(
          "3D-1D score of the residue type in its Profiles-3D class, from the score table in force: "
          "positive where the type is found more often than by chance");
    case kKavelinScore:
      return QStringLiteral("Score of the residue type in its KAVELIN class");
    case kOverallScore:
      return QStringLiteral(
          "The KAVELIN score inside a transmembrane segment, else the solvent score; averaged into "
          "the Average Residue Score");
    case kTransmembrane:
      return QStringLiteral("1: in a predicted transmembrane segment (Spanner3D), 0: not");
    case kColumnCount:
      return QStringLiteral(
          "The predictor's confidence in the residue (pLDDT, 0 to 100): 90 and above very high, 70 to 90 "
          "confident, 50 to 70 low, below 50 very low (often disordered)");
    default:
      return {};
  }
}

}  // namespace

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
  if (protein_ == nullptr || !index.isValid() || index.row() >= rowCount()) return {};
  const auto row = static_cast<size_t>(index.row());
  const int column = index.column();
  if (role == kExportRole) {
    return QString::fromStdString(ResidueTableRow(*protein_, row)[static_cast<size_t>(column)]);
  }
  if (role != Qt::DisplayRole && role != kSortRole && role != Qt::ToolTipRole) return {};
  const Structure& s = protein_->structure;
  const Residue& r = s.residues[row];
  const ResidueSurface& surface = protein_->surface.residues[row];
  const ResidueScore& scores = protein_->scores.residues[row];
  double value = 0;
  switch (column) {
    case kIndex:
      value = static_cast<double>(row);
      break;
    case kNumber:
      value = r.resSeq;
      break;
    case kAreaBuried:
      value = surface.areaBuried;
      break;
    case kFractionPolar:
      value = surface.fractionPolar;
      break;
    case kKavelinFP:
      value = surface.kavelinFP;
      break;
    case kCategory:
      value = scores.profEnv;
      break;
    case kKavelinCat:
      value = scores.kavelinEnv;
      break;
    case kMainSasa:
      value = surface.mainSASA;
      break;
    case kSideSasa:
      value = surface.sideSASA;
      break;
    // Summed in single precision, as the saved table sums it.
    case kSasa:
      value = surface.sideSASA + surface.mainSASA;
      break;
    case kSolventScore:
      value = scores.solventScore;
      break;
    case kKavelinScore:
      value = scores.kavelinScore;
      break;
    case kOverallScore:
      value = scores.overallScore;
      break;
    case kTransmembrane:
      value = protein_->transmembrane.residues[row].transmembrane ? 1 : 0;
      break;
    case kColumnCount:  // pLDDT, shown for predicted models only
      if (row >= s.confidence.size()) return {};
      value = s.confidence[row];
      break;
    case kResidue: {
      const QString name = QString::fromStdString(r.name);
      return role == Qt::ToolTipRole ? QVariant() : QVariant(name);
    }
    case kChain: {
      const QString chain = QString::fromStdString(s.ChainNameOfResidue(row));
      return role == Qt::ToolTipRole ? QVariant() : QVariant(chain);
    }
    default:
      return {};
  }
  if (role == kSortRole) return value;
  if (column == kCategory || column == kKavelinCat) {
    const auto code = static_cast<int32_t>(value);
    if (role == Qt::DisplayRole)
      return QString::fromUtf8(EnvironmentName(code).data(), EnvironmentName(code).size());
    return QStringLiteral("%1 (class %2)")
        .arg(QString::fromStdString(EnvironmentDescription(code)))
        .arg(code);
  }
  const int decimals = IsArea(column) || column == kColumnCount ? 1
                       : IsFraction(column) || IsScore(column)  ? 3
                                                                : 0;
  if (role == Qt::ToolTipRole) {
    if (decimals == 0) return {};
    // The whole value, as copies and saved files keep it.
    QString tip = QString::fromStdString(FormatFixed(value));
    if (column == kAreaBuried && value < 0) {
      tip += QStringLiteral(": the side chain is more exposed here than in its reference");
    }
    return tip;
  }
  return QString::fromStdString(FormatFixed(value, decimals));
}

QVariant ResidueTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return Heading(section);
  if (role == kExportRole)
    return QString::fromStdString(ResidueTableHeadings(protein_)[static_cast<size_t>(section)]);
  if (role == Qt::ToolTipRole) return HeadingTip(section);
  return {};
}

void ResidueFilterProxy::SetFilter(const ResidueFilter& filter) {
  filter_ = filter;
  invalidateFilter();
}

bool ResidueFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (filter_.Empty()) return true;
  const auto* model = static_cast<const ResidueTableModel*>(sourceModel());
  return model->protein() != nullptr && filter_.Matches(*model->protein(), static_cast<size_t>(sourceRow));
}

CTableView::CTableView(QWidget* parent) : QTableView(parent), model_(this), sorted_(this) {
  sorted_.setSourceModel(&model_);
  sorted_.setSortRole(ResidueTableModel::kSortRole);
  setModel(&sorted_);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  setSortingEnabled(true);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setHorizontalScrollMode(ScrollPerPixel);
  setVerticalScrollMode(ScrollPerPixel);

  // The frozen columns: a second view of the same rows over the left edge, sharing the
  // selection, scrolled with the table up and down but never sideways.
  frozen_ = new QTableView(this);
  frozen_->setObjectName(QStringLiteral("frozenColumns"));
  frozen_->setModel(&sorted_);
  frozen_->setSelectionModel(selectionModel());
  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->setSelectionBehavior(QAbstractItemView::SelectRows);
  frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  frozen_->verticalHeader()->hide();
  frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  frozen_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->horizontalHeader()->setSectionsClickable(true);
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollMode(ScrollPerPixel);
  frozen_->setStyleSheet(QStringLiteral("QTableView { border: none; }"));
  viewport()->stackUnder(frozen_);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (column < kFrozenColumns) {
      frozen_->setColumnWidth(column, size);
      UpdateFrozenGeometry();
    }
  });
  connect(verticalHeader(), &QHeaderView::sectionResized, this,
          [this](int row, int, int size) { frozen_->setRowHeight(row, size); });
  connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(frozen_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CTableView::SortFromFrozenHeader);
  connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
          [this](int column, Qt::SortOrder order) {
            frozen_->horizontalHeader()->setSortIndicatorShown(column >= 0 && column < kFrozenColumns);
            frozen_->horizontalHeader()->setSortIndicator(column, order);
          });
  FillTable(nullptr);
  frozen_->show();
}

void CTableView::SortFromFrozenHeader(int column) {
  const QHeaderView* header = horizontalHeader();
  const Qt::SortOrder order =
      header->sortIndicatorSection() == column && header->sortIndicatorOrder() == Qt::AscendingOrder
          ? Qt::DescendingOrder
          : Qt::AscendingOrder;
  sortByColumn(column, order);
}

void CTableView::FillTable(const Protein* protein) {
  model_.SetProtein(protein);
  // Every column wide enough for its heading and its widest value; the user may still
  // drag them.
  resizeColumnsToContents();
  for (int c = 0; c < model_.columnCount(); ++c) frozen_->setColumnHidden(c, c >= kFrozenColumns);
  for (int c = 0; c < kFrozenColumns; ++c) frozen_->setColumnWidth(c, columnWidth(c));
  UpdateFrozenGeometry();
}

void CTableView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  UpdateFrozenGeometry();
}

void CTableView::updateGeometries() {
  QTableView::updateGeometries();
  if (frozen_ != nullptr) UpdateFrozenGeometry();
}

void CTableView::UpdateFrozenGeometry() {
  int width = 0;
  for (int c = 0; c < kFrozenColumns; ++c) width += columnWidth(c);
  frozen_->setGeometry(frameWidth(), frameWidth(), width,
                       viewport()->height() + horizontalHeader()->height());
}

// Keys that move left keep the current cell out from under the frozen columns.
QModelIndex CTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
  int frozenWidth = 0;
  for (int c = 0; c < kFrozenColumns; ++c) frozenWidth += columnWidth(c);
  if (cursorAction == MoveLeft && current.column() >= kFrozenColumns &&
      visualRect(current).topLeft().x() < frozenWidth) {
    const int shift = visualRect(current).topLeft().x() - frozenWidth;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
  }
  return current;
}

void CTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // A frozen cell is always in view sideways; only its row needs scrolling to.
  if (index.column() >= kFrozenColumns) {
    QTableView::scrollTo(index, hint);
  } else if (index.isValid()) {
    QTableView::scrollTo(sorted_.index(index.row(), kFrozenColumns), hint);
  }
}

namespace {

QString FilterHelp() {
  return QStringLiteral(
      "Show only the residues that match every kind of word typed:\n"
      "  TM (or transmembrane): residues in a transmembrane segment\n"
      "  chain A: residues of chain A\n"
      "  residue 83, 83, 80-90: residue numbers\n"
      "  LEU: residues of that name\n"
      "  B1a ... E: residues in that Profiles-3D class\n"
      "Words of one kind are alternatives: \"chain A chain B\".");
}

}  // namespace

CResiduePane::CResiduePane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("residueFilter"));
  filter_->setClearButtonEnabled(true);
  filter_->setPlaceholderText(QStringLiteral("Filter: TM residues, chain A, residue 83, 80-90, LEU, B1a"));
  filter_->setToolTip(FilterHelp());
  table_ = new CTableView(this);
  layout->addWidget(filter_);
  layout->addWidget(table_, 1);
  connect(filter_, &QLineEdit::textChanged, this, &CResiduePane::ApplyFilter);
}

void CResiduePane::ApplyFilter(const QString& text) {
  std::string unknown;
  const std::optional<ResidueFilter> filter = ParseResidueFilter(text.toStdString(), &unknown);
  // A word not understood shows every row and says which word it was.
  filter_->setStyleSheet(filter ? QString() : QStringLiteral("QLineEdit { color: #b00000; }"));
  filter_->setToolTip(filter ? FilterHelp()
                             : FilterHelp() + QStringLiteral("\n\nNot understood: ") +
                                   QString::fromStdString(unknown));
  table_->SetFilter(filter.value_or(ResidueFilter{}));
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
  auto text = [](const QVariant& exported, const QVariant& shown) {
    return exported.isValid() ? exported.toString() : shown.toString();
  };
  QStringList lines, cells;
  for (int c = 0; c < model->columnCount(); ++c) {
    cells << text(model->headerData(c, Qt::Horizontal, ResidueTableModel::kExportRole),
                  model->headerData(c, Qt::Horizontal));
  }
  lines << cells.join(QLatin1Char('\t'));
  for (int r : rows) {
    cells.clear();
    for (int c = 0; c < model->columnCount(); ++c) {
      const QModelIndex index = model->index(r, c);
      cells << text(index.data(ResidueTableModel::kExportRole), index.data());
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace tessmol
