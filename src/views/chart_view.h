// The chart pane: scores along the sequence, drawn by the toolkit-free chart code onto
// the screen or a printer. Its right and bottom edges can be dragged; a double-click or
// Chart > Options opens the options.
#pragma once

#include <QAbstractScrollArea>
#include <functional>

#include "chart/chart.h"
#include "document/tessmol_doc.h"
#include "views/chart_options_dlg.h"

class QPagedPaintDevice;

namespace tessmol {

class CChartView : public QAbstractScrollArea {
 public:
  CChartView(CTessmolDoc& doc, DialogService& dialogs, QWidget* parent = nullptr);

  void OnUpdate();        // the document changed
  void OnChartOptions();  // Chart > Options
  // Prints the chart as a figure filling one page: on a printer or into a PDF.
  void Print(QPagedPaintDevice& printer);
  // Writes the chart as a figure into FILE.svg, FILE.png or FILE.pdf.
  FileStatus Export(const std::string& path);

  ChartInput Input();
  const PlotRect& plotRect() const { return plot_; }
  ChartOptions& options() { return options_; }
  ChartOptionsDlg& optionsDialog() { return dialog_; }
  PlotEdge dragMode() const { return dragMode_; }
  QSize scrollSize() const { return scrollSize_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void FirstShow();
  void PlacePlot();
  void SetScrollSize(QSize size);
  QPoint ToLogical(const QPoint& viewPoint) const;
  // A figure's title: the structure's name and the score table.
  std::string FigureTitle() const;

  CTessmolDoc& doc_;
  DialogService& dialogs_;
  ChartOptionsDlg dialog_;
  ChartOptions options_;
  PlotRect plot_;
  QSize scrollSize_;
  bool initialised_ = false;
  bool plotPlaced_ = false;
  PlotEdge dragMode_ = PlotEdge::kNone;
  bool userSized_ = false;  // an edge has been dragged: the plot no longer follows the pane
  bool dragging_ = false;
};

}  // namespace tessmol
