#include "chart/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/text.h"

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

}  // namespace

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

VerticalScale ComputeCurveScale(const ScoreResult& scores, const ChartOptions& options,
                                const std::vector<Chain>& chains) {
  double low = 0.0, high = 0.0;
  for (const Chain& chain : chains) {
    for (int k = 0; k < 3; ++k) {
      if (!options.series[k].show || chain.lastResidue < chain.firstResidue) continue;
      for (double v : MovingAverage(scores, chain, k, options.series[k].movingAverage)) {
        if (!std::isfinite(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  const double pad = (high - low) / 20;
  return {static_cast<float>(low - pad), static_cast<float>(high - low + 2 * pad)};
}

ChartGeometry::ChartGeometry(const PlotRect& rect, const VerticalScale& scale, int residueCount)
    : rect_(rect),
      yMin_(scale.yMin),
      yRange_(scale.yRange > 0.0f ? scale.yRange : 1.0),
      residueCount_(residueCount) {}

int ChartGeometry::Y(double score) const {
  const double b = rect_.bottom;
  return ToPixel((b - 10) - (score - yMin_) * (b - 10 - rect_.top) / yRange_);
}

int ChartGeometry::X(int64_t position) const {
  if (residueCount_ <= 0) return 40;
  const int64_t width = rect_.right - rect_.left;
  return static_cast<int>(40 + (width - 40) * position / residueCount_);
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

std::vector<double> MovingAverage(const ScoreResult& scores, const Chain& chain, int series, int window) {
  window = std::max(window, 1);
  const int behind = window % 2 == 1 ? (window - 1) / 2 : window / 2;
  const int ahead = window % 2 == 1 ? (window - 1) / 2 : window / 2 - 1;
  std::vector<double> values;
  for (int32_t i = chain.firstResidue; i <= chain.lastResidue; ++i) {
    double sum = Score(scores.residues[i], series);
    int added = 1;
    for (int k = 1; k <= behind && i - k >= chain.firstResidue; ++k, ++added)
      sum += Score(scores.residues[i - k], series);
    for (int k = 1; k <= ahead && i + k <= chain.lastResidue; ++k, ++added)
      sum += Score(scores.residues[i + k], series);
    values.push_back(sum / added);
  }
  return values;
}

std::string ScoreLabel(double value) {
  const std::string text = FormatFixed(value);
  return text.substr(0, value >= 0.0 ? 3 : 4);
}

namespace {

const Pen kAxisPen{1, 0, 0, 0};

void DrawFrame(DrawingSurface& surface, const PlotRect& rc) {
  surface.SetPen(kAxisPen);
  surface.MoveTo(rc.right, rc.top);
  surface.LineTo(rc.right, rc.bottom);
  surface.LineTo(rc.left, rc.bottom);
  surface.LineTo(rc.left, rc.top);
  surface.LineTo(rc.right, rc.top);
}

void DrawAxes(DrawingSurface& surface, const PlotRect& rc, int y0) {
  surface.MoveTo(rc.left + 30, y0);
  surface.LineTo(rc.right - rc.left - 10, y0);
  surface.MoveTo(rc.left + 30, rc.top + 10);
  surface.LineTo(rc.left + 30, rc.bottom - 10);
}

// The moving-average curves of one chain, starting at position g0 across the drawn chains.
void DrawSeries(DrawingSurface& surface, const ScoreResult& scores, const ChartOptions& options,
                const Chain& chain, const ChartGeometry& g, int64_t g0, int n) {
  for (int k = 0; k < 3; ++k) {
    const ChartSeriesOptions& series = options.series[k];
    if (!series.show) continue;
    surface.SetPen({series.lineThickness, series.red, series.green, series.blue});
    const std::vector<double> values = MovingAverage(scores, chain, k, series.movingAverage);
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

void DrawTransmembraneBar(DrawingSurface& surface, const TransmembraneResult& transmembrane,
                          const Chain& chain, const ChartGeometry& g, const PlotRect& rc, int64_t g0, int n) {
  surface.SetPen({3, 0, 0, 0});
  for (int i = 0; i < n; ++i) {
    if (!transmembrane.residues[chain.firstResidue + i].transmembrane) continue;
    surface.MoveTo(g.X(g0 + i), rc.top + 10);
    surface.LineTo(g.X(g0 + i + 1), rc.top + 10);
  }
}

// The residues' own numbers along the axis, each label and tick at the x where its
// residue is drawn: the numbers that are multiples of the step, the step the smallest of
// unit, 2 unit, 5 unit, 10 unit, ... at which labels of this chain do not overlap. Where
// the numbering jumps (residues the structure lacks) two short slashes mark the gap.
void DrawResidueTicks(DrawingSurface& surface, const Structure& s, const ChartAxisOptions& axis,
                      const Chain& chain, const ChartGeometry& g, int64_t g0, int y0, int n, int& lastRight) {
  if (!axis.showUnits || !(axis.unitInterval >= 1.0f && axis.unitInterval < 1e9f) || n <= 0) return;
  const double pixelsPerResidue = n > 1 ? static_cast<double>(g.X(g0 + n - 1) - g.X(g0)) / (n - 1) : 1e9;
  int widest = 0;
  for (int i = 0; i < n; ++i) {
    widest = std::max(widest, surface.TextWidth(std::to_string(s.residues[chain.firstResidue + i].resSeq)));
  }
  int64_t step = static_cast<int64_t>(axis.unitInterval);
  // 1, 2, 5 times the unit, then 10, 20, 50 times, ...: until a label fits its spacing.
  for (int64_t base = step, k = 0; step * pixelsPerResidue < widest + 10 && k < 30; ++k) {
    const int64_t scales[3] = {2, 5, 10};
    step = base * scales[k % 3] * static_cast<int64_t>(std::pow(10, k / 3));
  }
  int marks = 0;
  for (int i = 0; i < n && marks < kMaxMarks; ++i) {
    const Residue& r = s.residues[chain.firstResidue + i];
    const int x = g.X(g0 + i);
    const int32_t jump = i > 0 ? r.resSeq - s.residues[chain.firstResidue + i - 1].resSeq : 1;
    if (jump != 1 && jump != 0) {
      const int gap = (x + g.X(g0 + i - 1)) / 2;
      surface.MoveTo(gap - 4, y0 + 6);
      surface.LineTo(gap - 1, y0 - 6);
      surface.MoveTo(gap + 1, y0 + 6);
      surface.LineTo(gap + 4, y0 - 6);
    }
    const bool plain = r.iCode == ' ' || r.iCode == '\0';
    if (!plain || r.resSeq % step != 0) continue;
    const std::string label = std::to_string(r.resSeq);
    const int width = surface.TextWidth(label);
    // Numbers that jump back (2RH1's 1002 after 230), or the last of the chain before,
    // could still meet their neighbour.
    if (x - width / 2 < lastRight + 6) continue;
    surface.Text(x, y0 + 20, label, TextAlign::kCentreTop);
    surface.MoveTo(x, y0);
    surface.LineTo(x, y0 + 10);
    lastRight = x + width / 2;
    ++marks;
  }
}

void DrawScoreLabels(DrawingSurface& surface, const ChartAxisOptions& axis, const ChartGeometry& g,
                     const PlotRect& rc) {
  if (!axis.showUnits || !(axis.unitInterval > 0.0f)) return;
  // When the interval is below a pixel (a wild score stretches the scale), several labels
  // fall on one row and only print over each other: the first one of a row is drawn.
  int lastY = std::numeric_limits<int>::min();
  const auto label = [&](double v) {
    const int y = g.Y(v);
    if (y == lastY) return;
    surface.Text(25, y - 10, ScoreLabel(v), TextAlign::kCentreTop);
    lastY = y;
  };
  double v = 0.0;
  for (int marks = 0; g.Y(v) - 10 > rc.top + 10 && marks < kMaxMarks; ++marks) {
    label(v);
    v += axis.unitInterval;
  }
  v = -axis.unitInterval;
  lastY = g.Y(0.0);
  for (int marks = 0; g.Y(v) - 10 < rc.bottom - 10 && marks < kMaxMarks; ++marks) {
    label(v);
    v -= axis.unitInterval;
  }
}

void DrawLegend(DrawingSurface& surface, const ChartOptions& options, const PlotRect& rc) {
  int d = 0;
  for (int k = 2; k >= 0; --k) {
    const ChartSeriesOptions& series = options.series[k];
    if (!series.show) continue;
    surface.SetPen({series.lineThickness, series.red, series.green, series.blue});
    surface.MoveTo(50, rc.bottom - 40 - d);
    surface.LineTo(70, rc.bottom - 40 - d);
    surface.Text(80, rc.bottom - 50 - d, kSeriesNames[k], TextAlign::kLeftTop);
    d += 20;
  }
}

}  // namespace

namespace {

// A figure's title, axis titles and legend around the plot; returns the plot's frame.
PlotRect DrawFigureFrame(DrawingSurface& surface, const ChartInput& input) {
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
  surface.Text(outer.left + 20, outer.top + 22,
               window > 0 ? "Score, moving average of " + std::to_string(window) : "Score, moving averages",
               TextAlign::kLeftTop);
  if (input.showLegend) {
    std::vector<std::string> names;
    int width = 0;
    for (int k = 0; k < 3; ++k) {
      names.push_back(options.series[k].show ? std::string(kSeriesNames[k]) + ", window " +
                                                   std::to_string(options.series[k].movingAverage)
                                             : "");
      if (!names.back().empty()) width += 30 + surface.TextWidth(names.back()) + 20;
    }
    int x = outer.right - width;
    for (int k = 0; k < 3; ++k) {
      if (names[k].empty()) continue;
      const ChartSeriesOptions& series = options.series[k];
      surface.SetPen({series.lineThickness, series.red, series.green, series.blue});
      surface.MoveTo(x, outer.top + 30);
      surface.LineTo(x + 20, outer.top + 30);
      surface.Text(x + 30, outer.top + 22, names[k], TextAlign::kLeftTop);
      x += 30 + surface.TextWidth(names[k]) + 20;
    }
    surface.SetPen(kAxisPen);
  }
  surface.Text((outer.left + outer.right) / 2, outer.bottom - 16, "Residue", TextAlign::kCentreTop);
  return {outer.left, outer.top + 44, outer.right, outer.bottom - 20};
}

}  // namespace

void DrawChart(DrawingSurface& surface, const ChartInput& input) {
  const bool figure = !input.title.empty();
  const PlotRect frame = figure ? DrawFigureFrame(surface, input) : input.rect;
  DrawFrame(surface, frame);
  if (!input.structureLoaded || input.protein == nullptr) return;
  const Structure& s = input.protein->structure;
  const ScoreResult& scores = input.protein->scores;
  const ChartOptions& options = input.options;
  // A figure's curves start below the transmembrane bar; the pane keeps its layout.
  PlotRect rc = frame;
  if (figure) rc.top += 16;

  const std::vector<Chain> chains = ChainsToDraw(s, options.axes[0]);
  int64_t total = 0;
  for (const Chain& c : chains) total += std::max(0, c.lastResidue - c.firstResidue + 1);
  const VerticalScale scale = figure && options.axes[1].automatic
                                  ? ComputeCurveScale(scores, options, chains)
                                  : ComputeVerticalScale(scores, options.axes[1]);
  const ChartGeometry g(rc, scale, static_cast<int>(total));
  const int y0 = g.Y(0.0);
  DrawAxes(surface, rc, y0);

  int64_t g0 = 0;
  int lastLabelRight = std::numeric_limits<int>::min();  // labels never overlap, across chains too
  for (const Chain& chain : chains) {
    const int n = std::max(0, chain.lastResidue - chain.firstResidue + 1);
    if (n == 0 || total == 0) continue;
    const int xc = g.X(g0);
    DrawSeries(surface, scores, options, chain, g, g0, n);
    DrawTransmembraneBar(surface, input.protein->transmembrane, chain, g, frame, g0, n);
    g0 += n;
    surface.SetPen(kAxisPen);
    surface.Text(xc, y0 + 40, " Chain " + s.ChainNameOfResidue(chain.firstResidue) + " -->",
                 TextAlign::kLeftTop);
    surface.MoveTo(xc, frame.top + 10);
    surface.LineTo(xc, rc.bottom - 10);
    DrawResidueTicks(surface, s, options.axes[0], chain, g, g0 - n, y0, n, lastLabelRight);
    DrawScoreLabels(surface, options.axes[1], g, rc);
  }
  if (input.showLegend && !figure) DrawLegend(surface, options, rc);
}

std::string HoverText(const ChartInput& input, int x) {
  if (!input.structureLoaded || input.protein == nullptr || !input.title.empty()) return {};
  const Structure& s = input.protein->structure;
  const ScoreResult& scores = input.protein->scores;
  const std::vector<Chain> chains = ChainsToDraw(s, input.options.axes[0]);
  int64_t total = 0;
  for (const Chain& c : chains) total += std::max(0, c.lastResidue - c.firstResidue + 1);
  const ChartGeometry g(input.rect, ComputeVerticalScale(scores, input.options.axes[1]),
                        static_cast<int>(total));
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
    for (int k = 0; k < 3; ++k) {
      const ChartSeriesOptions& series = input.options.series[k];
      if (!series.show) continue;
      const double v = MovingAverage(scores, chain, k, series.movingAverage)[static_cast<size_t>(position)];
      text += std::string("  ") + kSeriesNames[k] + " " + FormatFixed(v, 3);
    }
    if (input.protein->transmembrane.residues[index].transmembrane) text += "  transmembrane";
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
