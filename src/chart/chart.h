// The chart of scores along the sequence: a moving-average curve per score series, one
// block per chain side by side, the transmembrane bar along the top, residue ticks, score
// labels and a legend. Everything here is plain computation and drawing calls; the panes,
// the printer and the image writers only supply a DrawingSurface.
#pragma once

#include <string>
#include <vector>

#include "chart/chart_options.h"
#include "chart/drawing_surface.h"
#include "model/protein.h"

namespace tessmol {

struct PlotRect {
  int left = 10, top = 10, right = 10, bottom = 10;
};

// Score range of the vertical axis: the lowest and highest Profiles-3D and KAVELIN scores,
// with 0 always inside.
struct VerticalScale {
  float yMin = 0.0f;
  float yRange = 0.0f;
};
VerticalScale ComputeVerticalScale(const ScoreResult& scores);
// The same, or the score axis's own range when it is not automatic.
VerticalScale ComputeVerticalScale(const ScoreResult& scores, const ChartAxisOptions& scoreAxis);

// The pixel mapping of one drawing: the range's top at the rect's top, its bottom 10
// pixels above the rect's bottom. A range of 0 (all scores 0) maps as a range of 1 so the
// drawing stays finite.
class ChartGeometry {
 public:
  ChartGeometry(const PlotRect& rect, const VerticalScale& scale, int residueCount);
  int Y(double score) const;
  int X(int64_t position) const;  // residue position across the drawn chains
  // The y of the range's top and bottom.
  int TopY() const { return Y(yMin_ + yRange_); }
  int BottomY() const { return Y(yMin_); }
  int residueCount() const { return residueCount_; }

 private:
  PlotRect rect_;
  double yMin_, yRange_;
  int residueCount_;
};

// The chains drawn: all of them, or the custom range of the residue axis.
std::vector<Chain> ChainsToDraw(const Structure& structure, const ChartAxisOptions& residueAxis);

// Moving average of series k (0 solvent, 1 KAVELIN, 2 overall) at every residue of a
// chain, the window cut at the chain's ends.
std::vector<double> MovingAverage(const ScoreResult& scores, const Chain& chain, int series, int window);

// The first characters of a score label: 3 for values of 0 and above, 4 below.
std::string ScoreLabel(double value);

struct ChartInput {
  const Protein* protein = nullptr;  // the structure with its scores and transmembrane flags
  bool structureLoaded = false;
  ChartOptions options;
  bool showLegend = true;
  PlotRect rect;
  // A figure (image files, the printed page) when set: this title above the plot, axis
  // titles, the legend above the plot naming each curve's window, and an automatic score
  // range that fits the curves drawn rather than every single score.
  std::string title;
};

// The range of the moving averages drawn (0 always inside), with a twentieth of it
// added above and below.
VerticalScale ComputeCurveScale(const ScoreResult& scores, const ChartOptions& options,
                                const std::vector<Chain>& chains);

// The input of one drawing of a structure's chart.
ChartInput MakeChartInput(const Protein& protein, bool structureLoaded, const ChartOptions& options,
                          const PlotRect& rect, bool showLegend = true);

inline const char* const kSeriesNames[3] = {"Profiles 3D", "KAVELIN", "Overall"};

void DrawChart(DrawingSurface& surface, const ChartInput& input);

// What the status bar says while the pointer is at x over a pane's chart: the chain,
// residue name and number drawn there and the value of each curve shown (moving
// averages, as drawn); empty off the curves.
std::string HoverText(const ChartInput& input, int x);

// Mouse handling of the plot's edges: which edge or corner is under the point. Only the
// right and bottom edges can be dragged.
enum class PlotEdge { kLeft, kRight, kTop, kBottom, kTopLeft, kTopRight, kBottomRight, kBottomLeft, kNone };
PlotEdge HitTestPlot(const PlotRect& rect, int x, int y);
// Dragging the right edge to x: the plot keeps at least 300 pixels of width. Returns
// whether the scrollable area must grow (then R lies 10 past x).
bool DragRightEdge(PlotRect& rect, int x, int scrollWidth);
// Dragging the bottom edge to y: the plot keeps more than 100 pixels of height. Returns
// whether the scrollable area must grow.
bool DragBottomEdge(PlotRect& rect, int y, int scrollHeight);

}  // namespace tessmol
