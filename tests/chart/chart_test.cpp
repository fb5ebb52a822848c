#include "chart/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "base/text.h"
#include "chart/recording_surface.h"
#include "chart/svg_surface.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::Label;
using test::RecordingSurface;
using test::Segment;

Protein Ramp(int n, char chain = 'A', float base = 0.0f) {
  Protein p;
  for (int i = 0; i < n; ++i) {
    p.structure.residues.push_back(Residue("ALA", i + 1, chain));
    ResidueScore r;
    r.solventScore = base + float(i);
    r.kavelinScore = base - float(i) / 2;
    r.overallScore = r.solventScore;
    p.scores.residues.push_back(r);
  }
  p.structure.chains.push_back({0, n - 1, chain});
  p.surface.residues.resize(p.structure.residues.size());
  p.transmembrane = TransmembraneResult::None(p.structure.residues.size());
  return p;
}

TEST(ChartMath, MovingAveragesAreCutAtChainEnds) {
  const Protein ramp = Ramp(30);
  const ScoreResult& s = ramp.scores;
  const Chain& c = ramp.structure.chains[0];
  const auto raw = MovingAverage(s, c, 0, 1);
  for (int i = 0; i < 30; ++i) EXPECT_DOUBLE_EQ(raw[i], i);
  // A window of 10: five behind, the residue, four ahead. Scores 0..29 at residue 15: 10..19.
  EXPECT_DOUBLE_EQ(MovingAverage(s, c, 0, 10)[15], (10 + 19) / 2.0);
  // A window of 11 at the first residue: the residue and the five ahead.
  EXPECT_DOUBLE_EQ(MovingAverage(s, c, 0, 11)[0], (0 + 1 + 2 + 3 + 4 + 5) / 6.0);
  // At the last residue of a chain nothing from beyond it is taken.
  EXPECT_DOUBLE_EQ(MovingAverage(s, c, 0, 3)[29], (28 + 29) / 2.0);
  EXPECT_DOUBLE_EQ(MovingAverage(s, c, 1, 1)[4], -2.0);
  EXPECT_DOUBLE_EQ(MovingAverage(s, c, 0, 0)[7], 7.0);  // a window below 1 is a window of 1
}

// A range drawn out of a chain (a zoom) averages over the chain's residues beyond the
// range's ends, so each residue keeps the value the whole chart gives it.
TEST(ChartMath, AZoomedRangeKeepsTheWholeChainsAverages) {
  const Protein ramp = Ramp(30);
  const ScoreResult& s = ramp.scores;
  const Chain& whole = ramp.structure.chains[0];
  const Chain zoom{10, 14, 'A'};
  EXPECT_EQ(ChainHolding(ramp.structure, zoom).lastResidue, 29);
  const auto zoomed = MovingAverage(s, zoom, 0, 10, &whole);
  const auto full = MovingAverage(s, whole, 0, 10);
  ASSERT_EQ(zoomed.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(zoomed[i], full[10 + i]);
  EXPECT_DOUBLE_EQ(zoomed[0], (5 + 14) / 2.0);  // residues 5..14, by hand
  // Without the chain the window is cut at the range: residue 10 averages 10..14 alone.
  EXPECT_DOUBLE_EQ(MovingAverage(s, zoom, 0, 10)[0], 12.0);
}

TEST(ChartMath, VerticalScaleAndPixels) {
  ScoreResult s = Ramp(5, 'A', 1.0f).scores;
  for (ResidueScore& r : s.residues) r.kavelinScore = 2.0f;
  const VerticalScale scale = ComputeVerticalScale(s);
  EXPECT_EQ(scale.yMin, 0.0f);  // all scores positive: the bottom is 0
  EXPECT_EQ(scale.yRange, 5.0f);
  const PlotRect rect{10, 10, 510, 310};
  const ChartGeometry g(rect, scale, 100);
  EXPECT_EQ(g.Y(0.0), 310);  // the range fills the plot rectangle
  EXPECT_EQ(g.Y(5.0), 10);
  EXPECT_EQ(g.X(0), 10);
  EXPECT_EQ(g.X(50), 260);
  // A flat structure has no range: it maps as a range of 1 instead of dividing by 0.
  const ChartGeometry flat(rect, VerticalScale{0.0f, 0.0f}, 0);
  EXPECT_EQ(flat.Y(0.0), 310);
  EXPECT_EQ(flat.X(7), 10);
}

TEST(ChartMath, CustomRangesOfTheResidueAxis) {
  Structure s = Ramp(10, 'A').structure;
  const Structure b = Ramp(10, 'B').structure;
  for (Residue r : b.residues) s.residues.push_back(r);
  s.chains.push_back({10, 19, 'B'});
  ChartAxisOptions axis;
  axis.automatic = false;
  axis.fromChain = 'A';
  axis.fromResidue = 4;
  axis.toChain = 'B';
  axis.toResidue = 3;
  const auto ranges = ChainsToDraw(s, axis);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].firstResidue, 3);  // residue number 4 of chain A
  EXPECT_EQ(ranges[0].lastResidue, 9);
  EXPECT_EQ(ranges[1].chainId, 'B');
  EXPECT_EQ(ranges[1].firstResidue, 10);
  EXPECT_EQ(ranges[1].lastResidue, 12);  // residue number 3 of chain B
  // The To residue never found: ranges closed by a change of chain stay, the open one goes.
  axis.toResidue = 99;
  ASSERT_EQ(ChainsToDraw(s, axis).size(), 1u);
  EXPECT_EQ(ChainsToDraw(s, axis)[0].lastResidue, 9);
  EXPECT_TRUE(ChainsToDraw(Ramp(10, 'B').structure, axis).empty());
  axis.automatic = true;
  EXPECT_EQ(ChainsToDraw(s, axis).size(), 2u);
}

ChartInput Input(const Protein& p) {
  ChartInput in;
  in.protein = &p;
  in.structureLoaded = true;
  in.options = DefaultChartOptions();
  in.rect = {10, 10, 610, 410};
  return in;
}

TEST(ChartDrawing, NothingButTheFrameWithoutAStructure) {
  const Protein s = Ramp(20);
  ChartInput in = Input(s);
  in.structureLoaded = false;
  RecordingSurface surface;
  DrawChart(surface, in);
  EXPECT_EQ(surface.segments.size(), 4u);
  EXPECT_TRUE(surface.labels.empty());
  // A custom range that is never found: frame, zero line and axis only.
  in.structureLoaded = true;
  in.options.axes[0].automatic = false;
  in.options.axes[0].fromChain = 'A';
  in.options.axes[0].toChain = 'Z';
  in.showLegend = false;
  RecordingSurface custom;
  DrawChart(custom, in);
  EXPECT_EQ(custom.segments.size(), 6u);
  EXPECT_TRUE(custom.labels.empty());
}

TEST(ChartDrawing, CurvesBarTicksLabelsAndLegend) {
  Protein s = Ramp(60);
  for (int i = 20; i < 30; ++i) s.transmembrane.residues[i].transmembrane = true;
  ChartInput in = Input(s);
  RecordingSurface surface;
  DrawChart(surface, in);
  const Pen blue{1, 0, 0, 255}, red{1, 255, 0, 0};
  int blueSegments = 0, redSegments = 0, bar = 0;
  for (const Segment& seg : surface.segments) {
    if (seg.pen == blue) ++blueSegments;
    if (seg.pen == red) ++redSegments;
    if (seg.pen == kTransmembranePen) {
      ++bar;
      EXPECT_EQ(seg.y1, 20);  // T + 10
    }
  }
  EXPECT_EQ(blueSegments, 59 + 1);  // the curve and its legend line
  EXPECT_EQ(redSegments, 59 + 1);
  EXPECT_EQ(bar, 1);  // one run of ten residues
  bool chainLabel = false, tick20 = false, tick40 = false;
  std::vector<std::string> legend;
  for (const Label& l : surface.labels) {
    if (l.text == " Chain A -->") chainLabel = true;
    if (l.text == "20") tick20 = true;
    if (l.text == "40") tick40 = true;
    if (l.text == "KAVELIN" || l.text == "Profiles 3D" || l.text == "Overall") legend.push_back(l.text);
  }
  EXPECT_TRUE(chainLabel);
  EXPECT_TRUE(tick20 && tick40);
  EXPECT_EQ(legend, (std::vector<std::string>{"KAVELIN", "Profiles 3D"}));  // overall hidden by default
  // Hide KAVELIN: the Profiles-3D entry closes up to the bottom place.
  in.options.series[1].show = false;
  RecordingSurface fewer;
  const ChartLayout layout = DrawChart(fewer, in);
  for (const Label& l : fewer.labels) {
    if (l.text == "Profiles 3D") {
      EXPECT_EQ(l.y, layout.plot.bottom - 28);
    }
    EXPECT_NE(l.text, "KAVELIN");
  }
}

// Every residue label stands where its residue is drawn, shows a number of that chain,
// and no two labels overlap (widths as the surface measures them).
TEST(ChartDrawing, ResidueLabelsSitOnTheirResidues) {
  for (const char* name : {"1U19.pdb", "4HHB.pdb", "2JO4.pdb"}) {
    SCOPED_TRACE(name);
    Protein read;
    read.structure = test::ReadPdb(test::DataPath(name)).structure;
    read.ClearResults();
    const Structure& s = read.structure;
    ChartInput in = Input(read);
    in.rect = {10, 10, 1190, 590};
    RecordingSurface surface;
    const ChartLayout layout = DrawChart(surface, in);
    const ChartGeometry g(layout.plot, ComputeVerticalScale(read.scores),
                          static_cast<int>(s.residues.size()));
    int labels = 0, lastRight = -1000000;
    for (const Label& l : surface.labels) {
      if (l.y != layout.residueLabelTop) continue;  // residue labels only
      ++labels;
      bool found = false;
      for (size_t i = 0; i < s.residues.size() && !found; ++i) {
        found = std::to_string(s.residues[i].resSeq) == l.text &&
                std::abs(g.X(static_cast<int64_t>(i)) - l.x) <= 1;
      }
      EXPECT_TRUE(found) << l.text << " at " << l.x;
      const int half = surface.TextWidth(l.text) / 2;
      EXPECT_GT(l.x - half, lastRight) << l.text;
      lastRight = l.x + half;
    }
    EXPECT_GE(labels, 3);
  }
}

TEST(ChartDrawing, TheScoreRangeOfTheOptionsIsTheAxis) {
  const Protein s = Ramp(30);
  ChartInput in = Input(s);
  in.options.axes[1].automatic = false;
  in.options.axes[1].minimum = -2.0f;
  in.options.axes[1].maximum = 4.0f;
  const ChartLayout layout = LayoutChart(in, 0);
  const ChartGeometry g(layout.plot, ScaleOfChart(in, DrawnRanges(in)), 30);
  EXPECT_EQ(g.BottomY(), layout.plot.bottom);  // -2 at the bottom
  EXPECT_EQ(g.Y(4.0), layout.plot.top);        // 4 at the top
  RecordingSurface surface;
  DrawChart(surface, in);
  for (const Segment& seg : surface.segments) {  // scores up to 29 stay inside the plot
    EXPECT_GE(seg.y2, in.rect.top);
  }
  // Labels at the interval of the options (1.0, every second one where they would crowd).
  std::vector<std::string> labels;
  for (const Label& l : surface.labels)
    if (l.align == TextAlign::kRightMiddle) labels.push_back(l.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"-2", "-1", "0", "1", "2", "3", "4"}));
}

TEST(ChartDrawing, FiguresCarryTitlesAndFitTheirCurves) {
  const Protein s = Ramp(60);
  ChartInput in = Input(s);
  in.title = "ramp.pdb  (Default.stb)";
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, in);
  std::set<std::string> texts;
  for (const Label& l : surface.labels) texts.insert(l.text);
  for (const char* expected : {"ramp.pdb  (Default.stb)", "Residue", "Score, moving average of 10",
                               "Profiles 3D, window 10", "KAVELIN, window 10"}) {
    EXPECT_TRUE(texts.count(expected)) << expected;
  }
  EXPECT_FALSE(texts.count("Profiles 3D"));  // no second legend inside the plot
  // The curves fill the plot from top to bottom: the range is theirs, not the raw scores'
  // (up to 59 here, where the averages of 10 reach 54.5).
  int top = 1 << 30, bottom = -(1 << 30);
  for (const Segment& seg : surface.segments) {
    if (seg.pen.width != in.options.series[0].lineThickness || seg.pen.red != in.options.series[0].red ||
        seg.pen.blue != in.options.series[0].blue || seg.pen.green != in.options.series[0].green ||
        std::min(seg.y1, seg.y2) <= layout.frame.top)  // the legend's sample above the frame
      continue;
    top = std::min({top, seg.y1, seg.y2});
    bottom = std::max({bottom, seg.y1, seg.y2});
  }
  const int plotTop = layout.plot.top, plotBottom = layout.plot.bottom;
  EXPECT_LE(top - plotTop, (plotBottom - plotTop) / 15);
  EXPECT_GE(top, plotTop);
  // KAVELIN's averages reach about -27 and set the bottom of the range.
  int lowest = -(1 << 30);
  for (const Segment& seg : surface.segments)
    if (seg.pen.red == in.options.series[1].red && seg.pen.blue == in.options.series[1].blue)
      lowest = std::max({lowest, seg.y1, seg.y2});
  EXPECT_LE(lowest, plotBottom);
  EXPECT_GE(lowest, plotBottom - (plotBottom - plotTop) / 15);
  EXPECT_GT(bottom, plotTop);
}

TEST(ChartDrawing, HoverNamesTheResidueDrawnUnderThePointer) {
  Protein s = Ramp(30);
  s.transmembrane.residues[5].transmembrane = true;
  const ChartInput in = Input(s);
  const ChartGeometry g(LayoutChart(in, 0).plot, ComputeVerticalScale(s.scores, in.options.axes[1]), 30);
  const Chain& chain = s.structure.chains[0];
  const std::string expected = "Chain A  ALA 6  Profiles 3D " +
                               FormatFixed(MovingAverage(s.scores, chain, 0, 10)[5], 3) + "  KAVELIN " +
                               FormatFixed(MovingAverage(s.scores, chain, 1, 10)[5], 3) + "  transmembrane";
  EXPECT_EQ(HoverText(in, g.X(5)), expected);
  // Halfway to the next residue, the nearer one.
  EXPECT_EQ(HoverText(in, g.X(5) + (g.X(6) - g.X(5)) / 2 - 1).substr(0, 14), "Chain A  ALA 6");
  EXPECT_EQ(HoverText(in, g.X(6) - 1).substr(0, 14), "Chain A  ALA 7");
  EXPECT_EQ(HoverText(in, g.X(0) - 5), "");
  s.structure.residues[5].secStruct = SecondaryStructure::kHelix;
  EXPECT_EQ(HoverText(in, g.X(5)), expected.substr(0, expected.size() - 15) + "  helix  transmembrane");
  EXPECT_EQ(HoverText(in, g.X(30) + 5), "");
}

// The command line's --chart-range on a chart with a fixed score axis: the zoomed curve
// passes through the whole chart's values, and the hover names them too.
TEST(ChartDrawing, AZoomedChartPlotsTheWholeChartsValues) {
  const Protein s = Ramp(40);
  ChartInput in = Input(s);
  in.options.axes[1].automatic = false;
  in.selection.hasRange = true;
  in.selection.fromResSeq = 11;
  in.selection.toResSeq = 15;
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, in);
  const ChartGeometry g(layout.plot, ComputeVerticalScale(s.scores, in.options.axes[1]), 5);
  const auto full = MovingAverage(s.scores, s.structure.chains[0], 0, in.options.series[0].movingAverage);
  std::vector<std::pair<int, int>> drawn;  // the curve's lines (the legend's sample lies beside)
  for (const Segment& seg : surface.segments)
    if (seg.pen.red == in.options.series[0].red && seg.pen.green == in.options.series[0].green &&
        seg.pen.blue == in.options.series[0].blue && seg.pen.width == in.options.series[0].lineThickness &&
        seg.x2 == g.X(static_cast<int64_t>(drawn.size()) + 1))
      drawn.push_back({seg.x1, seg.y1});
  ASSERT_EQ(drawn.size(), 4u);  // five points, four lines
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(drawn[static_cast<size_t>(i)].first, g.X(i));
    EXPECT_EQ(drawn[static_cast<size_t>(i)].second, g.Y(full[10 + i])) << i;
  }
  EXPECT_NE(HoverText(in, g.X(0)).find("Profiles 3D " + FormatFixed(full[10], 3)), std::string::npos);
}

// Small chains beside a large one (GroES beside GroEL) keep their names: the full label
// where it fits, else the name alone, never on top of another.
TEST(ChartDrawing, EveryChainIsNamedWithoutOverlap) {
  Protein p = Ramp(2000, 'A');
  for (char id = 'B'; id <= 'F'; ++id) {
    const Protein small = Ramp(45, id);
    const int32_t first = static_cast<int32_t>(p.structure.residues.size());
    for (size_t i = 0; i < small.structure.residues.size(); ++i) {
      p.structure.residues.push_back(small.structure.residues[i]);
      p.scores.residues.push_back(small.scores.residues[i]);
    }
    p.structure.chains.push_back({first, first + 44, id});
  }
  p.surface.residues.resize(p.structure.residues.size());
  p.transmembrane = TransmembraneResult::None(p.structure.residues.size());
  const ChartInput in = Input(p);
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, in);
  std::vector<test::Box> boxes;
  std::string named;
  for (const Label& l : surface.labels) {
    if (l.y != layout.chainLabelTop) continue;
    boxes.push_back(surface.BoxOf(l));
    const size_t start = l.text.find_first_not_of(" "), end = l.text.find(" -->");
    if (l.text.rfind(" Chain ", 0) == 0)
      named += l.text.substr(7, end - 7);
    else
      named += l.text.substr(start);
  }
  EXPECT_EQ(named, "ABCDEF");
  for (size_t a = 0; a < boxes.size(); ++a)
    for (size_t b = a + 1; b < boxes.size(); ++b) EXPECT_FALSE(boxes[a].Overlaps(boxes[b])) << a << " " << b;
}

// A residue range that leaves out an insert numbered apart (2RH1's lysozyme, 1002-1161
// between 230 and 263) cuts its chain in two drawn pieces: one chain, named once, no chain
// separator between them, and the numbering's jump marked by slashes as within a piece.
TEST(ChartDrawing, ARangeAroundAnInsertIsOneChainWithAJump) {
  Protein p = Ramp(60);
  for (int i = 0; i < 60; ++i) p.structure.residues[i].resSeq = i < 20 ? i + 1 : i < 40 ? 981 + i : i - 19;
  ChartInput in = Input(p);
  in.selection.hasRange = true;
  in.selection.fromResSeq = 1;
  in.selection.toResSeq = 40;
  ASSERT_EQ(DrawnRanges(in).size(), 2u);
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, in);
  int names = 0;
  for (const Label& l : surface.labels) names += l.y == layout.chainLabelTop;
  EXPECT_EQ(names, 1);
  const ChartGeometry g(layout.plot, ComputeVerticalScale(p.scores, in.options.axes[1]), 40);
  const int gap = (g.X(20) + g.X(19)) / 2;
  int separators = 0, slashes = 0;
  for (const Segment& seg : surface.segments) {
    separators += seg.x1 == seg.x2 && seg.x1 == g.X(20) && seg.y1 == layout.plot.top;
    slashes += seg.x1 == gap - 4 && seg.x2 == gap - 1 && seg.y1 == layout.plot.bottom + 5;
  }
  EXPECT_EQ(separators, 0);
  EXPECT_EQ(slashes, 1);
}

TEST(ChartDrawing, DegenerateOptionsStayFinite) {
  Protein flat = Ramp(10);
  for (ResidueScore& r : flat.scores.residues) r.solventScore = r.kavelinScore = r.overallScore = 0.0f;
  ChartInput in = Input(flat);
  in.options.axes[0].unitInterval = 0.0f;  // no multiples of 0
  in.options.axes[1].unitInterval = 0.0f;  // labels would never advance
  RecordingSurface surface;
  DrawChart(surface, in);
  for (const Segment& seg : surface.segments) {
    EXPECT_LT(std::abs(seg.y1), 1000);
    EXPECT_LT(std::abs(seg.y2), 1000);
  }
  // Units beyond any residue number (once undefined behaviour, from an options file).
  for (float unit : {1e30f, 5e18f, 3e9f}) {
    in.options.axes[0].unitInterval = unit;
    RecordingSurface huge;
    const ChartLayout layout = DrawChart(huge, in);
    for (const Label& l : huge.labels) EXPECT_NE(l.y, layout.residueLabelTop) << unit << " " << l.text;
  }
  // A huge residue count makes the tick step truncate to 0 pixels: no endless loop.
  Protein long_ = Ramp(5000);
  in = Input(long_);
  in.options.axes[0].unitInterval = 1.0f;
  RecordingSurface ticks;
  DrawChart(ticks, in);
  EXPECT_LT(ticks.labels.size(), 20000u);
  // A tiny score interval is bounded too.
  in.options.axes[1].unitInterval = 1e-6f;
  in.options.axes[1].automatic = false;
  in.options.axes[1].minimum = -10.0f;
  in.options.axes[1].maximum = 10.0f;
  RecordingSurface labels;
  DrawChart(labels, in);
  std::set<int> rows;
  for (const Label& l : labels.labels) {
    if (l.align != TextAlign::kRightMiddle) continue;
    EXPECT_TRUE(rows.insert(l.y).second) << "two score labels on row " << l.y;
  }
  EXPECT_GT(rows.size(), 1u);
  EXPECT_LE(rows.size(), static_cast<size_t>(in.rect.bottom - in.rect.top));
  // No chains at all.
  Protein none;
  none.structure.residues.push_back(Residue("ALA", 1, 'A'));
  none.ClearResults();
  in = Input(none);
  RecordingSurface empty;
  DrawChart(empty, in);
  EXPECT_EQ(empty.segments.size(), 6u);  // the frame and the two axes
  EXPECT_TRUE(empty.labels.empty());
}

TEST(ChartMouse, EdgesCornersAndDragLimits) {
  const PlotRect r{10, 10, 610, 410};
  EXPECT_EQ(HitTestPlot(r, 611, 9), PlotEdge::kTopRight);
  EXPECT_EQ(HitTestPlot(r, 10, 410), PlotEdge::kBottomLeft);
  EXPECT_EQ(HitTestPlot(r, 11, 11), PlotEdge::kTopLeft);
  EXPECT_EQ(HitTestPlot(r, 609, 409), PlotEdge::kBottomRight);
  EXPECT_EQ(HitTestPlot(r, 613, 200), PlotEdge::kRight);
  EXPECT_EQ(HitTestPlot(r, 12, 200), PlotEdge::kNone);  // the left edge allows only 2 pixels
  EXPECT_EQ(HitTestPlot(r, 11, 200), PlotEdge::kLeft);
  EXPECT_EQ(HitTestPlot(r, 300, 13), PlotEdge::kTop);
  EXPECT_EQ(HitTestPlot(r, 300, 411), PlotEdge::kBottom);
  EXPECT_EQ(HitTestPlot(r, 300, 200), PlotEdge::kNone);
  PlotRect d = r;
  EXPECT_FALSE(DragRightEdge(d, 309, 2000));  // less than 300 from the left edge
  EXPECT_EQ(d.right, 610);
  EXPECT_FALSE(DragRightEdge(d, 310, 2000));
  EXPECT_EQ(d.right, 310);
  EXPECT_TRUE(DragRightEdge(d, 1990, 2000));  // near the end of the scroll area: it grows
  EXPECT_EQ(d.right, 2000);
  EXPECT_FALSE(DragBottomEdge(d, 110, 2000));  // 100 below the top: unchanged
  EXPECT_EQ(d.bottom, 410);
  EXPECT_FALSE(DragBottomEdge(d, 111, 2000));
  EXPECT_EQ(d.bottom, 111);
  EXPECT_TRUE(DragBottomEdge(d, 1980, 2000));
  EXPECT_EQ(d.bottom, 121);
}

class ChartOptionsFile : public testing::Test {
 protected:
  test::ScratchFolder scratch;
  std::string Write(const std::string& text) {
    std::ofstream("opts.opt", std::ios::binary) << text;
    return "opts.opt";
  }
};

TEST_F(ChartOptionsFile, AMissingFileIsCreatedWithTheDefaults) {
  ChartOptions options;
  options.series[0].red = 99;
  RecordingFeedback feedback;
  ASSERT_TRUE(LoadChartOptions("new.opt", options, feedback));
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0],
            "File Error:\tCan not find chart options file 'new.opt'\n\tCreating file with default values");
  std::ifstream in("new.opt", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), DefaultChartOptionsText());
  EXPECT_EQ(options.series[0].blue, 255);  // Profiles-3D blue
  EXPECT_EQ(options.series[0].red, 0);
  EXPECT_EQ(options.series[1].red, 255);  // KAVELIN red
  EXPECT_FALSE(options.series[2].show);   // overall hidden
  EXPECT_EQ(options.axes[0].unitInterval, 20.0f);
  EXPECT_EQ(options.axes[1].unitInterval, 1.0f);
  EXPECT_EQ(options.axes[0].fromChain, ' ');
  // A folder where the file should be: it can be neither read nor made.
  std::filesystem::create_directory("dir.opt");
  RecordingFeedback failing;
  EXPECT_FALSE(LoadChartOptions("no/such/dir/x.opt", options, failing));
  EXPECT_EQ(failing.messages.size(), 3u);
  EXPECT_EQ(failing.messages[1], "Error: Couldn't create file: No such file or directory");
  EXPECT_EQ(failing.messages[2],
            "Error - Chart may not initialise properly\nplease shut down program and re-open");
}

TEST_F(ChartOptionsFile, RecordsKeysAndShortFiles) {
  ChartOptions options = DefaultChartOptions();
  SilentFeedback quiet;
  ASSERT_TRUE(LoadChartOptions(Write("junk\noverall\n1\nOVERALL\r\n1\n4\n3\n10\n20\n30\n"), options, quiet));
  EXPECT_TRUE(options.series[2].show);
  EXPECT_EQ(options.series[2].lineThickness, 4);
  EXPECT_EQ(options.series[2].blue, 30);
  EXPECT_EQ(options.series[0].blue, 255);  // untouched
  ASSERT_TRUE(LoadChartOptions(Write("XAXIS\n0\n5.5\n0\n12\n80\n\nB\n"), options, quiet));
  EXPECT_FALSE(options.axes[0].showUnits);
  EXPECT_EQ(options.axes[0].unitInterval, 5.5f);
  EXPECT_EQ(options.axes[0].fromChain, '\0');  // an empty line
  EXPECT_EQ(options.axes[0].toChain, 'B');
  EXPECT_EQ(options.axes[0].minimum, 0.0f);  // cut short: empty lines
}

// The shipped options file with one value line replaced: a number that is no finite
// value within its range refuses the whole file with its line, and the options stay as
// they were; a line without a number still reads as 0.
TEST_F(ChartOptionsFile, ValuesThatAreNoNumberWithinTheirRangeRefuseTheFile) {
  std::vector<std::string> lines;
  {
    std::ifstream in(test::ProgramFolder() + kChartOptionsFile, std::ios::binary);
    for (std::string line; ReadLine(in, line);) lines.push_back(line);
  }
  const size_t yaxis = std::find(lines.begin(), lines.end(), "YAXIS") - lines.begin();
  ASSERT_LT(yaxis + 9, lines.size());
  auto load = [&](size_t number, const std::string& value, ChartOptions& options,
                  RecordingFeedback& feedback) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i + 1 == number ? value : lines[i]) + "\n";
    return LoadChartOptions(Write(text), options, feedback);
  };
  const size_t interval = yaxis + 3, maximum = yaxis + 10, thickness = 3;  // lines from 1
  const ChartOptions defaults = DefaultChartOptions();
  for (const auto& [line, bad] : std::vector<std::pair<size_t, std::string>>{{interval, "inf"},
                                                                             {interval, "nan"},
                                                                             {maximum, "-inf"},
                                                                             {maximum, "1e400"},
                                                                             {maximum, "2e6"},
                                                                             {thickness, "99999999999"}}) {
    SCOPED_TRACE(bad);
    ChartOptions options = defaults;
    options.axes[1].maximum = 7.0f;
    RecordingFeedback feedback;
    EXPECT_FALSE(load(line, bad, options, feedback));
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0].rfind(
                  "Error: format error in opts.opt on line " + std::to_string(line) + ": ", 0),
              0u);
    EXPECT_EQ(options.axes[1].maximum, 7.0f);  // untouched
    EXPECT_EQ(options.series[0].lineThickness, defaults.series[0].lineThickness);
  }
  ChartOptions options = defaults;
  RecordingFeedback feedback;
  ASSERT_TRUE(load(maximum, "-1e6", options, feedback));
  EXPECT_EQ(options.axes[1].maximum, -1e6f);
  ASSERT_TRUE(load(interval, "none", options, feedback));
  EXPECT_EQ(options.axes[1].unitInterval, 0.0f);
  EXPECT_TRUE(feedback.messages.empty());
}

TEST(ChartSvg, WritesAWellFormedDocument) {
  const Protein s = Ramp(30);
  SvgSurface svg(640, 420);
  DrawChart(svg, Input(s));
  const std::string text = svg.Finish();
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
  EXPECT_NE(text.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"420\""),
            std::string::npos);
  EXPECT_NE(text.find("stroke=\"rgb(0,0,255)\""), std::string::npos);
  EXPECT_NE(text.find("> Chain A --&gt;</text>"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 7), "</svg>\n");
  // Text from a user's file in another encoding, or with control characters, still makes
  // well-formed XML (UTF-8 only, no characters below 0x20 but white space).
  SvgSurface named(640, 420);
  named.Text(10, 10, "bad\xff\xfename\x01<", TextAlign::kLeftTop);
  const std::string written = named.Finish();
  EXPECT_NE(written.find(">bad\xEF\xBF\xBD\xEF\xBF\xBDname &lt;</text>"), std::string::npos) << written;
}

TEST(ChartOptionsShipped, TheInstalledFileHoldsTheDefaults) {
  std::ifstream in(test::ProgramFolder() + kChartOptionsFile, std::ios::binary);
  ASSERT_TRUE(in.is_open());
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), DefaultChartOptionsText());
}

}  // namespace
}  // namespace tessmol
