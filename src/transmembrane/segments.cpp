#include "transmembrane/segments.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

#include "base/text.h"
#include "model/structure.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {

FileStatus LoadSegmentParams(const std::string& path, SegmentParams& params) {
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  SegmentParams read = params;
  bool scale = false;
  int lineNumber = 0;
  std::string line;
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> f = SplitFields(line);
    const std::string& key = f[0];
    if (key.empty() || key[0] == '#') continue;
    if (key == "SCALE" || key == "CAPSCALE" || key == "FLANKSCALE") {
      if (f.size() < 1 + kSegmentScaleSize)
        return FileStatus::Format(path, lineNumber, key + " needs 21 values");
      auto& target = key == "SCALE" ? read.scale : key == "CAPSCALE" ? read.capScale : read.flankScale;
      for (int i = 0; i < kSegmentScaleSize; ++i) target[i] = ParseFloat(f[1 + i]);
      scale = scale || key == "SCALE";
      continue;
    }
    if (f.size() < 2) return FileStatus::Format(path, lineNumber, key + " without a value");
    if (key == "WINDOW")
      read.window = ParseInt(f[1]);
    else if (key == "BIAS")
      read.bias = ParseFloat(f[1]);
    else if (key == "COST")
      read.cost = ParseFloat(f[1]);
    else if (key == "ANCHOR")
      read.anchor = ParseFloat(f[1]);
    else if (key == "MINLENGTH")
      read.minLength = ParseInt(f[1]);
    else if (key == "CAPLENGTH")
      read.capLength = ParseInt(f[1]);
    else if (key == "FLANKLENGTH")
      read.flankLength = ParseInt(f[1]);
    else if (key == "MAXLENGTH")
      read.maxLength = ParseInt(f[1]);
    else if (key == "PREFERREDLENGTH")
      read.preferredLength = ParseInt(f[1]);
    else if (key == "LENGTHPENALTY")
      read.lengthPenalty = ParseFloat(f[1]);
    else if (key == "MINLOOP")
      read.minLoop = ParseInt(f[1]);
    else if (key == "STRUCTUREWEIGHT")
      read.structureWeight = ParseFloat(f[1]);
    else if (key == "TOPOLOGYWEIGHT")
      read.topologyWeight = ParseFloat(f[1]);
    else if (key == "TOPOLOGYREACH")
      read.topologyReach = ParseInt(f[1]);
    else
      return FileStatus::Format(path, lineNumber, "unknown key " + key);
  }
  if (ReadFailed(in)) return FileStatus::Unreadable(path);
  if (!scale) return FileStatus::Format(path, lineNumber, "no SCALE line");
  if (read.window < 1 || read.minLength < 1 || read.maxLength < read.minLength || read.minLoop < 0)
    return FileStatus::Format(path, lineNumber, "window, lengths or loop out of range");
  params = read;
  return FileStatus::Ok(path);
}

FileStatus SaveSegmentParams(const std::string& path, const SegmentParams& p, const std::string& comment) {
  return WriteFileAtomically(path, [&](std::ostream& out) {
    out << comment;
    auto scale = [&](const char* key, const std::array<float, kSegmentScaleSize>& values) {
      out << key;
      for (float v : values) out << '\t' << FormatNumber(v);
      out << '\n';
    };
    scale("SCALE", p.scale);
    scale("CAPSCALE", p.capScale);
    scale("FLANKSCALE", p.flankScale);
    out << "CAPLENGTH\t" << p.capLength << "\nFLANKLENGTH\t" << p.flankLength;
    out << "\nWINDOW\t" << p.window << "\nBIAS\t" << FormatNumber(p.bias) << "\nCOST\t"
        << FormatNumber(p.cost) << "\nANCHOR\t" << FormatNumber(p.anchor) << "\nMINLENGTH\t" << p.minLength
        << "\nMAXLENGTH\t" << p.maxLength << "\nPREFERREDLENGTH\t" << p.preferredLength << "\nLENGTHPENALTY\t"
        << FormatNumber(p.lengthPenalty) << "\nMINLOOP\t" << p.minLoop << "\nSTRUCTUREWEIGHT\t"
        << FormatNumber(p.structureWeight) << "\nTOPOLOGYWEIGHT\t" << FormatNumber(p.topologyWeight)
        << "\nTOPOLOGYREACH\t" << p.topologyReach << '\n';
  });
}

std::vector<int> TypesOfSequence(const std::string& sequence) {
  std::vector<int> types;
  types.reserve(sequence.size());
  for (char c : sequence) types.push_back(ResidueTypeOf(ResidueNameForLetter(c)));
  return types;
}

std::vector<float> ResidueScores(const std::vector<int>& types,
                                 const std::array<float, kSegmentScaleSize>& scale) {
  std::vector<float> scores;
  scores.reserve(types.size());
  for (int t : types) scores.push_back(scale[t >= 0 && t < 20 ? t : 20]);
  return scores;
}

SegmentTracks MakeTracks(const std::vector<int>& types, const SegmentParams& p,
                         const std::vector<float>* extra) {
  SegmentTracks tracks;
  std::vector<float> core = ResidueScores(types, p.scale);
  if (extra) {
    for (size_t i = 0; i < core.size() && i < extra->size(); ++i) core[i] += (*extra)[i];
  }
  tracks.core = Smooth(core, p.window);
  if (p.capLength > 0) tracks.cap = ResidueScores(types, p.capScale);
  if (p.flankLength > 0) tracks.flank = ResidueScores(types, p.flankScale);
  if (p.topologyWeight != 0.0f) {
    for (int t : types) tracks.positive.push_back(t == kLys || t == kArg ? 1.0f : 0.0f);
  }
  return tracks;
}

std::vector<float> Smooth(const std::vector<float>& scores, int window) {
  const int n = static_cast<int>(scores.size());
  const int half = std::max(window, 1) / 2;
  std::vector<double> prefix(scores.size() + 1, 0.0);
  for (int i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + scores[i];
  std::vector<float> out(scores.size());
  for (int i = 0; i < n; ++i) {
    const int from = std::max(0, i - half), to = std::min(n - 1, i + half);
    out[i] = static_cast<float>((prefix[to + 1] - prefix[from]) / (to - from + 1));
  }
  return out;
}

namespace {

// Prefix sums of the three tracks, for a segment's value in constant time.
struct Sums {
  std::vector<double> core, cap, flank, positive;
  int n = 0;

  Sums(const SegmentTracks& t, const SegmentParams& p) : n(static_cast<int>(t.core.size())) {
    auto prefix = [&](const std::vector<float>& v, double shift) {
      std::vector<double> out(v.size() + 1, 0.0);
      for (size_t i = 0; i < v.size(); ++i) out[i + 1] = out[i] + v[i] - shift;
      return out;
    };
    core = prefix(t.core, p.bias);
    if (!t.cap.empty()) cap = prefix(t.cap, 0.0);
    if (!t.flank.empty()) flank = prefix(t.flank, 0.0);
    if (!t.positive.empty()) positive = prefix(t.positive, 0.0);
  }

  // What the loops beside a segment over [start, end) say for entering it from the inside:
  // positive residues before it, less those after it, times the weight. Entering from the
  // outside turns the sign.
  double Topology(int start, int end, const SegmentParams& p) const {
    if (positive.empty()) return 0.0;
    return p.topologyWeight * (Range(positive, std::max(0, start - p.topologyReach), start) -
                               Range(positive, end, std::min(n, end + p.topologyReach)));
  }

  static double Range(const std::vector<double>& s, int from, int to) {  // [from, to)
    return to > from ? s[to] - s[from] : 0.0;
  }

  // The value of a segment over [start, end): its core, its caps in place of the core at
  // its ends, and its flanks, less the cost.
  double Value(int start, int end, const SegmentParams& p) const {
    double v =
        Range(core, start, end) - p.cost - p.lengthPenalty * std::max(0, end - start - p.preferredLength);
    if (!cap.empty()) {
      const int c = std::min(p.capLength, (end - start) / 2);
      v += Range(cap, start, start + c) + Range(cap, end - c, end) -
           (Range(core, start, start + c) + Range(core, end - c, end));
    }
    if (!flank.empty()) {
      v += Range(flank, std::max(0, start - p.flankLength), start) +
           Range(flank, end, std::min(n, end + p.flankLength));
    }
    return v;
  }
};

}  // namespace

std::vector<TmSegment> BestSegments(const SegmentTracks& tracks, const SegmentParams& p) {
  const Sums sums(tracks, p);
  const int n = sums.n;
  // best[2i + side]: the best value over residues 0..i-1 with the chain on `side` (0
  // inside, 1 outside) after them; from[2i + side]: the length of the segment that ends at
  // i-1 in that set, or 0 when residue i-1 lies outside every segment. Before the first
  // segment the chain may be on either side. Without the topology term both sides agree.
  std::vector<double> best(2 * (static_cast<size_t>(n) + 1), 0.0);
  std::vector<int> from(2 * (static_cast<size_t>(n) + 1), 0);
  for (int i = 1; i <= n; ++i) {
    for (int side = 0; side < 2; ++side) {
      best[2 * i + side] = best[2 * (i - 1) + side];
      for (int length = p.minLength; length <= p.maxLength && length <= i; ++length) {
        const int start = i - length;
        // The loop before the segment: minLoop residues, unless no segment comes before.
        const int before = std::max(0, start - p.minLoop);
        // The segment ends on `side`, so it was entered from the other one.
        const double topology = sums.Topology(start, i, p) * (side == 1 ? 1.0 : -1.0);
        const double value = best[2 * before + (1 - side)] + sums.Value(start, i, p) + topology;
        if (value > best[2 * i + side]) {
          best[2 * i + side] = value;
          from[2 * i + side] = length;
        }
      }
    }
  }
  std::vector<TmSegment> segments;
  int side = best[2 * n + 1] > best[2 * n] ? 1 : 0;
  for (int i = n; i > 0;) {
    const int length = from[2 * i + side];
    if (length == 0) {
      --i;
      continue;
    }
    const int start = i - length;
    segments.push_back({start, i - 1, side == 1});
    side = 1 - side;
    i = std::max(0, start - p.minLoop);
  }
  std::reverse(segments.begin(), segments.end());
  double strongest = -std::numeric_limits<double>::infinity();
  for (const TmSegment& s : segments) strongest = std::max(strongest, sums.Value(s.first, s.last + 1, p));
  if (segments.empty() || strongest < p.anchor) return {};
  return segments;
}

double SegmentSetValue(const SegmentTracks& tracks, const std::vector<TmSegment>& segments,
                       const SegmentParams& p) {
  const Sums sums(tracks, p);
  double value = 0.0, topology = 0.0;
  for (size_t k = 0; k < segments.size(); ++k) {
    value += sums.Value(segments[k].first, segments[k].last + 1, p);
    // Entered from the inside when the first one is and k is even: sides alternate.
    topology += (k % 2 == 0 ? 1.0 : -1.0) * sums.Topology(segments[k].first, segments[k].last + 1, p);
  }
  return value + std::fabs(topology);
}

void OrientSegments(const std::vector<int>& types, std::vector<TmSegment>& segments) {
  if (segments.empty()) return;
  // Positive residues of the loops on each side, counting from the N-terminal loop as
  // side 0; loops alternate sides across every segment.
  long positive[2] = {0, 0};
  int loopStart = 0;
  for (size_t k = 0; k <= segments.size(); ++k) {
    const int loopEnd = k < segments.size() ? segments[k].first : static_cast<int>(types.size());
    for (int i = loopStart; i < loopEnd; ++i) {
      if (types[i] == kLys || types[i] == kArg) ++positive[k % 2];
    }
    if (k < segments.size()) loopStart = segments[k].last + 1;
  }
  const bool nTerminusInside = positive[0] >= positive[1];
  for (size_t k = 0; k < segments.size(); ++k) segments[k].nInside = (k % 2 == 0) == nTerminusInside;
}

std::vector<TmSegment> PredictSegments(const std::string& sequence, const SegmentParams& params) {
  const std::vector<int> types = TypesOfSequence(sequence);
  std::vector<TmSegment> segments = BestSegments(MakeTracks(types, params), params);
  if (params.topologyWeight == 0.0f) OrientSegments(types, segments);
  return segments;
}

}  // namespace tessmol
