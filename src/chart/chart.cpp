#include "chart/chart.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>

#include "base/text.h"
#include "scoring/model_quality.h"

namespace tessmol {

namespace {

// Loops over labels and ticks never run longer than this, whatever the options say.
constexpr int kMaxMarks = 10000;

int ToPixel(double value) {
  // Truncation toward zero, kept inside what an int and a drawing surface can take.
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::clamp(value, -1.0e7, 1.0e7));
}

double Score(const ResidueScore& r, int series) {
  return series == 0 ? r.solventScore : series == 1 ? r.kavelinScore : r.overallScore;
}

// A predicted model's pLDDT, one value per residue; an experimental structure has none.
bool HasConfidence(const Structure& s) {
  return !s.confidence.empty() && s.confidence.size() == s.residues.size();
}

// Scores to test, one per residue (a structure only read has none).
bool HasScores(const Protein& p) {
  return !p.structure.residues.empty() && p.scores.residues.size() == p.structure.residues.size();
}

// A residue's membrane flags; none past the flags (a structure only read has none).
ResidueMembrane MembraneAt(const Protein& p, int32_t i) {
  const std::vector<ResidueMembrane>& flags = p.transmembrane.residues;
  return static_cast<size_t>(i) < flags.size() ? flags[static_cast<size_t>(i)] : ResidueMembrane{};
}

// Per residue: whether it lies on a stretch that fails the 3D-1D window test.
std::vector<bool> BelowWindowTest(const Protein& p) {
  std::vector<bool> below(p.structure.residues.size(), false);
  // A sequence's model is an ideal helix, not a fold the test judges.
  if (!HasScores(p) || p.FromSequence()) return below;
  for (const ResidueRun& run : JudgeProfile(p.structure, p.scores).lowRuns)
    for (int32_t i = run.first; i <= run.last; ++i) below[static_cast<size_t>(i)] = true;
  return below;
}

}  // namespace

int PlddtBand(float plddt) {
  if (plddt >= 90.0f) return 0;
  if (plddt >= 70.0f) return 1;
  if (plddt >= 50.0f) return 2;
  return 3;  // below 50, and a value that is no number
}

VerticalScale ComputeVerticalScale(const ScoreResult& scores, const ChartAxisOptions& scoreAxis) {
  // A range the user set: minimum to maximum, when it is one.
  if (!scoreAxis.automatic && std::isfinite(scoreAxis.minimum) && std::isfinite(scoreAxis.maximum) &&
      scoreAxis.maximum > scoreAxis.minimum) {
    return {scoreAxis.minimum, scoreAxis.maximum - scoreAxis.minimum};
  }
  return ComputeVerticalScale(scores);
}

VerticalScale ComputeVerticalScale(const ScoreResult& scores) {
  float low = 0.0f, high = 0.0f;
  for (const ResidueScore& r : scores.residues) {
    low = std::min({low, r.solventScore, r.kavelinScore});
    high = std::max({high, r.solventScore, r.kavelinScore});
  }
  return {low, high - low};
}

VerticalScale ComputeCurveScale(const Structure& s, const ScoreResult& scores, const ChartOptions& options,
                                const std::vector<Chain>& chains) {
  double low = 0.0, high = 0.0;
  for (const Chain& chain : chains) {
    const Chain whole = ChainHolding(s, chain);
    for (int k = 0; k < 3; ++k) {
      if (!options.series[k].show || chain.lastResidue < chain.firstResidue) continue;
      for (double v : MovingAverage(scores, chain, k, options.series[k].movingAverage, &whole)) {
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  const double pad = (high - low) / 20;
  return {static_cast<float>(low - pad), static_cast<float>(high - low + 2 * pad)};
}

ChartGeometry::ChartGeometry(const PlotRect& plot, const VerticalScale& scale, int residueCount)
    : rect_(plot),
      yMin_(scale.yMin),
      yRange_(scale.yRange > 0.0f ? scale.yRange : 1.0),
      residueCount_(residueCount) {}

int ChartGeometry::Y(double score) const {
  return ToPixel(rect_.bottom - (score - yMin_) * (rect_.bottom - rect_.top) / yRange_);
}

int ChartGeometry::X(int64_t position) const {
  if (residueCount_ <= 0) return rect_.left;
  const int64_t width = rect_.right - rect_.left;
  return static_cast<int>(rect_.left + width * position / residueCount_);
}

namespace {

// Step m x 10^e with m of 10, 20, 25, 50 (tenths): the k-th round step from the smallest.
double RoundStep(int k, int& decimals) {
  static const int kMantissa[4] = {10, 20, 25, 50};
  const int e = k >= 0 ? k / 4 : -((-k + 3) / 4);
  const int m = kMantissa[k - 4 * e];
  // m/10 x 10^e: 2.5 x 10^e needs one decimal more than 10^e.
  decimals = std::max(0, -e + (m == 25 ? 1 : 0));
  return m / 10.0 * std::pow(10.0, e);
}

std::vector<double> Multiples(double low, double high, double step) {
  std::vector<double> values;
  if (!(step > 0.0) || !std::isfinite(low) || !std::isfinite(high) || high < low) return values;
  const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
  for (double i = first; i <= last && values.size() < static_cast<size_t>(kMaxMarks); i += 1.0) {
    values.push_back(i * step);  // a multiple, never a running sum: no drift from rounding
  }
  return values;
}

}  // namespace

AxisTicks RoundTicks(double low, double high, int pixels, int spacing) {
  AxisTicks ticks;
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || pixels <= 0) return ticks;
  const double span = high - low;
  // Start a few steps below a tenth of the span and take the first whose labels fit.
  int k = static_cast<int>(std::floor(std::log10(span))) * 4 - 8;
  for (int tries = 0; tries < 80; ++tries, ++k) {
    int decimals = 0;
    const double step = RoundStep(k, decimals);
    if (step * pixels / span < spacing) continue;
    ticks.step = step;
    ticks.decimals = decimals;
    ticks.values = Multiples(low, high, step);
    return ticks;
  }
  return ticks;
}

AxisTicks IntervalTicks(double low, double high, double step, int pixels, int spacing) {
  AxisTicks ticks;
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || !(step > 0.0) || pixels <= 0)
    return ticks;
  // The decimals the interval is written with (0.25 needs two).
  int decimals = 0;
  while (decimals < 6 &&
         std::abs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-6)
    ++decimals;
  const double span = high - low;
  for (double factor : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8}) {
    if (step * factor * pixels / span < spacing) continue;
    ticks.step = step * factor;
    ticks.decimals = decimals;
    ticks.values = Multiples(low, high, ticks.step);
    return ticks;
  }
  return ticks;
}

std::string TickLabel(double value, int decimals) {
  std::string text = FormatFixed(value, std::clamp(decimals, 0, 6));
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  return text;
}

std::string StructureName(const std::string& fileName) {
  std::string name = fileName;
  if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
  const auto strip = [&name](std::initializer_list<const char*> extensions) {
    for (const char* ext : extensions) {
      const std::string e = ext;
      if (name.size() > e.size()) {
        std::string tail = name.substr(name.size() - e.size());
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (tail == e) {
          name.erase(name.size() - e.size());
          return;
        }
      }
    }
  };
  strip({".gz"});
  strip({".tsm", ".pdb", ".ent", ".cif", ".mmcif", ".pdbx", ".fasta", ".fa"});
  return name;
}

std::vector<Chain> ChainsToDraw(const Structure& structure, const ChartAxisOptions& axis) {
  const auto count = static_cast<int32_t>(structure.residues.size());
  std::vector<Chain> chains;
  if (axis.automatic) {
    for (Chain c : structure.chains) {
      c.firstResidue = std::max(c.firstResidue, 0);
      c.lastResidue = std::min(c.lastResidue, count - 1);
      chains.push_back(c);
    }
    return chains;
  }
  bool started = false;
  Chain current;
  const auto from = static_cast<uint32_t>(axis.fromResidue);
  const auto to = static_cast<uint32_t>(axis.toResidue);
  for (int32_t i = 0; i < count; ++i) {
    const Residue& r = structure.residues[i];
    const auto number = static_cast<uint32_t>(r.resSeq);
    if (!started && number >= from && r.chainId == axis.fromChain) {
      started = true;
      current = {i, i, r.chainId};
    } else if (number >= to && r.chainId == axis.toChain) {
      if (!started) continue;
      current.lastResidue = i;
      chains.push_back(current);
      return chains;
    } else if (!started) {
      continue;
    }
    if (r.chainId != current.chainId) {
      current.lastResidue = i - 1;
      chains.push_back(current);
      current = {i, i, r.chainId};
    }
  }
  return chains;  // the To residue never came: the open range is dropped
}

std::vector<double> MovingAverage(const ScoreResult& scores, const Chain& chain, int series, int window,
                                  const Chain* within) {
  window = std::max(window, 1);
  const int behind = window % 2 == 1 ? (window - 1) / 2 : window / 2;
  const int ahead = window % 2 == 1 ? (window - 1) / 2 : window / 2 - 1;
  // The window's reach: the whole chain's residues that have scores, never fewer than the range's.
  const int32_t count = static_cast<int32_t>(scores.residues.size());
  const int32_t first = within != nullptr ? std::min(chain.firstResidue, std::max(within->firstResidue, 0))
                                          : chain.firstResidue;
  const int32_t last = within != nullptr
                           ? std::max(chain.lastResidue, std::min(within->lastResidue, count - 1))
                           : chain.lastResidue;
  std::vector<double> values;
  for (int32_t i = chain.firstResidue; i <= chain.lastResidue; ++i) {
    double sum = Score(scores.residues[i], series);
    int added = 1;
    for (int k = 1; k <= behind && i - k >= first; ++k, ++added) sum += Score(scores.residues[i - k], series);
    for (int k = 1; k <= ahead && i + k <= last; ++k, ++added) sum += Score(scores.residues[i + k], series);
    values.push_back(sum / added);
  }
  return values;
}

Chain ChainHolding(const Structure& s, const Chain& range) {
  for (const Chain& chain : s.chains)
    if (chain.firstResidue <= range.firstResidue && range.lastResidue <= chain.lastResidue) return chain;
  return range;
}

namespace {

// Whether drawn range k continues the chain of range k - 1: a residue range cut the chain
// where its numbering left the range (2RH1's lysozyme insert), which is a jump in the
// numbering, not a new chain.
bool ContinuesChain(const Structure& s, const std::vector<Chain>& ranges, size_t k) {
  return k > 0 && k < ranges.size() &&
         ChainHolding(s, ranges[k]).firstResidue == ChainHolding(s, ranges[k - 1]).firstResidue &&
         ranges[k - 1].lastResidue < ranges[k].firstResidue;
}

const Pen kAxisPen{1, 0, 0, 0};
const Pen kSeparatorPen{1, 170, 170, 170};
// Labels keep this much room between them.
constexpr int kLabelGap = 6;

void DrawFrame(DrawingSurface& surface, const PlotRect& rc) {
  surface.SetPen(kAxisPen);
  surface.MoveTo(rc.right, rc.top);
  surface.LineTo(rc.right, rc.bottom);
  surface.LineTo(rc.left, rc.bottom);
  surface.LineTo(rc.left, rc.top);
  surface.LineTo(rc.right, rc.top);
}

int RangeSize(const Chain& c) {
  return std::max(0, c.lastResidue - c.firstResidue + 1);
}

// The moving-average curves of one chain, starting at position g0 across the drawn chains.
void DrawSeries(DrawingSurface& surface, const Structure& s, const ScoreResult& scores,
                const ChartOptions& options, const Chain& chain, const ChartGeometry& g, int64_t g0, int n) {
  const Chain whole = ChainHolding(s, chain);
  for (int k = 0; k < 3; ++k) {
    const ChartSeriesOptions& series = options.series[k];
    if (!series.show) continue;
    surface.SetPen({series.lineThickness, series.red, series.green, series.blue});
    const std::vector<double> values = MovingAverage(scores, chain, k, series.movingAverage, &whole);
    // A score range the user set may leave points outside: they lie on the plot's edge.
    const int top = std::min(g.TopY(), g.BottomY()), bottom = std::max(g.TopY(), g.BottomY());
    for (int i = 0; i < n; ++i) {
      const int x = g.X(g0 + i), y = std::clamp(g.Y(values[i]), top, bottom);
      if (i == 0) {
        surface.MoveTo(x, y);
      } else {
        surface.LineTo(x, y);
      }
    }
  }
}

// One track row: a bar under every run of residues for which `pick` gives this pen.
template <typename Pick>
void DrawTrack(DrawingSurface& surface, const Chain& chain, const ChartGeometry& g, int64_t g0, int n, int y,
               Pick pick) {
  for (int i = 0; i < n;) {
    const std::optional<Pen> pen = pick(chain.firstResidue + i);
    int j = i + 1;
    while (j < n && pick(chain.firstResidue + j) == pen) ++j;
    if (pen) {
      surface.SetPen(*pen);
      surface.MoveTo(g.X(g0 + i), y);
      surface.LineTo(g.X(g0 + j), y);
    }
    i = j;
  }
}

void DrawTracks(DrawingSurface& surface, const Protein& protein, const ChartLayout& layout,
                const std::vector<bool>& belowWindowTest, const Chain& chain, const ChartGeometry& g,
                int64_t g0, int n) {
  DrawTrack(surface, chain, g, g0, n, layout.tmRow, [&](int32_t i) -> std::optional<Pen> {
    const ResidueMembrane m = MembraneAt(protein, i);
    if (m.kind == SegmentKind::kSignalPeptide) return kSignalPeptidePen;
    if (!m.transmembrane) return std::nullopt;
    return IsReEntrant(m) ? kReEntrantPen : kTransmembranePen;
  });
  const auto& residues = protein.structure.residues;
  DrawTrack(surface, chain, g, g0, n, layout.ssRow, [&](int32_t i) -> std::optional<Pen> {
    if (residues[i].secStruct == SecondaryStructure::kHelix) return kHelixPen;
    if (residues[i].secStruct == SecondaryStructure::kSheet) return kStrandPen;
    return std::nullopt;
  });
  if (layout.confidenceRow >= 0 && HasConfidence(protein.structure)) {
    DrawTrack(surface, chain, g, g0, n, layout.confidenceRow, [&](int32_t i) -> std::optional<Pen> {
      return kPlddtPens[PlddtBand(protein.structure.confidence[i])];
    });
  }
  if (layout.windowTestRow >= 0 && belowWindowTest.size() == residues.size()) {
    DrawTrack(surface, chain, g, g0, n, layout.windowTestRow, [&](int32_t i) -> std::optional<Pen> {
      if (belowWindowTest[i]) return kBelowWindowTestPen;
      return std::nullopt;
    });
  }
  if (layout.membraneRow < 0 || protein.membranes.empty()) return;
  DrawTrack(surface, chain, g, g0, n, layout.membraneRow, [&](int32_t i) -> std::optional<Pen> {
    for (const MembranePlacement& placed : protein.membranes)
      for (const SlabSegment& s : placed.segments)
        if (i >= s.first && i <= s.last) return kMembranePen;
    return std::nullopt;
  });
}

// The smallest of unit, 2 unit, 5 unit, 10 unit, ... at which residue labels `pitch`
// pixels apart per residue leave room for the widest one.
int64_t ResidueStep(double unit, double pitch, int widest) {
  int64_t step = static_cast<int64_t>(unit);
  for (int64_t base = step, k = 0; step * pitch < widest + 10 && k < 30; ++k) {
    const int64_t scales[3] = {2, 5, 10};
    step = base * scales[k % 3] * static_cast<int64_t>(std::pow(10, k / 3));
  }
  return step;
}

// The residues' own numbers below the plot, each label and tick at the x where its residue
// is drawn: numbers that are multiples of the step, a label dropped where it would meet
// the one before. Where the numbering jumps (residues the structure lacks, or an insert
// numbered apart) two short slashes cross the residue axis.
void DrawResidueAxis(DrawingSurface& surface, const Structure& s, const ChartAxisOptions& axis,
                     const std::vector<Chain>& ranges, const ChartGeometry& g, const ChartLayout& layout) {
  const PlotRect& plot = layout.plot;
  surface.SetPen(kAxisPen);
  int64_t g0 = 0;
  const auto slashes = [&](int64_t before) {
    const int gap = (g.X(before + 1) + g.X(before)) / 2;
    surface.MoveTo(gap - 4, plot.bottom + 5);
    surface.LineTo(gap - 1, plot.bottom - 5);
    surface.MoveTo(gap + 1, plot.bottom + 5);
    surface.LineTo(gap + 4, plot.bottom - 5);
  };
  for (size_t k = 0; k < ranges.size(); ++k) {
    const Chain& chain = ranges[k];
    const int n = RangeSize(chain);
    if (n > 0 && ContinuesChain(s, ranges, k)) slashes(g0 - 1);
    for (int i = 1; i < n; ++i) {
      const int32_t jump =
          s.residues[chain.firstResidue + i].resSeq - s.residues[chain.firstResidue + i - 1].resSeq;
      if (jump == 1 || jump == 0) continue;
      slashes(g0 + i - 1);
    }
    g0 += n;
  }
  if (!axis.showUnits || !(axis.unitInterval >= 1.0f && axis.unitInterval < 1e9f) || g.residueCount() <= 0)
    return;
  int widest = 0;
  for (const Chain& chain : ranges)
    for (int32_t i = chain.firstResidue; i <= chain.lastResidue; ++i)
      widest = std::max(widest, surface.TextWidth(std::to_string(s.residues[i].resSeq)));
  const double pitch = static_cast<double>(plot.right - plot.left) / g.residueCount();
  const int64_t step = ResidueStep(axis.unitInterval, pitch, widest);
  int lastRight = std::numeric_limits<int>::min();
  int marks = 0;
  g0 = 0;
  for (const Chain& chain : ranges) {
    const int n = RangeSize(chain);
    for (int i = 0; i < n && marks < kMaxMarks; ++i) {
      const Residue& r = s.residues[chain.firstResidue + i];
      const bool plain = r.iCode == ' ' || r.iCode == '\0';
      if (!plain || r.resSeq % step != 0) continue;
      const int x = g.X(g0 + i);
      const std::string label = std::to_string(r.resSeq);
      const int width = surface.TextWidth(label);
      // Numbers that jump back (2RH1's 263 after 1161) could meet the label before; none
      // may reach out of the frame.
      if (x - width / 2 < lastRight + kLabelGap || x - width / 2 < layout.frame.left + 2 ||
          x + width - width / 2 > layout.frame.right - 2)
        continue;
      surface.Text(x, layout.residueLabelTop, label, TextAlign::kCentreTop);
      surface.MoveTo(x, plot.bottom);
      surface.LineTo(x, plot.bottom + 5);
      lastRight = x + width - width / 2;
      ++marks;
    }
    g0 += n;
  }
}

// Each drawn range's chain name in the band below the residue numbers, at the range's
// start: " Chain X -->", or the bare name where that would meet the next, or nothing.
void DrawChainNames(DrawingSurface& surface, const Structure& s, const std::vector<Chain>& ranges,
                    const ChartGeometry& g, const ChartLayout& layout) {
  surface.SetPen(kAxisPen);
  int64_t g0 = 0;
  int lastRight = std::numeric_limits<int>::min();
  for (size_t k = 0; k < ranges.size(); ++k) {
    const Chain& chain = ranges[k];
    const int n = RangeSize(chain);
    if (n == 0) continue;
    const int xc = g.X(g0);
    g0 += n;
    if (ContinuesChain(s, ranges, k)) continue;  // the same chain, past a jump in its numbering
    // The room up to the next range's start (or the frame's edge).
    const int limit = k + 1 < ranges.size() ? g.X(g0) : layout.frame.right - 2;
    const std::string name = s.ChainNameOfResidue(chain.firstResidue);
    // The full label, the name, and for a range too narrow for either (a small chain beside
    // large ones: GroES beside GroEL) the name alone, closer to its neighbours.
    const std::string texts[] = {" Chain " + name + " -->", " " + name, name};
    for (size_t t = 0; t < std::size(texts); ++t) {
      const std::string& text = texts[t];
      const int gap = t + 1 < std::size(texts) ? kLabelGap : 2;
      const int width = surface.TextWidth(text);
      const int room = k + 1 < ranges.size() ? limit - gap : limit;
      if (xc < lastRight + gap || xc + width > room) continue;
      surface.Text(xc, layout.chainLabelTop, text, TextAlign::kLeftTop);
      lastRight = xc + width;
      break;
    }
  }
}

// The score labels, once, to the left of the plot at the height of their values, with a
// short tick each: round steps for an automatic range, the chosen interval (thinned where
// it would crowd) for a range the user set.
void DrawScoreAxis(DrawingSurface& surface, const ChartAxisOptions& axis, const ChartGeometry& g,
                   const ChartLayout& layout) {
  const PlotRect& plot = layout.plot;
  surface.SetPen(kAxisPen);
  surface.MoveTo(plot.left, plot.top);
  surface.LineTo(plot.left, plot.bottom);
  surface.LineTo(plot.right, plot.bottom);
  const double low = g.yMin(), high = g.yMax();
  if (low < 0.0 && high > 0.0) {  // the zero line
    surface.SetPen(kSeparatorPen);
    surface.MoveTo(plot.left, g.Y(0.0));
    surface.LineTo(plot.right, g.Y(0.0));
    surface.SetPen(kAxisPen);
  }
  if (!axis.showUnits) return;
  const int pixels = plot.bottom - plot.top, spacing = surface.TextHeight() + 8;
  const AxisTicks ticks = axis.automatic ? RoundTicks(low, high, pixels, spacing)
                                         : IntervalTicks(low, high, axis.unitInterval, pixels, spacing);
  for (double v : ticks.values) {
    const int y = g.Y(v);
    surface.MoveTo(plot.left - 4, y);
    surface.LineTo(plot.left, y);
    surface.Text(plot.left - 6, y, TickLabel(v, ticks.decimals), TextAlign::kRightMiddle);
  }
}

struct LegendEntry {
  Pen pen;
  std::string text;
};

// What a figure's legend names: the curves with their windows, then the tracks present.
std::vector<LegendEntry> FigureLegend(const ChartInput& input, const std::vector<Chain>& ranges) {
  std::vector<LegendEntry> entries;
  const ChartOptions& options = input.options;
  for (int k = 0; k < 3; ++k) {
    const ChartSeriesOptions& series = options.series[k];
    if (!series.show) continue;
    entries.push_back({{std::max(series.lineThickness, 1), series.red, series.green, series.blue},
                       std::string(kSeriesNames[k]) + ", window " + std::to_string(series.movingAverage)});
  }
  if (!input.structureLoaded || input.protein == nullptr) return entries;
  const Protein& p = *input.protein;
  bool crossing = false, reEntrant = false, signal = false, helix = false, strand = false, slab = false,
       failing = false;
  bool bands[4] = {false, false, false, false};
  const bool plddt = HasConfidence(p.structure);
  const std::vector<bool> below = BelowWindowTest(p);
  for (const Chain& c : ranges) {
    for (int32_t i = c.firstResidue; i <= c.lastResidue; ++i) {
      const ResidueMembrane m = MembraneAt(p, i);
      if (m.transmembrane) (IsReEntrant(m) ? reEntrant : crossing) = true;
      signal = signal || m.kind == SegmentKind::kSignalPeptide;
      helix = helix || p.structure.residues[i].secStruct == SecondaryStructure::kHelix;
      strand = strand || p.structure.residues[i].secStruct == SecondaryStructure::kSheet;
      if (plddt) bands[PlddtBand(p.structure.confidence[i])] = true;
      failing = failing || below[i];
    }
  }
  for (const MembranePlacement& m : p.membranes) slab = slab || (m.placed && !m.segments.empty());
  if (crossing) entries.push_back({kTransmembranePen, "Transmembrane segment"});
  if (reEntrant) entries.push_back({kReEntrantPen, "Re-entrant segment"});
  if (signal) entries.push_back({kSignalPeptidePen, "Signal peptide"});
  if (slab) entries.push_back({kMembranePen, "In the placed membrane"});
  if (helix) entries.push_back({kHelixPen, "Helix"});
  if (strand) entries.push_back({kStrandPen, "Strand"});
  for (int band = 0; band < 4; ++band)
    if (bands[band]) entries.push_back({kPlddtPens[band], kPlddtBandNames[band]});
  if (failing) entries.push_back({kBelowWindowTestPen, kBelowWindowTestName});
  return entries;
}

constexpr int kHeaderRow = 22;

// A figure's title and, on the rows below it, the score axis's title at the left and the
// legend: beside the title when there is room, else on rows of its own. Returns the
// height taken.
int DrawFigureHeader(DrawingSurface& surface, const ChartInput& input,
                     const std::vector<LegendEntry>& legend) {
  const PlotRect& outer = input.rect;
  const ChartOptions& options = input.options;
  surface.SetPen(kAxisPen);
  surface.Text((outer.left + outer.right) / 2, outer.top, input.title, TextAlign::kCentreTop);
  // The windows of the curves drawn: one in the axis title when they agree, each in the
  // legend anyway.
  int window = -1;
  for (const ChartSeriesOptions& series : options.series) {
    if (!series.show) continue;
    window = window == -1 || window == series.movingAverage ? series.movingAverage : 0;
  }
  const std::string axisTitle =
      window > 0 ? "Score, moving average of " + std::to_string(window) : "Score, moving averages";
  int row = outer.top + kHeaderRow;
  surface.Text(outer.left, row, axisTitle, TextAlign::kLeftTop);
  if (!input.showLegend || legend.empty()) return 2 * kHeaderRow;
  const auto entryWidth = [&](const LegendEntry& e) { return 30 + surface.TextWidth(e.text) + 20; };
  int total = 0;
  for (const LegendEntry& e : legend) total += entryWidth(e);
  const int titleRight = outer.left + surface.TextWidth(axisTitle) + 30;
  int x = outer.right - total;
  if (x < titleRight) {  // no room beside the axis title: rows of their own, from the left
    row += kHeaderRow;
    x = outer.left;
  }
  for (const LegendEntry& e : legend) {
    if (x + entryWidth(e) - 20 > outer.right && x > outer.left) {
      row += kHeaderRow;
      x = outer.left;
    }
    surface.SetPen(e.pen);
    surface.MoveTo(x, row + 8);
    surface.LineTo(x + 20, row + 8);
    surface.Text(x + 30, row, e.text, TextAlign::kLeftTop);
    x += entryWidth(e);
  }
  surface.SetPen(kAxisPen);
  return row + kHeaderRow - outer.top;
}

// The pane's legend, inside the plot at its lower left: the curves shown, overall on top.
void DrawPaneLegend(DrawingSurface& surface, const ChartOptions& options, const PlotRect& plot) {
  int d = 0;
  for (int k = 2; k >= 0; --k) {
    const ChartSeriesOptions& series = options.series[k];
    if (!series.show) continue;
    surface.SetPen({series.lineThickness, series.red, series.green, series.blue});
    surface.MoveTo(plot.left + 20, plot.bottom - 20 - d);
    surface.LineTo(plot.left + 40, plot.bottom - 20 - d);
    surface.Text(plot.left + 50, plot.bottom - 28 - d, kSeriesNames[k], TextAlign::kLeftTop);
    d += 20;
  }
}

}  // namespace

std::vector<Chain> SelectRanges(const Structure& s, const std::vector<Chain>& ranges,
                                const ChartSelection& selection) {
  std::vector<Chain> selected;
  for (const Chain& c : ranges) {
    if (RangeSize(c) == 0) continue;
    if (!selection.chains.empty() &&
        std::find(selection.chains.begin(), selection.chains.end(), s.ChainNameOfResidue(c.firstResidue)) ==
            selection.chains.end())
      continue;
    if (!selection.hasRange) {
      selected.push_back(c);
      continue;
    }
    const auto inside = [&](int32_t i) {
      return s.residues[i].resSeq >= selection.fromResSeq && s.residues[i].resSeq <= selection.toResSeq;
    };
    for (int32_t i = c.firstResidue; i <= c.lastResidue;) {
      if (!inside(i)) {
        ++i;
        continue;
      }
      int32_t j = i;
      while (j + 1 <= c.lastResidue && inside(j + 1)) ++j;
      selected.push_back({i, j, c.chainId});
      i = j + 1;
    }
  }
  return selected;
}

std::vector<Chain> DrawnRanges(const ChartInput& input) {
  if (!input.structureLoaded || input.protein == nullptr) return {};
  const Structure& s = input.protein->structure;
  return SelectRanges(s, ChainsToDraw(s, input.options.axes[0]), input.selection);
}

VerticalScale ScaleOfChart(const ChartInput& input, const std::vector<Chain>& ranges) {
  const ScoreResult& scores = input.protein->scores;
  return input.options.axes[1].automatic
             ? ComputeCurveScale(input.protein->structure, scores, input.options, ranges)
             : ComputeVerticalScale(scores, input.options.axes[1]);
}

ChartLayout LayoutChart(const ChartInput& input, int headerHeight) {
  ChartLayout layout;
  layout.frame = input.rect;
  layout.frame.top += headerHeight;
  const PlotRect& f = layout.frame;
  // Rows 14 pixels apart: the two always there, then those the structure has.
  layout.tmRow = f.top + 10;
  layout.ssRow = f.top + 24;
  int lastRow = layout.ssRow;
  const auto placed = [](const MembranePlacement& m) { return m.placed; };
  if (input.structureLoaded && input.protein != nullptr) {
    const Protein& p = *input.protein;
    if (std::any_of(p.membranes.begin(), p.membranes.end(), placed)) layout.membraneRow = lastRow += 14;
    if (HasConfidence(p.structure)) layout.confidenceRow = lastRow += 14;
    if (HasScores(p) && !p.FromSequence()) layout.windowTestRow = lastRow += 14;
  }
  // Room at the left for score labels such as -0.25, at the bottom for three bands.
  layout.plot = {f.left + 52, lastRow + 14, f.right - 12, f.bottom - 64};
  // A frame too small for all of it still gets a plot, the bands then overlap.
  layout.plot.bottom = std::max(layout.plot.bottom, layout.plot.top + 20);
  layout.plot.right = std::max(layout.plot.right, layout.plot.left + 20);
  layout.residueLabelTop = layout.plot.bottom + 8;
  layout.chainLabelTop = layout.plot.bottom + 26;
  layout.axisTitleTop = layout.plot.bottom + 44;
  return layout;
}

ChartLayout DrawChart(DrawingSurface& surface, const ChartInput& input) {
  const bool figure = !input.title.empty();
  const std::vector<Chain> ranges = DrawnRanges(input);
  const int header = figure ? DrawFigureHeader(surface, input, FigureLegend(input, ranges)) : 0;
  const ChartLayout layout = LayoutChart(input, header);
  DrawFrame(surface, layout.frame);
  if (!input.structureLoaded || input.protein == nullptr) return layout;
  const Structure& s = input.protein->structure;
  const ScoreResult& scores = input.protein->scores;
  const ChartOptions& options = input.options;

  int64_t total = 0;
  for (const Chain& c : ranges) total += RangeSize(c);
  const ChartGeometry g(layout.plot, ScaleOfChart(input, ranges), static_cast<int>(total));
  if (total == 0) {  // nothing to draw along the axes (a custom range never found): the axes alone
    surface.MoveTo(layout.plot.left, layout.plot.top);
    surface.LineTo(layout.plot.left, layout.plot.bottom);
    surface.LineTo(layout.plot.right, layout.plot.bottom);
    return layout;
  }
  DrawScoreAxis(surface, options.axes[1], g, layout);
  surface.SetPen(kAxisPen);
  surface.Text((layout.plot.left + layout.plot.right) / 2, layout.axisTitleTop, "Residue",
               TextAlign::kCentreTop);
  if (!figure) surface.Text(layout.frame.left + 4, layout.frame.top + 4, "Score", TextAlign::kLeftTop);

  const std::vector<bool> below = BelowWindowTest(*input.protein);
  int64_t g0 = 0;
  for (size_t k = 0; k < ranges.size(); ++k) {
    const Chain& chain = ranges[k];
    const int n = RangeSize(chain);
    if (k > 0 && !ContinuesChain(s, ranges, k)) {  // chain separator
      surface.SetPen(kSeparatorPen);
      surface.MoveTo(g.X(g0), layout.plot.top);
      surface.LineTo(g.X(g0), layout.plot.bottom);
    }
    DrawSeries(surface, s, scores, options, chain, g, g0, n);
    DrawTracks(surface, *input.protein, layout, below, chain, g, g0, n);
    g0 += n;
  }
  DrawResidueAxis(surface, s, options.axes[0], ranges, g, layout);
  DrawChainNames(surface, s, ranges, g, layout);
  if (input.showLegend && !figure) DrawPaneLegend(surface, options, layout.plot);
  return layout;
}

std::string HoverText(const ChartInput& input, int x) {
  if (!input.structureLoaded || input.protein == nullptr || !input.title.empty()) return {};
  const Structure& s = input.protein->structure;
  const ScoreResult& scores = input.protein->scores;
  const std::vector<Chain> chains = DrawnRanges(input);
  int64_t total = 0;
  for (const Chain& c : chains) total += RangeSize(c);
  const ChartGeometry g(LayoutChart(input, 0).plot, VerticalScale{0.0f, 1.0f}, static_cast<int>(total));
  if (total == 0 || x < g.X(0) || x > g.X(total)) return {};
  // The residue whose point is nearest: positions are drawn at X(p), left to right.
  int64_t lo = 0, hi = total - 1;
  while (lo < hi) {
    const int64_t mid = (lo + hi) / 2;
    if (g.X(mid + 1) <= x)
      lo = mid + 1;
    else
      hi = mid;
  }
  int64_t position = lo;
  if (position + 1 < total && x - g.X(position) > g.X(position + 1) - x) ++position;
  for (const Chain& chain : chains) {
    const int64_t n = std::max(0, chain.lastResidue - chain.firstResidue + 1);
    if (position >= n) {
      position -= n;
      continue;
    }
    const int32_t index = chain.firstResidue + static_cast<int32_t>(position);
    const Residue& r = s.residues[index];
    std::string text =
        "Chain " + s.ChainNameOfResidue(index) + "  " + r.name + " " + std::to_string(r.resSeq);
    if (r.iCode != ' ' && r.iCode != '\0') text += r.iCode;
    const Chain whole = ChainHolding(s, chain);
    for (int k = 0; k < 3; ++k) {
      const ChartSeriesOptions& series = input.options.series[k];
      if (!series.show) continue;
      const double v =
          MovingAverage(scores, chain, k, series.movingAverage, &whole)[static_cast<size_t>(position)];
      text += std::string("  ") + kSeriesNames[k] + " " + FormatFixed(v, 3);
    }
    if (r.secStruct == SecondaryStructure::kHelix) text += "  helix";
    if (r.secStruct == SecondaryStructure::kSheet) text += "  strand";
    const ResidueMembrane m = MembraneAt(*input.protein, index);
    if (m.transmembrane)
      text += "  transmembrane";
    else if (m.kind == SegmentKind::kSignalPeptide)
      text += "  signal peptide";
    if (HasConfidence(s)) text += "  pLDDT " + FormatFixed(s.confidence[index], 1);
    if (BelowWindowTest(*input.protein)[index]) text += "  below the 3D-1D window test";
    return text;
  }
  return {};
}

PlotEdge HitTestPlot(const PlotRect& r, int x, int y) {
  auto near = [](int a, int b, int d) { return a > b - d && a < b + d; };
  if (near(x, r.right, 2) && near(y, r.top, 2)) return PlotEdge::kTopRight;
  if (near(x, r.left, 2) && near(y, r.bottom, 2)) return PlotEdge::kBottomLeft;
  if (near(x, r.left, 2) && near(y, r.top, 2)) return PlotEdge::kTopLeft;
  if (near(x, r.right, 2) && near(y, r.bottom, 2)) return PlotEdge::kBottomRight;
  if (near(x, r.right, 4)) return PlotEdge::kRight;
  if (near(x, r.left, 2)) return PlotEdge::kLeft;
  if (near(y, r.top, 4)) return PlotEdge::kTop;
  if (near(y, r.bottom, 2)) return PlotEdge::kBottom;
  return PlotEdge::kNone;
}

bool DragRightEdge(PlotRect& rect, int x, int scrollWidth) {
  if (x < rect.left + 300) return false;
  if (x > scrollWidth - 30) {
    rect.right = x + 10;
    return true;
  }
  rect.right = x;
  return false;
}

bool DragBottomEdge(PlotRect& rect, int y, int scrollHeight) {
  if (y <= scrollHeight - 30) {
    if (y > rect.top + 100) rect.bottom = y;
    return false;
  }
  rect.bottom += 10;
  return true;
}

ChartInput MakeChartInput(const Protein& protein, bool structureLoaded, const ChartOptions& options,
                          const PlotRect& rect, bool showLegend) {
  ChartInput input;
  input.protein = &protein;
  input.structureLoaded = structureLoaded;
  input.options = options;
  input.showLegend = showLegend;
  input.rect = rect;
  return input;
}

}  // namespace tessmol
