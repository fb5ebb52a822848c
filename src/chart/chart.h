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

// The pixel mapping of one drawing: the score range fills the plot rectangle from its
// bottom to its top, the residues drawn fill it from left to right. A range of 0 (all
// scores 0) maps as a range of 1 so the drawing stays finite.
class ChartGeometry {
 public:
  ChartGeometry(const PlotRect& plot, const VerticalScale& scale, int residueCount);
  int Y(double score) const;
  int X(int64_t position) const;  // residue position across the drawn chains
  // The y of the range's top and bottom.
  int TopY() const { return Y(yMin_ + yRange_); }
  int BottomY() const { return Y(yMin_); }
  int residueCount() const { return residueCount_; }
  double yMin() const { return yMin_; }
  double yMax() const { return yMin_ + yRange_; }

 private:
  PlotRect rect_;
  double yMin_, yRange_;
  int residueCount_;
};

// Labelled ticks of the score axis: multiples of a round step (1, 2, 2.5 or 5 times a
// power of ten) within the range drawn, with the decimals that step needs.
struct AxisTicks {
  double step = 0.0;
  int decimals = 0;
  std::vector<double> values;  // ascending
};
// The smallest round step whose labels stay at least `spacing` pixels apart when
// low..high spans `pixels`.
AxisTicks RoundTicks(double low, double high, int pixels, int spacing);
// The multiples of a step the user chose, thinned to every second, fifth, ... multiple
// while labels would come closer than `spacing` pixels.
AxisTicks IntervalTicks(double low, double high, double step, int pixels, int spacing);
// A tick's text: fixed decimals, never "-0.0".
std::string TickLabel(double value, int decimals);

// The name of the structure behind a file name, for titles: without folder and without
// the extensions of structure, result and compressed files (1U19.tsm and 1U19.pdb.gz
// both give 1U19).
std::string StructureName(const std::string& fileName);

// A residue of a segment that dips into the membrane and turns back (a re-entrant loop):
// drawn apart from the segments that cross it. Records without a segment kind have none.
template <typename M>
bool IsReEntrant(const M& membrane) {
  if constexpr (requires { decltype(membrane.kind)::kReEntrant; }) {
    return membrane.kind == decltype(membrane.kind)::kReEntrant;
  } else {
    return false;
  }
}

// The chains drawn: all of them, or the custom range of the residue axis.
std::vector<Chain> ChainsToDraw(const Structure& structure, const ChartAxisOptions& residueAxis);

// Moving average of series k (0 solvent, 1 KAVELIN, 2 overall) at every residue of a
// chain, the window cut at the chain's ends. For a range drawn out of a chain, `within` is
// the whole chain: the window reaches past the range's ends as far as the chain's, so a
// zoomed chart plots the values of the whole one.
std::vector<double> MovingAverage(const ScoreResult& scores, const Chain& chain, int series, int window,
                                  const Chain* within = nullptr);
// The structure's chain that holds a drawn range (the range itself when none does).
Chain ChainHolding(const Structure& structure, const Chain& range);

// What the command line picks for drawing beside the options' own range: chains by name
// (empty: all) and residue numbers from..to within them.
struct ChartSelection {
  std::vector<std::string> chains;
  bool hasRange = false;
  int32_t fromResSeq = 0, toResSeq = 0;
};

// The ranges drawn once the selection has been applied to the options' ranges: chains not
// named drop out, and a residue range keeps each run of residues numbered within it
// (a run ends where the numbering leaves the range, as 2RH1's lysozyme insert does).
std::vector<Chain> SelectRanges(const Structure& structure, const std::vector<Chain>& ranges,
                                const ChartSelection& selection);

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
  ChartSelection selection;
};

// Where each part of a chart lies. The frame is the pane's plot rectangle (or, for a
// figure, what the title and legend above leave of the page); inside it the track rows
// (transmembrane segments, secondary structure, the placed membrane, a predicted model's
// confidence, the stretches below the 3D-1D window test) run along the top,
// the score labels to the left of the plot, and below the plot the residue numbers, the
// chain names and the axis title each have a band of their own.
struct ChartLayout {
  PlotRect frame;
  PlotRect plot;  // the curves: the score axis is its left edge, the residue axis its bottom
  int tmRow = 0, ssRow = 0;
  int membraneRow = -1;    // -1: no placed membrane
  int confidenceRow = -1;  // -1: no pLDDT (an experimental structure)
  int windowTestRow = -1;  // -1: no scores to test (nothing loaded)
  int residueLabelTop = 0, chainLabelTop = 0, axisTitleTop = 0;
};
ChartLayout LayoutChart(const ChartInput& input, int headerHeight);

// The ranges a chart of this input draws: the options' ranges with the selection applied.
std::vector<Chain> DrawnRanges(const ChartInput& input);
// The score range a chart of this input draws over these ranges.
VerticalScale ScaleOfChart(const ChartInput& input, const std::vector<Chain>& ranges);

// The range of the moving averages drawn (0 always inside), with a twentieth of it
// added above and below.
VerticalScale ComputeCurveScale(const ScoreResult& scores, const ChartOptions& options,
                                const std::vector<Chain>& chains);

// The input of one drawing of a structure's chart.
ChartInput MakeChartInput(const Protein& protein, bool structureLoaded, const ChartOptions& options,
                          const PlotRect& rect, bool showLegend = true);

inline const char* const kSeriesNames[3] = {"Profiles 3D", "KAVELIN", "Overall"};

// Pens of the tracks above the plot.
inline constexpr Pen kTransmembranePen{3, 0, 0, 0};
inline constexpr Pen kReEntrantPen{3, 0, 150, 150};
// An N-terminal signal peptide (Spanner2D), on the segments' row: cleaved, no segment.
inline constexpr Pen kSignalPeptidePen{3, 30, 150, 60};
inline constexpr Pen kHelixPen{6, 210, 40, 140};
inline constexpr Pen kStrandPen{6, 240, 170, 0};
// Grey, so that the slab keeps apart from the confidence row's light blue below it.
inline constexpr Pen kMembranePen{6, 165, 165, 165};
// A predicted model's confidence in the four bands AlphaFold draws: pLDDT of at least 90,
// 70 to 90, 50 to 70 and below 50.
inline constexpr Pen kPlddtVeryHighPen{6, 0x00, 0x53, 0xD6};
inline constexpr Pen kPlddtConfidentPen{6, 0x65, 0xCB, 0xF3};
inline constexpr Pen kPlddtLowPen{6, 0xFF, 0xDB, 0x13};
inline constexpr Pen kPlddtVeryLowPen{6, 0xFF, 0x7D, 0x45};
// Residues whose 3D-1D window average falls below the pass score: purple, clear of
// the curves' default blue and red and of every colour above.
inline constexpr Pen kBelowWindowTestPen{6, 120, 40, 160};

// The band of a pLDDT value: 0 very high, 1 confident, 2 low, 3 very low.
int PlddtBand(float plddt);
inline constexpr Pen kPlddtPens[4] = {kPlddtVeryHighPen, kPlddtConfidentPen, kPlddtLowPen, kPlddtVeryLowPen};
inline const char* const kPlddtBandNames[4] = {"pLDDT >= 90", "pLDDT 70-90", "pLDDT 50-70", "pLDDT < 50"};
inline constexpr const char* kBelowWindowTestName = "Below the 3D-1D window test (< 0.2 over 21 residues)";

// Draws the chart and returns where its parts went.
ChartLayout DrawChart(DrawingSurface& surface, const ChartInput& input);

// What the status bar says while the pointer is at x over a pane's chart: the chain,
// residue name and number drawn there, the value of each curve shown (moving averages,
// as drawn) and the residue's tracks (helix or strand, transmembrane, a model's pLDDT, below
// the 3D-1D window test); empty off the curves.
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
