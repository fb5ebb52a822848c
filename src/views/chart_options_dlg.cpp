#include "views/chart_options_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

namespace tessmol {

namespace {

QSpinBox* Spin(QWidget* parent, int low, int high) {
  auto* box = new QSpinBox(parent);
  box->setRange(low, high);
  return box;
}

}  // namespace

ChartOptionsDlg::ChartOptionsDlg(DialogService& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Chart Options"));
  auto* layout = new QVBoxLayout(this);
  // The tabs choose a curve and hold only what is the curve's own; the axes below them
  // are one setting for all three, and say so.
  auto* curves = new QGroupBox(QStringLiteral("Curves"), this);
  auto* curvesLayout = new QVBoxLayout(curves);
  tabs_ = new QTabBar(curves);
  tabs_->addTab(QStringLiteral("Profiles-3D"));
  tabs_->addTab(QStringLiteral("KAVELIN"));
  tabs_->addTab(QStringLiteral("Overall"));
  curvesLayout->addWidget(tabs_);
  curvesLayout->addLayout(BuildSeriesControls());
  layout->addWidget(curves);
  axes_ = new QGroupBox(QStringLiteral("Axes, shared by the three curves"), this);
  auto* axesLayout = new QHBoxLayout(axes_);
  axesLayout->addWidget(BuildResidueAxisControls());
  axesLayout->addWidget(BuildScoreAxisControls());
  layout->addWidget(axes_);
  legend_ = new QCheckBox(QStringLiteral("Show Legend"), this);
  legend_->setChecked(true);
  layout->addWidget(legend_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);

  connect(tabs_, &QTabBar::currentChanged, this, &ChartOptionsDlg::OnTabChanged);
  connect(fromChain_, &QComboBox::activated, this, &ChartOptionsDlg::OnChainSelected);
  connect(toChain_, &QComboBox::activated, this, &ChartOptionsDlg::OnChainSelected);
  connect(buttons, &QDialogButtonBox::accepted, this, &ChartOptionsDlg::OnOk);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLayout* ChartOptionsDlg::BuildSeriesControls() {
  auto* form = new QFormLayout;
  show_ = new QCheckBox(QStringLiteral("Show Graph"), this);
  form->addRow(show_);
  thickness_ = Spin(this, 0, 10);  // 0 passes here; leaving the tab needs at least 1
  form->addRow(QStringLiteral("Line Thickness"), thickness_);
  average_ = Spin(this, 1, 500);
  form->addRow(QStringLiteral("Moving Average"), average_);
  auto* colours = new QHBoxLayout;
  red_ = Spin(this, 0, 255);
  green_ = Spin(this, 0, 255);
  blue_ = Spin(this, 0, 255);
  colours->addWidget(red_);
  colours->addWidget(green_);
  colours->addWidget(blue_);
  form->addRow(QStringLiteral("Colour RGB"), colours);
  return form;
}

QWidget* ChartOptionsDlg::BuildResidueAxisControls() {
  auto* group = new QGroupBox(QStringLiteral("X-Axis"), this);
  auto* grid = new QGridLayout(group);
  xUnits_ = new QCheckBox(QStringLiteral("Show Residue Units"), group);
  xInterval_ = Spin(group, 1, 500);
  grid->addWidget(xUnits_, 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Unit Interval"), group), 1, 0);
  grid->addWidget(xInterval_, 1, 1);
  auto* range = new QGroupBox(QStringLiteral("Set Axis Range"), group);
  auto* rangeGrid = new QGridLayout(range);
  xAutomatic_ = new QCheckBox(QStringLiteral("Automatic"), range);
  rangeGrid->addWidget(xAutomatic_, 0, 0, 1, 3);
  rangeGrid->addWidget(new QLabel(QStringLiteral("Chain"), range), 1, 1);
  rangeGrid->addWidget(new QLabel(QStringLiteral("Residue"), range), 1, 2);
  fromChain_ = new QComboBox(range);
  fromChain_->setEditable(true);
  toChain_ = new QComboBox(range);
  toChain_->setEditable(true);
  fromResidue_ = Spin(range, 0, 5000);
  toResidue_ = Spin(range, 0, 10000);
  rangeGrid->addWidget(new QLabel(QStringLiteral("From:"), range), 2, 0);
  rangeGrid->addWidget(fromChain_, 2, 1);
  rangeGrid->addWidget(fromResidue_, 2, 2);
  rangeGrid->addWidget(new QLabel(QStringLiteral("To:"), range), 3, 0);
  rangeGrid->addWidget(toChain_, 3, 1);
  rangeGrid->addWidget(toResidue_, 3, 2);
  grid->addWidget(range, 2, 0, 1, 2);
  return group;
}

QWidget* ChartOptionsDlg::BuildScoreAxisControls() {
  auto* group = new QGroupBox(QStringLiteral("Y-Axis"), this);
  auto* grid = new QGridLayout(group);
  yUnits_ = new QCheckBox(QStringLiteral("Show Score Units"), group);
  yInterval_ = new QDoubleSpinBox(group);
  yInterval_->setRange(0.0, 5.999);
  yInterval_->setDecimals(3);
  yAutomatic_ = new QCheckBox(QStringLiteral("Automatic"), group);
  yMin_ = new QDoubleSpinBox(group);
  yMax_ = new QDoubleSpinBox(group);
  yMin_->setRange(-100, 100);
  yMax_->setRange(-100, 100);
  grid->addWidget(yUnits_, 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Unit Interval"), group), 1, 0);
  grid->addWidget(yInterval_, 1, 1);
  grid->addWidget(yAutomatic_, 2, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("min"), group), 3, 0);
  grid->addWidget(yMin_, 3, 1);
  grid->addWidget(new QLabel(QStringLiteral("max"), group), 4, 0);
  grid->addWidget(yMax_, 4, 1);
  return group;
}

void ChartOptionsDlg::Prepare(const QStringList& chains, ChartOptions* options) {
  chains_ = chains;
  options_ = options;
  loading_ = true;
  tabs_->setCurrentIndex(0);
  loading_ = false;
  current_ = 0;
  FillChainBoxes();
  LoadControls(current_);
  LoadAxisControls();
  // The chains of the horizontal axis's record are picked in the boxes when they are there.
  const ChartAxisOptions& x = options_->axes[0];
  if (x.fromChain != ' ') {
    auto pick = [](QComboBox* box, char chain) {
      box->setCurrentIndex(-1);
      for (int i = 1; i < box->count(); ++i) {
        if (box->itemText(i).startsWith(QChar(chain), Qt::CaseInsensitive)) {
          box->setCurrentIndex(i);
          return;
        }
      }
    };
    pick(fromChain_, x.fromChain);
    pick(toChain_, x.toChain);
  }
}

void ChartOptionsDlg::FillChainBoxes() {
  QStringList items = chains_;
  std::stable_sort(items.begin(), items.end(),
                   [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  for (QComboBox* box : {fromChain_, toChain_}) {
    box->clear();
    box->addItem(QStringLiteral("--"));
    box->addItems(items);
    box->setCurrentIndex(0);
  }
}

void ChartOptionsDlg::LoadControls(int tab) {
  if (options_ == nullptr) return;
  const ChartSeriesOptions& s = options_->series[static_cast<size_t>(tab)];
  show_->setChecked(s.show);
  thickness_->setValue(s.lineThickness);
  average_->setValue(s.movingAverage);
  red_->setValue(s.red);
  green_->setValue(s.green);
  blue_->setValue(s.blue);
}

// The axes' controls are loaded once per showing: they belong to no tab, so changing the
// tab or a chain box keeps what was typed into them.
void ChartOptionsDlg::LoadAxisControls() {
  if (options_ == nullptr) return;
  const ChartAxisOptions& x = options_->axes[0];
  const ChartAxisOptions& y = options_->axes[1];
  xUnits_->setChecked(x.showUnits);
  xAutomatic_->setChecked(x.automatic);
  fromResidue_->setValue(x.fromResidue);
  toResidue_->setValue(x.toResidue);
  xInterval_->setValue(static_cast<int>(x.unitInterval));
  yUnits_->setChecked(y.showUnits);
  yAutomatic_->setChecked(y.automatic);
  yInterval_->setValue(y.unitInterval);
  yMin_->setValue(y.minimum);
  yMax_->setValue(y.maximum);
}

void ChartOptionsDlg::StoreControls(int tab) {
  if (options_ == nullptr) return;
  ChartSeriesOptions& s = options_->series[static_cast<size_t>(tab)];
  s.show = show_->isChecked();
  s.lineThickness = thickness_->value();
  s.movingAverage = average_->value();
  s.red = red_->value();
  s.green = green_->value();
  s.blue = blue_->value();
}

void ChartOptionsDlg::OnTabChanged(int index) {
  if (loading_ || options_ == nullptr || index == current_) return;
  // The tab being left must hold a drawable series; if not, the tab stays, silently.
  ChartSeriesOptions shown;
  shown.lineThickness = thickness_->value();
  shown.movingAverage = average_->value();
  shown.red = red_->value();
  shown.green = green_->value();
  shown.blue = blue_->value();
  if (!IsDrawable(shown)) {
    loading_ = true;
    tabs_->setCurrentIndex(current_);
    loading_ = false;
    return;
  }
  StoreControls(current_);
  current_ = index;
  LoadControls(current_);
}

void ChartOptionsDlg::OnChainSelected() {
  if (options_ == nullptr) return;
  // Choosing a chain means a custom range: the record says so at once, even if the
  // dialog is then cancelled.
  options_->axes[0].automatic = false;
  StoreControls(current_);
  xAutomatic_->setChecked(false);
}

// Whether From..To of a custom range runs backwards: To in an earlier chain than From, or
// in the same chain at a lower number.
bool ChartOptionsDlg::RangeInverted() const {
  const QString from = fromChain_->currentText(), to = toChain_->currentText();
  if (from == QStringLiteral("--") || to == QStringLiteral("--")) return false;
  const qsizetype fromAt = chains_.indexOf(from), toAt = chains_.lastIndexOf(to);
  if (fromAt < 0 || toAt < 0) return false;
  if (from == to) return toResidue_->value() < fromResidue_->value();
  return toAt < fromAt;
}

bool ChartOptionsDlg::HasSelection(const QComboBox* box) {
  const int index = box->currentIndex();
  return index >= 0 && box->currentText() == box->itemText(index);
}

void ChartOptionsDlg::OnOk() {
  if (options_ == nullptr) {
    accept();
    return;
  }
  StoreControls(current_);
  if (!xAutomatic_->isChecked() && fromChain_->count() > 1 &&
      (!HasSelection(fromChain_) || !HasSelection(toChain_))) {
    dialogs_.Message(this, QStringLiteral("Error: Please enter valid chain ID"));
    return;
  }
  // A residue range needs a chain at each end; "--" at both would leave nothing to draw.
  if (!xAutomatic_->isChecked() && fromChain_->currentText() == QStringLiteral("--") &&
      toChain_->currentText() == QStringLiteral("--")) {
    dialogs_.Message(this,
                     QStringLiteral("Error: Choose the chains of the residue range, or tick Automatic"));
    return;
  }
  if (!xAutomatic_->isChecked() && RangeInverted()) {
    dialogs_.Message(this, QString::fromLatin1(kInvertedRangeMessage));
    return;
  }
  if (!yAutomatic_->isChecked() && !(yMax_->value() > yMin_->value())) {
    dialogs_.Message(this, QStringLiteral("Error: The score axis's maximum must lie above its minimum"));
    return;
  }
  ChartAxisOptions& x = options_->axes[0];
  auto firstChar = [](const QComboBox* box) {
    const QString text = box->currentIndex() >= 0 ? box->itemText(box->currentIndex()) : QString();
    return text.isEmpty() ? '\0' : text.at(0).toLatin1();
  };
  x.fromChain = firstChar(fromChain_);
  x.toChain = firstChar(toChain_);
  x.automatic = xAutomatic_->isChecked();
  x.fromResidue = fromResidue_->value();
  x.toResidue = toResidue_->value();
  x.unitInterval = static_cast<float>(xInterval_->value());
  x.showUnits = xUnits_->isChecked();
  ChartAxisOptions& y = options_->axes[1];
  y.showUnits = yUnits_->isChecked();
  y.unitInterval = static_cast<float>(yInterval_->value());
  y.automatic = yAutomatic_->isChecked();
  y.minimum = static_cast<float>(yMin_->value());
  y.maximum = static_cast<float>(yMax_->value());
  showLegend_ = legend_->isChecked();
  accept();
}

}  // namespace tessmol
