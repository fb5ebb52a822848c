// The chart as a figure for a paper, on real structures: the score axis labelled at round
// steps at the height of their values, residue numbers and chain names below the plot in
// bands of their own, no text drawn twice or over another, and the tracks above the plot
// matching what the structure says.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "base/gzip.h"
#include "base/text.h"
#include "chart/chart.h"
#include "chart/recording_surface.h"
#include "model/structure_file.h"
#include "scoring/model_quality.h"
#include "scoring/residue_scores.h"
#include "scoring/score_table.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::Label;
using test::RecordingSurface;
using test::Segment;

// The AlphaFold model of E. coli P76011: read as the program reads it, with its pLDDT.
const char* const kModel = "predicted/AF-P76011-F1-model_v4.pdb.gz";

// A structure as the document has it after File Open: surface, scores, no segments.
const Protein& Analysed(const std::string& name) {
  static std::map<std::string, Protein> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  Protein protein;
  SilentFeedback quiet;
  if (name == kModel) {
    StructureFile file = ReadStructure(test::DataPath(name), test::StandardHetRadii());
    EXPECT_TRUE(file.status.ok());
    protein.structure = std::move(file.structure);
    protein.fileName = name;
    protein.Load(quiet);
  } else {
    protein = test::LoadedProtein(name, false);
  }
  EXPECT_TRUE(test::KeepSurface(protein, CalculateSASA(protein, 1, test::ProgramFolder(), quiet)));
  protein.scores = ScoreResidues(protein.structure, protein.surface, BuiltInScores());
  protein.transmembrane = TransmembraneResult::None(protein.structure.residues.size());
  return cache.emplace(name, std::move(protein)).first->second;
}

ChartInput InputOf(const Protein& p, int width, int height, const std::string& title = "") {
  ChartInput in = MakeChartInput(p, true, DefaultChartOptions(), {10, 10, width - 10, height - 10});
  in.title = title;
  return in;
}

std::vector<Label> ScoreLabels(const RecordingSurface& s) {
  std::vector<Label> out;
  for (const Label& l : s.labels)
    if (l.align == TextAlign::kRightMiddle) out.push_back(l);
  return out;
}

// Whether a step is 1, 2, 2.5 or 5 times a power of ten.
bool IsRoundStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double m = step / power;
  for (double round : {1.0, 2.0, 2.5, 5.0})
    if (std::abs(m - round) < 1e-6) return true;
  return false;
}

const char* const kStructures[] = {"1U19.pdb", "4HHB.pdb", "2RH1.pdb"};

TEST(ChartScoreAxis, RoundStepsFromHandWorkedRanges) {
  // -0.95..0.95 over 400 pixels: 0.1 would put labels 21 pixels apart, 0.2 puts them 42.
  AxisTicks t = RoundTicks(-0.95, 0.95, 400, 22);
  EXPECT_DOUBLE_EQ(t.step, 0.2);
  EXPECT_EQ(t.decimals, 1);
  ASSERT_EQ(t.values.size(), 9u);
  EXPECT_NEAR(t.values.front(), -0.8, 1e-12);
  EXPECT_NEAR(t.values.back(), 0.8, 1e-12);
  // 0..37 over 300 pixels: 2.5 gives 20 pixels, 5 gives 40.
  t = RoundTicks(0.0, 37.0, 300, 22);
  EXPECT_DOUBLE_EQ(t.step, 5.0);
  EXPECT_EQ(t.decimals, 0);
  EXPECT_EQ(t.values.size(), 8u);
  // 0..1 over 200 pixels: 0.1 gives 20, 0.2 gives 40... but 0.25 needs two decimals.
  t = RoundTicks(-0.3, 0.7, 200, 30);
  EXPECT_DOUBLE_EQ(t.step, 0.2);
  t = RoundTicks(-0.3, 0.7, 200, 41);
  EXPECT_DOUBLE_EQ(t.step, 0.25);
  EXPECT_EQ(t.decimals, 2);
  EXPECT_EQ(TickLabel(t.values[0], t.decimals), "-0.25");
  EXPECT_EQ(TickLabel(-0.0, 1), "0.0");
  EXPECT_EQ(TickLabel(-1e-12, 2), "0.00");
  EXPECT_EQ(TickLabel(2.5, 1), "2.5");
  EXPECT_TRUE(RoundTicks(1.0, 1.0, 300, 22).values.empty());  // no range, no labels
}

// The score labels of the pane and of the figure, on structures whose curves stay within
// about -1 and +1: at least three, round steps, each at its value's height within a pixel,
// each drawn once, and the range fitted to the curves (not down to the lowest single score).
TEST(ChartScoreAxis, LabelsAtTheirValuesOnRealStructures) {
  for (const char* name : kStructures) {
    for (const std::string title : {"", "figure"}) {
      for (const auto& [width, height] : {std::pair{1200, 600}, std::pair{800, 420}}) {
        SCOPED_TRACE(std::string(name) + " " + title + " " + std::to_string(width));
        const Protein& p = Analysed(name);
        const ChartInput in = InputOf(p, width, height, title);
        RecordingSurface surface;
        const ChartLayout layout = DrawChart(surface, in);
        const std::vector<Chain> ranges = DrawnRanges(in);
        int64_t total = 0;
        for (const Chain& c : ranges) total += c.lastResidue - c.firstResidue + 1;
        const VerticalScale scale = ScaleOfChart(in, ranges);
        const ChartGeometry g(layout.plot, scale, static_cast<int>(total));
        const std::vector<Label> labels = ScoreLabels(surface);
        ASSERT_GE(labels.size(), 3u);
        std::set<std::string> texts;
        std::vector<double> values;
        for (const Label& l : labels) {
          EXPECT_TRUE(texts.insert(l.text).second) << l.text << " drawn twice";
          const double v = std::stod(l.text);
          values.push_back(v);
          EXPECT_LE(std::abs(l.y - g.Y(v)), 1) << l.text;
          EXPECT_LT(l.x, layout.plot.left) << l.text;  // beside the plot, not in it
          EXPECT_GE(l.y, layout.plot.top);
          EXPECT_LE(l.y, layout.plot.bottom);
        }
        const double step = values[1] - values[0];
        EXPECT_TRUE(IsRoundStep(step)) << step;
        for (size_t i = 1; i < values.size(); ++i) EXPECT_NEAR(values[i] - values[i - 1], step, 1e-9);
        // The range is that of the curves drawn (moving averages of 10), with a little room.
        double low = 0.0, high = 0.0;
        for (const Chain& c : ranges)
          for (int k : {0, 1})
            for (double v : MovingAverage(p.scores, c, k, 10)) {
              low = std::min(low, v);
              high = std::max(high, v);
            }
        EXPECT_LE(scale.yMin, low);
        EXPECT_GE(scale.yMin, low - (high - low) / 8);
        EXPECT_GE(scale.yMin + scale.yRange, high);
        EXPECT_LE(scale.yMin + scale.yRange, high + (high - low) / 8);
      }
    }
  }
}

// No text drawn over another: residue numbers, chain names, score labels, titles and the
// legend, in panes and figures of several sizes, with five short chains (2BEG) among them.
TEST(ChartLayout, NoLabelOverAnotherAndTicksOutsideThePlot) {
  // The new legend entries are among those kept apart: the model's pLDDT bands, the
  // stretches below the window test (the longest entry) on narrow figures too.
  std::set<std::string> entries;
  for (const char* name : {"1U19.pdb", "4HHB.pdb", "2RH1.pdb", "2BEG.pdb", kModel}) {
    for (const std::string title : {"", "A title"}) {
      for (const auto& [width, height] : {std::pair{1200, 600}, std::pair{600, 360}, std::pair{420, 300}}) {
        SCOPED_TRACE(std::string(name) + " " + title + " " + std::to_string(width));
        const ChartInput in = InputOf(Analysed(name), width, height, title);
        RecordingSurface surface;
        const ChartLayout layout = DrawChart(surface, in);
        const PlotRect& plot = layout.plot;
        int residueLabels = 0, chainLabels = 0;
        for (size_t i = 0; i < surface.labels.size(); ++i) {
          const Label& l = surface.labels[i];
          const test::Box box = surface.BoxOf(l);
          for (size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(box.Overlaps(surface.BoxOf(surface.labels[j])))
                << "'" << l.text << "' over '" << surface.labels[j].text << "'";
          }
          // Every text lies within the figure, and none inside the plot rectangle (the
          // pane's legend excepted, which the pane keeps at the plot's lower left).
          EXPECT_GE(box.left, in.rect.left);
          EXPECT_LE(box.right, in.rect.right);
          const bool inside = box.left < plot.right && box.right > plot.left && box.top < plot.bottom &&
                              box.bottom > plot.top;
          const bool legend = l.text == "Profiles 3D" || l.text == "KAVELIN";
          EXPECT_TRUE(!inside || (legend && title.empty())) << l.text;
          if (l.y == layout.residueLabelTop) ++residueLabels;
          if (width == 420) entries.insert(l.text);
          if (l.y == layout.chainLabelTop) ++chainLabels;
        }
        EXPECT_GE(residueLabels, 3);
        EXPECT_GE(chainLabels, 1);
      }
    }
  }
  for (const char* entry : {"pLDDT 70-90", "pLDDT 50-70", "pLDDT < 50", kBelowWindowTestName})
    EXPECT_TRUE(entries.count(entry)) << entry;
}

// The secondary-structure track has a helix bar over exactly the residues read as helix
// and a strand bar over those read as strand; 2RH1 has both.
TEST(ChartTracks, SecondaryStructureMatchesTheResidues) {
  const Protein& p = Analysed("2RH1.pdb");
  const ChartInput in = InputOf(p, 1600, 600, "2RH1");
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, in);
  const int n = static_cast<int>(p.structure.residues.size());
  const ChartGeometry g(layout.plot, VerticalScale{0.0f, 1.0f}, n);
  int helices = 0, strands = 0;
  for (int i = 0; i < n; ++i) {
    const int mid = (g.X(i) + g.X(i + 1)) / 2;
    Pen drawn{0, -1, -1, -1};
    for (const Segment& s : surface.segments) {
      if (s.y1 != layout.ssRow || s.y2 != layout.ssRow || mid < std::min(s.x1, s.x2) ||
          mid > std::max(s.x1, s.x2))
        continue;
      if (s.pen == kHelixPen || s.pen == kStrandPen) drawn = s.pen;
    }
    const SecondaryStructure ss = p.structure.residues[i].secStruct;
    EXPECT_EQ(drawn == kHelixPen, ss == SecondaryStructure::kHelix) << p.structure.residues[i].resSeq;
    EXPECT_EQ(drawn == kStrandPen, ss == SecondaryStructure::kSheet) << p.structure.residues[i].resSeq;
    helices += ss == SecondaryStructure::kHelix;
    strands += ss == SecondaryStructure::kSheet;
  }
  EXPECT_GT(helices, 100);  // seven transmembrane helices and the lysozyme's
  EXPECT_GT(strands, 5);
  std::set<std::string> texts;
  for (const Label& l : surface.labels) texts.insert(l.text);
  EXPECT_TRUE(texts.count("Helix") && texts.count("Strand"));
}

// The pen of the bar drawn on row y over residue position i (of n drawn), or none.
std::optional<Pen> BarAt(const RecordingSurface& surface, const ChartLayout& layout, int y, int i, int n) {
  const ChartGeometry g(layout.plot, VerticalScale{0.0f, 1.0f}, n);
  const int mid = (g.X(i) + g.X(i + 1)) / 2;
  std::optional<Pen> drawn;
  for (const Segment& s : surface.segments)
    if (s.y1 == y && s.y2 == y && mid >= std::min(s.x1, s.x2) && mid <= std::max(s.x1, s.x2)) drawn = s.pen;
  return drawn;
}

bool HasLabel(const RecordingSurface& surface, const std::string& text) {
  for (const Label& l : surface.labels)
    if (l.text == text) return true;
  return false;
}

// Transmembrane segments run along the top with their legend entry; a segment kind that
// says re-entrant is drawn apart, once the membrane records carry one.
TEST(ChartTracks, TransmembraneSegmentsAndReEntrantOnes) {
  Protein p = Analysed("1U19.pdb");
  for (int i = 35; i < 64; ++i) p.transmembrane.residues[i].transmembrane = true;
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, InputOf(p, 1200, 600, "1U19"));
  int bars = 0;
  for (const Segment& s : surface.segments) bars += s.pen == kTransmembranePen && s.y1 == layout.tmRow;
  EXPECT_EQ(bars, 1);
  bool entry = false;
  for (const Label& l : surface.labels) entry = entry || l.text == "Transmembrane segment";
  EXPECT_TRUE(entry);
  // A signal peptide (residues 0-19 here) is drawn on the same row in its own colour,
  // named in the legend and at the pointer, and is no segment.
  for (int i = 0; i < 20; ++i) p.transmembrane.residues[i].kind = SegmentKind::kSignalPeptide;
  RecordingSurface signal;
  const ChartInput figure = InputOf(p, 1200, 600, "1U19");
  const ChartLayout signalLayout = DrawChart(signal, figure);
  const int n = static_cast<int>(p.structure.residues.size());
  EXPECT_EQ(BarAt(signal, signalLayout, signalLayout.tmRow, 10, n), kSignalPeptidePen);
  EXPECT_EQ(BarAt(signal, signalLayout, signalLayout.tmRow, 40, n), kTransmembranePen);
  EXPECT_FALSE(BarAt(signal, signalLayout, signalLayout.tmRow, 25, n).has_value());
  EXPECT_TRUE(HasLabel(signal, "Signal peptide"));
  const ChartInput pane = InputOf(p, 1200, 600);
  const ChartGeometry g(LayoutChart(pane, 0).plot, VerticalScale{0.0f, 1.0f}, n);
  EXPECT_NE(HoverText(pane, g.X(10)).find("  signal peptide"), std::string::npos) << HoverText(pane, g.X(10));
  struct WithKind {
    enum class Kind { kCrossing, kReEntrant } kind;
  };
  EXPECT_TRUE(IsReEntrant(WithKind{WithKind::Kind::kReEntrant}));
  EXPECT_FALSE(IsReEntrant(WithKind{WithKind::Kind::kCrossing}));
  EXPECT_FALSE(IsReEntrant(ResidueMembrane{}));
}

// A placed membrane gets a row of its own, under the residues its slab holds; a search
// that placed none adds no row.
TEST(ChartTracks, ThePlacedMembrane) {
  Protein p = Analysed("1U19.pdb");
  MembranePlacement slab;
  slab.placed = true;
  slab.segments.push_back({0, 35, 63, true, 10.0f});
  slab.segments.push_back({0, 70, 99, false, 20.0f});
  p.membranes = {slab};
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, InputOf(p, 1200, 600, "1U19"));
  ASSERT_GT(layout.membraneRow, layout.ssRow);
  EXPECT_GT(layout.plot.top, layout.membraneRow);
  const ChartGeometry g(layout.plot, VerticalScale{0.0f, 1.0f},
                        static_cast<int>(p.structure.residues.size()));
  std::vector<std::pair<int, int>> bars;
  for (const Segment& s : surface.segments)
    if (s.pen == kMembranePen && s.y1 == layout.membraneRow) bars.push_back({s.x1, s.x2});
  EXPECT_EQ(bars, (std::vector<std::pair<int, int>>{{g.X(35), g.X(64)}, {g.X(70), g.X(100)}}));
  bool entry = false;
  for (const Label& l : surface.labels) entry = entry || l.text == "In the placed membrane";
  EXPECT_TRUE(entry);
  p.membranes.front().placed = false;
  EXPECT_EQ(LayoutChart(InputOf(p, 1200, 600), 0).membraneRow, -1);
}

// The model's confidence row shows each residue in the colour AlphaFold gives its pLDDT,
// read here from the file's own B-factor column (AlphaFold writes pLDDT there, the same on
// every atom of a residue): dark blue at 90 and above, light blue from 70, yellow from 50,
// orange below. The legend names the bands present and no other.
TEST(ChartTracks, ConfidenceBandsFollowTheModelsPlddt) {
  std::string text;
  ASSERT_TRUE(ReadFileText(test::DataPath(kModel), text).ok());
  std::vector<double> plddt;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("ATOM", 0) == 0 && line.substr(12, 4) == " CA ")
      plddt.push_back(std::stod(line.substr(60, 6)));
  const Protein& p = Analysed(kModel);
  const int n = static_cast<int>(p.structure.residues.size());
  ASSERT_EQ(plddt.size(), static_cast<size_t>(n));
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, InputOf(p, 1400, 600, "P76011"));
  ASSERT_GE(layout.confidenceRow, 0);
  EXPECT_LT(layout.confidenceRow, layout.plot.top);
  const struct {
    double from;
    int rgb;
    const char* name;
  } bands[] = {{90, 0x0053D6, "pLDDT >= 90"},
               {70, 0x65CBF3, "pLDDT 70-90"},
               {50, 0xFFDB13, "pLDDT 50-70"},
               {-1, 0xFF7D45, "pLDDT < 50"}};
  int counts[4] = {0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    int band = 0;
    while (plddt[i] < bands[band].from) ++band;
    ++counts[band];
    const std::optional<Pen> drawn = BarAt(surface, layout, layout.confidenceRow, i, n);
    ASSERT_TRUE(drawn.has_value()) << i;
    EXPECT_EQ(drawn->red << 16 | drawn->green << 8 | drawn->blue, bands[band].rgb)
        << "residue " << p.structure.residues[i].resSeq << " pLDDT " << plddt[i];
  }
  for (int band = 0; band < 4; ++band)
    EXPECT_EQ(HasLabel(surface, bands[band].name), counts[band] > 0) << bands[band].name;
  EXPECT_EQ(counts[3], 1);   // the file's one residue below 50
  EXPECT_GT(counts[1], 40);  // none reach 90
}

// An experimental structure has no confidence: no row for it, no band drawn, no entry.
TEST(ChartTracks, NoConfidenceRowForAnExperimentalStructure) {
  const Protein& p = Analysed("1U19.pdb");
  RecordingSurface surface;
  const ChartLayout layout = DrawChart(surface, InputOf(p, 1200, 600, "1U19"));
  EXPECT_EQ(layout.confidenceRow, -1);
  for (const Segment& s : surface.segments)
    for (const Pen& pen : kPlddtPens) EXPECT_FALSE(s.pen == pen);
  for (const Label& l : surface.labels) EXPECT_EQ(l.text.find("pLDDT"), std::string::npos) << l.text;
}

// Crambin's stretches below the 3D-1D window test, worked by hand from its solvent scores:
// residues 5, 8-10, 12-21 and 24. The row above the plot bars exactly those, in a pane and
// in a figure (whose legend names the test), as the window test itself reports them.
TEST(ChartTracks, StretchesBelowTheWindowTestOnCrambin) {
  const Protein& p = Analysed("1CRN.pdb");
  std::set<int> failing = {5, 8, 9, 10, 24};
  for (int r = 12; r <= 21; ++r) failing.insert(r);
  std::set<int> judged;
  for (const ResidueRun& run : JudgeProfile(p.structure, p.scores).lowRuns)
    for (int32_t i = run.first; i <= run.last; ++i) judged.insert(p.structure.residues[i].resSeq);
  EXPECT_EQ(judged, failing);
  const int n = static_cast<int>(p.structure.residues.size());
  for (const std::string title : {"", "1CRN"}) {
    RecordingSurface surface;
    const ChartLayout layout = DrawChart(surface, InputOf(p, 1000, 500, title));
    ASSERT_GT(layout.windowTestRow, layout.ssRow);
    EXPECT_LT(layout.windowTestRow, layout.plot.top);
    std::set<int> drawn;
    for (int i = 0; i < n; ++i) {
      const std::optional<Pen> pen = BarAt(surface, layout, layout.windowTestRow, i, n);
      if (pen) {
        EXPECT_EQ(*pen, kBelowWindowTestPen);
        drawn.insert(p.structure.residues[i].resSeq);
      }
    }
    EXPECT_EQ(drawn, failing) << title;
    EXPECT_EQ(HasLabel(surface, "Below the 3D-1D window test (< 0.2 over 21 residues)"), !title.empty());
  }
}

// The pane's status bar names what the rows show at the pointer: the model's pLDDT as the
// file gives it, and a residue of crambin's failing stretch.
TEST(ChartTracks, HoverNamesConfidenceAndTheWindowTest) {
  const Protein& model = Analysed(kModel);
  const ChartInput pane = InputOf(model, 1200, 600);
  const ChartLayout layout = LayoutChart(pane, 0);
  const int n = static_cast<int>(model.structure.residues.size());
  const ChartGeometry g(layout.plot, VerticalScale{0.0f, 1.0f}, n);
  const std::string first = HoverText(pane, g.X(0));
  EXPECT_NE(first.find("MET 1"), std::string::npos) << first;
  EXPECT_NE(first.find("  pLDDT " + FormatFixed(model.structure.confidence[0], 1)), std::string::npos)
      << first;
  const Protein& crambin = Analysed("1CRN.pdb");
  const ChartInput cpane = InputOf(crambin, 1200, 600);
  const ChartGeometry cg(LayoutChart(cpane, 0).plot, VerticalScale{0.0f, 1.0f},
                         static_cast<int>(crambin.structure.residues.size()));
  const std::string fails = HoverText(cpane, cg.X(14)), passes = HoverText(cpane, cg.X(40));
  EXPECT_NE(fails.find(" 15  "), std::string::npos) << fails;
  EXPECT_NE(fails.find("below the 3D-1D window test"), std::string::npos) << fails;
  EXPECT_EQ(passes.find("below the 3D-1D window test"), std::string::npos) << passes;
  EXPECT_EQ(passes.find("pLDDT"), std::string::npos) << passes;
}

// 2RH1 numbers the receptor 29-230, its lysozyme insert 1002-1161 and the receptor again
// from 263: the residue axis marks both jumps with "//", in the pane and in a figure.
TEST(ChartLayout, NumberingJumpsAreMarked) {
  for (const std::string title : {"", "2RH1"}) {
    RecordingSurface surface;
    const ChartLayout layout = DrawChart(surface, InputOf(Analysed("2RH1.pdb"), 1200, 600, title));
    int slashes = 0;
    for (const Segment& s : surface.segments)
      slashes += s.y1 == layout.plot.bottom + 5 && s.y2 == layout.plot.bottom - 5 && s.x2 - s.x1 == 3;
    EXPECT_EQ(slashes, 4) << title;
  }
}

TEST(ChartSelection, ChainsAndResidueRanges) {
  const Protein& hb = Analysed("4HHB.pdb");
  ChartInput in = InputOf(hb, 1200, 600);
  in.selection.chains = {"A", "C"};
  std::vector<Chain> ranges = DrawnRanges(in);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].chainId, 'A');
  EXPECT_EQ(ranges[1].chainId, 'C');
  in.selection.hasRange = true;
  in.selection.fromResSeq = 30;
  in.selection.toResSeq = 100;
  ranges = DrawnRanges(in);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(hb.structure.residues[ranges[0].firstResidue].resSeq, 30);
  EXPECT_EQ(hb.structure.residues[ranges[0].lastResidue].resSeq, 100);
  // 30-330 on 2RH1 keeps the receptor on both sides of the insert, numbered 1002-1161.
  const Protein& b2 = Analysed("2RH1.pdb");
  ChartInput receptor = InputOf(b2, 1200, 600);
  receptor.selection.hasRange = true;
  receptor.selection.fromResSeq = 30;
  receptor.selection.toResSeq = 330;
  ranges = DrawnRanges(receptor);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(b2.structure.residues[ranges[0].firstResidue].resSeq, 30);
  EXPECT_EQ(b2.structure.residues[ranges[0].lastResidue].resSeq, 230);
  EXPECT_EQ(b2.structure.residues[ranges[1].firstResidue].resSeq, 263);
  EXPECT_EQ(b2.structure.residues[ranges[1].lastResidue].resSeq, 330);
  RecordingSurface surface;
  DrawChart(surface, receptor);
  const ChartLayout layout = LayoutChart(receptor, 0);
  int numbers = 0;
  for (const Label& l : surface.labels) {
    if (l.y != layout.residueLabelTop) continue;
    ++numbers;
    EXPECT_LE(std::stoi(l.text), 330);  // nothing of the insert
  }
  EXPECT_GE(numbers, 3);
}

// A printed or exported figure: the structure's name as title, the score axis's title
// clear of every legend entry even on a narrow page.
TEST(ChartFigure, TitleAndLegendKeepApart) {
  EXPECT_EQ(StructureName("1U19.tsm"), "1U19");
  EXPECT_EQ(StructureName("/data/pdb/1u19.pdb.gz"), "1u19");
  EXPECT_EQ(StructureName("2RH1.cif"), "2RH1");
  EXPECT_EQ(StructureName("model"), "model");
  Protein p = Analysed("1U19.pdb");
  for (int i = 35; i < 64; ++i) p.transmembrane.residues[i].transmembrane = true;
  for (int width : {1400, 700, 420}) {
    RecordingSurface surface;
    DrawChart(surface, InputOf(p, width, 500, "1U19"));
    const Label* axisTitle = nullptr;
    for (const Label& l : surface.labels)
      if (l.text.rfind("Score", 0) == 0) axisTitle = &l;
    ASSERT_NE(axisTitle, nullptr);
    const test::Box box = surface.BoxOf(*axisTitle);
    for (const Segment& s : surface.segments) {  // legend samples neither
      const bool crosses = std::max(s.x1, s.x2) >= box.left && std::min(s.x1, s.x2) < box.right &&
                           std::max(s.y1, s.y2) >= box.top && std::min(s.y1, s.y2) < box.bottom;
      EXPECT_FALSE(crosses) << width << ": a line through the axis title";
    }
  }
}

}  // namespace
}  // namespace tessmol
