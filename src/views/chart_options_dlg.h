// "Chart Options": the three score series (one tab each), the residue and score axes and
// the legend. Edits go straight into the chart view's records, as the tabs are left.
#pragma once

#include <QDialog>
#include <QStringList>

#include "chart/chart_options.h"
#include "views/dialog_service.h"

class QCheckBox;
class QGroupBox;
class QComboBox;
class QLayout;
class QDoubleSpinBox;
class QSpinBox;
class QTabBar;

namespace tessmol {

inline constexpr const char* kInvertedRangeMessage =
    "Error: The residue range runs backwards: To must not come before From";

class ChartOptionsDlg : public QDialog {
 public:
  ChartOptionsDlg(DialogService& dialogs, QWidget* parent = nullptr);

  // Before each showing: the chain identifiers offered and the records to edit.
  void Prepare(const QStringList& chains, ChartOptions* options);
  bool showLegend() const { return showLegend_; }

  // The dialog's events, callable by tests.
  void OnTabChanged(int index);
  void OnChainSelected();
  void OnOk();

  QTabBar* tabs() const { return tabs_; }
  QCheckBox* showGraph() const { return show_; }
  QSpinBox* lineThickness() const { return thickness_; }
  QSpinBox* movingAverage() const { return average_; }
  QComboBox* fromChain() const { return fromChain_; }
  QComboBox* toChain() const { return toChain_; }
  QCheckBox* xAutomatic() const { return xAutomatic_; }
  QCheckBox* legendBox() const { return legend_; }
  QSpinBox* fromResidue() const { return fromResidue_; }
  QSpinBox* toResidue() const { return toResidue_; }
  QGroupBox* axesGroup() const { return axes_; }

 private:
  QLayout* BuildSeriesControls();
  QWidget* BuildResidueAxisControls();
  QWidget* BuildScoreAxisControls();
  void LoadControls(int tab);
  void LoadAxisControls();
  bool RangeInverted() const;
  void StoreControls(int tab);
  void FillChainBoxes();
  static bool HasSelection(const QComboBox* box);

  DialogService& dialogs_;
  ChartOptions* options_ = nullptr;
  QStringList chains_;
  int current_ = 0;
  bool showLegend_ = true;
  bool loading_ = false;

  QTabBar* tabs_;
  QGroupBox* axes_;
  QCheckBox* show_;
  QSpinBox* thickness_;
  QSpinBox* average_;
  QSpinBox* red_;
  QSpinBox* green_;
  QSpinBox* blue_;
  QCheckBox* xUnits_;
  QSpinBox* xInterval_;
  QCheckBox* xAutomatic_;
  QComboBox* fromChain_;
  QSpinBox* fromResidue_;
  QComboBox* toChain_;
  QSpinBox* toResidue_;
  QCheckBox* yUnits_;
  QDoubleSpinBox* yInterval_;
  QCheckBox* yAutomatic_;
  QDoubleSpinBox* yMin_;
  QDoubleSpinBox* yMax_;
  QCheckBox* legend_;
};

}  // namespace tessmol
