#include "transmembrane/segments.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>

#include "base/text.h"
#include "model/structure.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {

namespace {

// Hydropathy by Kyte and Doolittle (1982), in the order of the residue types.
constexpr float kKyteDoolittle[20] = {-0.9f, 2.8f,  -1.3f, 3.8f,  4.5f,  4.2f,  1.9f,  1.8f,  -0.4f, -1.6f,
                                      2.5f,  -0.7f, -0.8f, -3.5f, -3.5f, -3.5f, -3.5f, -3.2f, -3.9f, -4.5f};

// How common each residue type is (UniProtKB/Swiss-Prot composition, per cent), in the
// order of the residue types: what an unknown residue is expected to be.
constexpr float kComposition[20] = {1.10f, 3.86f, 2.92f, 9.65f, 5.91f, 6.86f, 2.41f, 8.25f, 7.07f, 4.74f,
                                    1.38f, 5.36f, 6.63f, 3.93f, 4.06f, 6.72f, 5.46f, 2.27f, 5.80f, 5.53f};

bool Known(int type) {
  return type >= 0 && type < 20;
}

// The mean hydropathy of the known residues among first..last (0 when none is known): an
// unknown residue is no evidence either way.
double MeanHydropathy(const std::vector<int>& types, int first, int last) {
  double sum = 0.0;
  int known = 0;
  for (int i = first; i <= last; ++i) {
    if (!Known(types[i])) continue;
    sum += kKyteDoolittle[types[i]];
    ++known;
  }
  return known > 0 ? sum / known : 0.0;
}

// A label model whose weights for an unknown residue (X, and letters that are no residue)
// are, at every offset, the weights of the twenty residues averaged by their composition:
// the contribution a residue of unknown type is expected to make. The fitted weights of
// "other" came from a few unknown residues in loops of the training chains, and they made
// one X in a helix count as evidence against it.
LabelModel WithUnknownExpected(const LabelModel& model) {
  LabelModel out = model;
  double total = 0.0;
  for (float f : kComposition) total += f;
  for (WindowModel& label : out.labels) {
    if (label.empty()) continue;
    for (int offset = -kWindowHalf; offset <= kWindowHalf; ++offset) {
      double expected = 0.0;
      for (int type = 0; type < 20; ++type) expected += kComposition[type] * label.At(offset, type);
      label.At(offset, 20) = static_cast<float>(expected / total);
    }
  }
  return out;
}

}  // namespace

FileStatus LoadSegmentParams(const std::string& path, SegmentParams& params) {
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  SegmentParams read = params;
  read.others.clear();
  const SegmentParams fresh = read;  // where each further member starts
  std::vector<SegmentParams> members;
  bool scale = false;
  int lineNumber = 0;
  // Whether one member's keys make a model the method can run.
  const auto check = [&](const SegmentParams& m) -> FileStatus {
    if (!scale && m.membraneModel.empty() && m.labelModel.empty())
      return FileStatus::Format(path, lineNumber, "no SCALE, MEMBRANEMODEL or LABELMODEL line");
    for (int c = 0; c < kLabelCount; ++c) {
      const bool core = c < kCoreLabelCount;
      if (m.labelModel.labels[c].empty() != (core ? m.labelModel.empty() : !m.labelModel.caps()))
        return FileStatus::Format(
            path, lineNumber, core ? "LABELMODELI, O, M and S go together" : "LABELMODELC and E go together");
    }
    if (m.labelModel.empty() && m.labelModel.caps())
      return FileStatus::Format(path, lineNumber, "LABELMODELC and E need LABELMODELI, O, M and S");
    if (m.signalMin < 1 || m.signalMax < m.signalMin || m.signalMature < 0)
      return FileStatus::Format(path, lineNumber, "signal peptide lengths out of range");
    if (m.window < 1 || m.minLength < 1 || m.maxLength < m.minLength || m.minLoop < 0)
      return FileStatus::Format(path, lineNumber, "window, lengths or loop out of range");
    if (m.isolatedGap < 0 || !std::isfinite(m.isolatedHydropathy))
      return FileStatus::Format(path, lineNumber, "ISOLATEDGAP or ISOLATEDHYDROPATHY out of range");
    return FileStatus::Ok(path);
  };
  std::string line;
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> f = SplitFields(line);
    const std::string& key = f[0];
    if (key.empty() || key[0] == '#') continue;
    if (key == "MEMBER") {
      // Members are numbered from 2 (the keys before the first MEMBER line are member 1).
      if (f.size() < 2 || ParseInt(f[1]) != static_cast<int>(members.size()) + 2)
        return FileStatus::Format(
            path, lineNumber, "MEMBER needs the next member's number, " + std::to_string(members.size() + 2));
      if (const FileStatus status = check(read); !status) return status;
      members.push_back(std::move(read));
      read = fresh;
      scale = false;
      continue;
    }
    if (key == "SCALE" || key == "CAPSCALE" || key == "FLANKSCALE") {
      if (f.size() < 1 + kSegmentScaleSize)
        return FileStatus::Format(path, lineNumber, key + " needs 21 values");
      auto& target = key == "SCALE" ? read.scale : key == "CAPSCALE" ? read.capScale : read.flankScale;
      for (int i = 0; i < kSegmentScaleSize; ++i) target[i] = ParseFloat(f[1 + i]);
      scale = scale || key == "SCALE";
      continue;
    }
    if (key.size() == 11 && key.rfind("LABELMODEL", 0) == 0) {
      const size_t label = std::string(kLabelKeys).find(key[10]);
      if (label == std::string::npos) return FileStatus::Format(path, lineNumber, "unknown key " + key);
      if (f.size() < 1 + kLabelModelSize)
        return FileStatus::Format(path, lineNumber,
                                  key + " needs " + std::to_string(kLabelModelSize) + " values");
      std::vector<float>& target = read.labelModel.labels[label].weights;
      target.assign(kLabelModelSize, 0.0f);
      for (int i = 0; i < kLabelModelSize; ++i) target[i] = ParseFloat(f[1 + i]);
      continue;
    }
    if (key == "JOINTSIGNALDECISION" || key == "JOINTCHAINMODEL") {
      const size_t size = key == "JOINTCHAINMODEL" ? kJointChainFeatureCount : kSignalFeatureCount;
      // The GPI feature came after the chain decision's first nine: a file fitted before it
      // gives it no weight.
      const size_t needed = key == "JOINTCHAINMODEL" ? kChainFeatureCount + 1 : size;
      if (f.size() < 1 + needed)
        return FileStatus::Format(path, lineNumber, key + " needs " + std::to_string(size) + " values");
      std::vector<float>& target = key == "JOINTCHAINMODEL" ? read.jointChainModel : read.jointSignalDecision;
      target.assign(size, 0.0f);
      for (size_t i = 0; i < size && 1 + i < f.size(); ++i) target[i] = ParseFloat(f[1 + i]);
      continue;
    }
    if (key == "MEMBRANEMODEL" || key == "SIGNALMODEL" || key == "CHAINMODEL" || key == "SIGNALDECISION") {
      const size_t size = key == "CHAINMODEL"       ? kChainFeatureCount
                          : key == "SIGNALDECISION" ? kSignalFeatureCount
                                                    : kWindowModelSize;
      // The decisions' later features came after their first eight: a file fitted before
      // them gives those no weight.
      const size_t needed = key == "CHAINMODEL" || key == "SIGNALDECISION" ? 8 : size;
      if (f.size() < 1 + needed)
        return FileStatus::Format(path, lineNumber, key + " needs " + std::to_string(size) + " values");
      std::vector<float>& target = key == "MEMBRANEMODEL"    ? read.membraneModel.weights
                                   : key == "SIGNALMODEL"    ? read.signalModel.weights
                                   : key == "SIGNALDECISION" ? read.signalDecision
                                                             : read.chainModel;
      target.assign(size, 0.0f);
      for (size_t i = 0; i < size && 1 + i < f.size(); ++i) target[i] = ParseFloat(f[1 + i]);
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
    else if (key == "SIGNALMIN")
      read.signalMin = ParseInt(f[1]);
    else if (key == "SIGNALMAX")
      read.signalMax = ParseInt(f[1]);
    else if (key == "SIGNALMATURE")
      read.signalMature = ParseInt(f[1]);
    else if (key == "SIGNALTHRESHOLD")
      read.signalThreshold = ParseFloat(f[1]);
    else if (key == "SIGNALBIAS")
      read.signalBias = ParseFloat(f[1]);
    else if (key == "SIGNALCOST")
      read.signalCost = ParseFloat(f[1]);
    else if (key == "SIGNALLOOP")
      read.signalLoop = ParseInt(f[1]);
    else if (key == "MEMBRANEBIAS")
      read.membraneBias = ParseFloat(f[1]);
    else if (key == "ISOLATEDGAP")
      read.isolatedGap = ParseInt(f[1]);
    else if (key == "ISOLATEDHYDROPATHY")
      read.isolatedHydropathy = ParseFloat(f[1]);
    else
      return FileStatus::Format(path, lineNumber, "unknown key " + key);
  }
  if (ReadFailed(in)) return FileStatus::Unreadable(path);
  if (const FileStatus status = check(read); !status) return status;
  members.push_back(std::move(read));
  params = std::move(members.front());
  params.others.assign(std::make_move_iterator(members.begin() + 1), std::make_move_iterator(members.end()));
  return FileStatus::Ok(path);
}

namespace {

// One member's keys.
void WriteMember(std::ostream& out, const SegmentParams& p) {
  auto scale = [&](const char* key, const std::array<float, kSegmentScaleSize>& values) {
    out << key;
    for (float v : values) out << '\t' << FormatNumber(v);
    out << '\n';
  };
  scale("SCALE", p.scale);
  scale("CAPSCALE", p.capScale);
  scale("FLANKSCALE", p.flankScale);
  out << "CAPLENGTH\t" << p.capLength << "\nFLANKLENGTH\t" << p.flankLength;
  out << "\nWINDOW\t" << p.window << "\nBIAS\t" << FormatNumber(p.bias) << "\nCOST\t" << FormatNumber(p.cost)
      << "\nANCHOR\t" << FormatNumber(p.anchor) << "\nMINLENGTH\t" << p.minLength << "\nMAXLENGTH\t"
      << p.maxLength << "\nPREFERREDLENGTH\t" << p.preferredLength << "\nLENGTHPENALTY\t"
      << FormatNumber(p.lengthPenalty) << "\nMINLOOP\t" << p.minLoop << "\nSTRUCTUREWEIGHT\t"
      << FormatNumber(p.structureWeight) << "\nTOPOLOGYWEIGHT\t" << FormatNumber(p.topologyWeight)
      << "\nTOPOLOGYREACH\t" << p.topologyReach << '\n';
  auto model = [&](const char* key, const std::vector<float>& values) {
    if (values.empty()) return;
    out << key;
    for (float v : values) out << '\t' << FormatNumber(v);
    out << '\n';
  };
  model("MEMBRANEMODEL", p.membraneModel.weights);
  model("SIGNALMODEL", p.signalModel.weights);
  model("CHAINMODEL", p.chainModel);
  model("SIGNALDECISION", p.signalDecision);
  if (!p.labelModel.empty()) {
    for (int c = 0; c < kLabelCount; ++c)
      model((std::string("LABELMODEL") + kLabelKeys[c]).c_str(), p.labelModel.labels[c].weights);
    model("JOINTSIGNALDECISION", p.jointSignalDecision);
    model("JOINTCHAINMODEL", p.jointChainModel);
    out << "SIGNALBIAS\t" << FormatNumber(p.signalBias) << "\nSIGNALCOST\t" << FormatNumber(p.signalCost)
        << "\nSIGNALLOOP\t" << p.signalLoop << "\nMEMBRANEBIAS\t" << FormatNumber(p.membraneBias) << '\n';
    if (p.isolatedGap > 0) {
      out << "ISOLATEDGAP\t" << p.isolatedGap << "\nISOLATEDHYDROPATHY\t"
          << FormatNumber(p.isolatedHydropathy) << '\n';
    }
  }
  if (!p.signalModel.empty() || !p.labelModel.empty()) {
    out << "SIGNALMIN\t" << p.signalMin << "\nSIGNALMAX\t" << p.signalMax << "\nSIGNALMATURE\t"
        << p.signalMature << "\nSIGNALTHRESHOLD\t" << FormatNumber(p.signalThreshold) << '\n';
  }
}

}  // namespace

FileStatus SaveSegmentParams(const std::string& path, const SegmentParams& p, const std::string& comment) {
  return WriteFileAtomically(path, [&](std::ostream& out) {
    out << comment;
    WriteMember(out, p);
    for (size_t k = 0; k < p.others.size(); ++k) {
      out << "MEMBER\t" << k + 2 << '\n';
      WriteMember(out, p.others[k]);
    }
  });
}

std::vector<int> TypesOfSequence(const std::string& sequence) {
  // Each byte's type, looked up once: the names behind the letters are strings.
  static const std::array<int, 256> kTypeOfByte = [] {
    std::array<int, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = ResidueTypeOf(ResidueNameForLetter(static_cast<char>(c)));
    // The model builder needs a side chain for X and builds alanine; the segmentation
    // needs evidence, and X gives none.
    table['X'] = table['x'] = ResidueTypeOf("UNK");
    return table;
  }();
  std::vector<int> types;
  types.reserve(sequence.size());
  for (char c : sequence) types.push_back(kTypeOfByte[static_cast<unsigned char>(c)]);
  return types;
}

std::vector<float> ResidueScores(const std::vector<int>& types,
                                 const std::array<float, kSegmentScaleSize>& scale) {
  std::vector<float> scores;
  scores.reserve(types.size());
  for (int t : types) scores.push_back(scale[t >= 0 && t < 20 ? t : 20]);
  return scores;
}

std::vector<float> WindowLogOdds(const std::vector<int>& types, const WindowModel& model) {
  const int n = static_cast<int>(types.size());
  const float* w = model.weights.data();
  const float* position = w + (2 * kWindowHalf + 1) * kWindowTypes;
  std::vector<float> out(types.size());
  // The chain's types with kWindowHalf "beyond the end" on each side: the inner loop has
  // no test for the ends.
  std::vector<int> padded(types.size() + 2 * kWindowHalf, kWindowTypes - 1);
  for (int i = 0; i < n; ++i) padded[i + kWindowHalf] = Known(types[i]) ? types[i] : 20;
  for (int i = 0; i < n; ++i) {
    float v = model.weights.back();
    const int* t = padded.data() + i;
    for (int k = 0; k <= 2 * kWindowHalf; ++k) v += w[k * kWindowTypes + t[k]];
    if (i / kPositionBinWidth < kPositionBins) v += position[i / kPositionBinWidth];
    out[i] = v;
  }
  return out;
}

SegmentTracks MakeTracks(const std::vector<int>& types, const SegmentParams& p,
                         const std::vector<float>* extra) {
  SegmentTracks tracks;
  std::vector<float> core =
      p.membraneModel.empty() ? ResidueScores(types, p.scale) : WindowLogOdds(types, p.membraneModel);
  if (extra) {
    for (size_t i = 0; i < core.size() && i < extra->size(); ++i) core[i] += (*extra)[i];
  }
  tracks.core = Smooth(core, p.window);
  if (!p.membraneModel.empty()) {
    // The window model has seen the caps and flanks already.
    if (p.topologyWeight != 0.0f) {
      for (int t : types) tracks.positive.push_back(t == kLys || t == kArg ? 1.0f : 0.0f);
    }
    return tracks;
  }
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
  if (segments.empty() || (p.chainModel.empty() && strongest < p.anchor)) return {};
  return segments;
}

std::vector<double> SegmentValues(const SegmentTracks& tracks, const std::vector<TmSegment>& segments,
                                  const SegmentParams& p) {
  const Sums sums(tracks, p);
  std::vector<double> values;
  for (const TmSegment& s : segments) values.push_back(sums.Value(s.first, s.last + 1, p));
  return values;
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

std::array<float, kChainFeatureCount> ChainFeatures(const std::vector<int>& types, int signalEnd,
                                                    const std::vector<TmSegment>& segments,
                                                    const std::vector<double>& values) {
  std::array<float, kChainFeatureCount> f{};
  f[0] = 1.0f;
  f[7] = signalEnd > 0 ? 1.0f : 0.0f;
  if (segments.empty()) {
    f[1] = f[2] = -10.0f;
    return f;
  }
  size_t strongest = 0;
  for (size_t k = 1; k < values.size(); ++k) {
    if (values[k] > values[strongest]) strongest = k;
  }
  double second = -10.0;
  for (size_t k = 0; k < values.size(); ++k) {
    if (k != strongest) second = std::max(second, values[k]);
  }
  const TmSegment& s = segments[strongest];
  f[1] = static_cast<float>(values[strongest]);
  f[2] = static_cast<float>(second);
  f[3] = static_cast<float>(std::min<size_t>(segments.size(), 15));
  f[4] = static_cast<float>(s.last - s.first + 1);
  f[5] = static_cast<float>(MeanHydropathy(types, s.first, s.last));
  f[6] = s.first - signalEnd < 10 ? 1.0f : 0.0f;
  return f;
}

double ChainLogOdds(const std::array<float, kChainFeatureCount>& features, const std::vector<float>& model) {
  double v = 0.0;
  for (size_t k = 0; k < features.size() && k < model.size(); ++k) v += double(features[k]) * model[k];
  return v;
}

double SignalPeptideScore(const std::vector<int>& types, const SegmentParams& p, int& end) {
  end = 0;
  double best = -std::numeric_limits<double>::infinity();
  const int last = std::min(p.signalMax, static_cast<int>(types.size()) - p.signalMature);
  if (p.signalModel.empty() || last < p.signalMin) return best;
  // Only the chain's first residues matter: score them alone.
  const size_t reach = std::min(types.size(), static_cast<size_t>(p.signalMax + kWindowHalf));
  const std::vector<float> logOdds =
      WindowLogOdds(std::vector<int>(types.begin(), types.begin() + static_cast<long>(reach)), p.signalModel);
  double sum = 0.0;
  for (int i = 0; i < last; ++i) {
    sum += logOdds[i];
    if (i + 1 >= p.signalMin && sum > best) {
      best = sum;
      end = i + 1;
    }
  }
  return best;
}

namespace {

// SignalFeatures with the membrane evidence from `membrane`: the log-odds of a helix at
// the chain's first `reach` residues (an empty track: no such evidence).
std::array<float, kSignalFeatureCount> SignalFeaturesWith(
    const std::vector<int>& types, const std::function<std::vector<float>(int reach)>& membrane, double score,
    int end) {
  std::array<float, kSignalFeatureCount> f{};
  const int n = static_cast<int>(types.size());
  f[0] = 1.0f;
  f[1] = static_cast<float>(score);
  f[2] = static_cast<float>(end) / 10.0f;
  for (int i = 0; i < 8 && i < n; ++i) f[3] += types[i] == kLys || types[i] == kArg ? 1.0f : 0.0f;
  auto small = [&](int i) {
    return i >= 0 && i < n &&
           (types[i] == kAla || types[i] == kGly || types[i] == kSer || types[i] == kCys || types[i] == kThr);
  };
  f[4] = (small(end - 1) ? 1.0f : 0.0f) + (small(end - 3) ? 1.0f : 0.0f);
  if (const std::vector<float> logOdds = membrane(std::min(n, end + 15 + kWindowHalf)); !logOdds.empty()) {
    const int limit = std::min(n, end + 15);
    double best = -1e9, sum = 0.0;
    for (int i = 0; i < limit; ++i) {
      sum += logOdds[i];
      if (i >= 19) sum -= logOdds[i - 19];
      if (i >= 18) best = std::max(best, sum);
    }
    f[5] = static_cast<float>(std::max(best, -100.0) / 10.0);
    double after = 0.0;
    for (int i = end; i < limit; ++i) after += logOdds[i];
    f[6] = static_cast<float>(after / 10.0);
  }
  int run = 0, longest = 0;
  for (int i = 0; i < 50 && i < n; ++i) {
    const int t = types[i];
    const bool hydrophobic =
        t == kLeu || t == kIle || t == kVal || t == kPhe || t == kMet || t == kAla || t == kTrp || t == kCys;
    run = hydrophobic ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  f[7] = static_cast<float>(longest) / 10.0f;
  auto positive = [&](int from, int to) {
    float count = 0.0f;
    for (int i = std::max(0, from); i < to && i < n; ++i) count += types[i] == kLys || types[i] == kArg;
    return count;
  };
  f[8] = positive(end, end + 15) - positive(0, std::min(end, 15));
  // The longest hydrophobic run that starts inside the prefix, followed past its end.
  int bestRun = 0;
  run = 0;
  for (int i = 0; i < n && (run > 0 || i < end); ++i) {
    const int t = types[i];
    const bool hydrophobic =
        t == kLeu || t == kIle || t == kVal || t == kPhe || t == kMet || t == kAla || t == kTrp || t == kCys;
    if (!hydrophobic) {
      run = 0;
      continue;
    }
    ++run;
    bestRun = std::max(bestRun, run);
  }
  f[9] = static_cast<float>(bestRun) / 10.0f;
  f[10] = static_cast<float>(std::max(0, bestRun - 15)) / 5.0f;
  // A helix soon after the prefix: the prefix is a multi-pass protein's first helix more
  // often than a cleaved signal peptide.
  const int from = std::min(n, end + 15), to = std::min(n, end + 75);
  if (const std::vector<float> logOdds = membrane(std::min(n, to + kWindowHalf)); !logOdds.empty()) {
    double best = -100.0, sum = 0.0;
    for (int i = from; i < to; ++i) {
      sum += logOdds[i];
      if (i - from >= 19) sum -= logOdds[i - 19];
      if (i - from >= 18) best = std::max(best, sum);
    }
    f[11] = static_cast<float>(best / 10.0);
  }
  return f;
}

}  // namespace

std::array<float, kSignalFeatureCount> SignalFeatures(const std::vector<int>& types, const SegmentParams& p,
                                                      double score, int end) {
  return SignalFeaturesWith(
      types,
      [&](int reach) {
        if (p.membraneModel.empty()) return std::vector<float>();
        return WindowLogOdds(std::vector<int>(types.begin(), types.begin() + reach), p.membraneModel);
      },
      score, end);
}

int SignalPeptideEnd(const std::vector<int>& types, const SegmentParams& p) {
  int end = 0;
  const double score = SignalPeptideScore(types, p, end);
  if (end == 0) return 0;
  if (p.signalDecision.empty()) return score >= p.signalThreshold ? end : 0;
  const auto f = SignalFeatures(types, p, score, end);
  double z = 0.0;
  for (int k = 0; k < kSignalFeatureCount; ++k) z += double(f[k]) * p.signalDecision[k];
  return z >= 0.0 ? end : 0;
}

std::vector<std::array<int, kHydropathyReaches>> HydropathyFeatures(const std::vector<int>& types) {
  const int n = static_cast<int>(types.size());
  // Sums of hydropathy and counts of known residues: an unknown residue, like one beyond
  // the chain's end, is left out of a stretch's mean.
  std::vector<double> sum(types.size() + 1, 0.0);
  std::vector<int> known(types.size() + 1, 0);
  for (int i = 0; i < n; ++i) {
    sum[i + 1] = sum[i] + (Known(types[i]) ? kKyteDoolittle[types[i]] : 0.0);
    known[i + 1] = known[i] + Known(types[i]);
  }
  std::vector<std::array<int, kHydropathyReaches>> out(types.size());
  for (int i = 0; i < n; ++i) {
    for (int r = 0; r < kHydropathyReaches; ++r) {
      const int centre = i + kHydropathyCentre[r];
      const int from = std::clamp(centre - kHydropathyReach[r], 0, n);
      const int to = std::clamp(centre + kHydropathyReach[r] + 1, 0, n);
      const int count = known[to] - known[from];
      const double mean = count > 0 ? (sum[to] - sum[from]) / count : -10.0;
      const int bin = std::clamp(static_cast<int>(std::floor((mean + 1.5) / 0.5)), 0, kHydropathyBins - 1);
      out[i][r] = kWindowModelSize + r * kHydropathyBins + bin;
    }
  }
  return out;
}

namespace {

// LabelLogProbabilities with the model's weights as they are.
std::array<std::vector<float>, kLabelCount> LogProbabilitiesOf(const std::vector<int>& types,
                                                               const LabelModel& model) {
  const int n = static_cast<int>(types.size());
  std::array<std::vector<float>, kLabelCount> out;
  for (auto& v : out) v.resize(types.size());
  if (model.empty()) return out;
  const int labels = model.caps() ? kLabelCount : kCoreLabelCount;
  std::vector<int> padded(types.size() + 2 * kWindowHalf, kWindowTypes - 1);
  for (int i = 0; i < n; ++i) padded[i + kWindowHalf] = Known(types[i]) ? types[i] : 20;
  constexpr int positionBase = (2 * kWindowHalf + 1) * kWindowTypes;
  const auto hydropathy = HydropathyFeatures(types);
  for (int i = 0; i < n; ++i) {
    const int* t = padded.data() + i;
    float z[kLabelCount];
    float top = -std::numeric_limits<float>::infinity();
    for (int c = 0; c < labels; ++c) {
      const float* w = model.labels[c].weights.data();
      float v = w[kWindowModelSize - 1];
      for (int k = 0; k <= 2 * kWindowHalf; ++k) v += w[k * kWindowTypes + t[k]];
      for (int bin : hydropathy[i]) v += w[bin];
      if (i / kPositionBinWidth < kPositionBins) v += w[positionBase + i / kPositionBinWidth];
      z[c] = v;
      top = std::max(top, v);
    }
    float sum = 0.0f;
    for (int c = 0; c < labels; ++c) sum += std::exp(z[c] - top);
    const float logSum = top + std::log(sum);
    for (int c = 0; c < labels; ++c) out[c][i] = z[c] - logSum;
  }
  if (!model.caps()) out[kLabelCapInside] = out[kLabelCapOutside] = out[kLabelMembrane];
  return out;
}

}  // namespace

std::array<std::vector<float>, kLabelCount> LabelLogProbabilities(const std::vector<int>& types,
                                                                  const LabelModel& model) {
  if (!model.empty() && std::any_of(types.begin(), types.end(), [](int type) { return !Known(type); }))
    return LogProbabilitiesOf(types, WithUnknownExpected(model));
  return LogProbabilitiesOf(types, model);
}

int HelixLabel(int offset, int length, bool fromInside, int capLength) {
  if (offset < capLength) return fromInside ? kLabelCapInside : kLabelCapOutside;
  if (offset >= length - capLength) return fromInside ? kLabelCapOutside : kLabelCapInside;
  return kLabelMembrane;
}

LabelScores MakeLabelScores(const std::vector<int>& types, const SegmentParams& p,
                            const std::vector<float>* extra) {
  return LabelScoresFrom(LabelLogProbabilities(types, p.labelModel), types, p, extra);
}

LabelScores LabelScoresFrom(std::array<std::vector<float>, kLabelCount> logProbabilities,
                            const std::vector<int>& types, const SegmentParams& p,
                            const std::vector<float>* extra) {
  LabelScores s;
  s.score = std::move(logProbabilities);
  s.caps = p.labelModel.caps();
  for (size_t i = 0; i < types.size(); ++i) {
    const float structure = extra && i < extra->size() ? (*extra)[i] : 0.0f;
    // An unknown residue (X) says nothing of its state: every label scores it alike, and
    // the helix and signal biases, which pay for each residue of evidence, leave it out.
    // A run of X is then never a helix or a signal peptide of its own.
    if (types[i] < 0 || types[i] >= 20) {
      for (int c = 0; c < kLabelCount; ++c) s.score[c][i] = 0.0f;
      for (int c : kHelixLabels) s.score[c][i] += structure;
      continue;
    }
    for (int c : kHelixLabels) s.score[c][i] += p.bias + structure;
    s.score[kLabelSignal][i] += p.signalBias;
  }
  if (p.topologyWeight != 0.0f) {
    for (int t : types) s.positive.push_back(t == kLys || t == kArg ? 1.0f : 0.0f);
  }
  return s;
}

namespace {

// Helices need at least one loop residue between them (and after a signal peptide): two
// helices that touch would read as one in the labels.
int JointMinLoop(const SegmentParams& p) {
  return std::max(p.minLoop, 1);
}

// What the positive-inside term gives a helix over [start, end) entered from the inside:
// lysines and arginines within reach before it, less those after it, times the weight.
inline double PositiveInside(const std::vector<double>& positive, int start, int end,
                             const SegmentParams& p) {
  if (positive.empty()) return 0.0;
  const int n = static_cast<int>(positive.size()) - 1;
  const int from = std::max(0, start - p.topologyReach), to = std::min(n, end + p.topologyReach);
  return p.topologyWeight * ((positive[start] - positive[from]) - (positive[to] - positive[end]));
}

double HelixCost(int length, const SegmentParams& p) {
  return p.cost + p.lengthPenalty * std::max(0, length - p.preferredLength);
}

}  // namespace

LabelDecoding DecodeLabels(const LabelScores& scores, const SegmentParams& p, bool signal) {
  LabelDecoding out;
  const int n = scores.size();
  constexpr double kNone = -std::numeric_limits<double>::infinity();
  std::array<std::vector<double>, kLabelCount> sum;
  for (int c = 0; c < kLabelCount; ++c) {
    sum[c].assign(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i) sum[c][i + 1] = sum[c][i] + scores.score[c][i];
  }
  std::vector<double> positive;
  if (!scores.positive.empty() && p.topologyWeight != 0.0f) {
    positive.assign(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i) positive[i + 1] = positive[i] + scores.positive[i];
  }
  auto range = [&](int label, int from, int to) { return sum[label][to] - sum[label][from]; };
  // A helix over [start, end): its entry cap, its core, its exit cap (HelixLabel).
  auto helixRange = [&](int start, int end, bool fromInside) {
    const int core = std::min(start + scores.capLength, end), exit = std::max(core, end - scores.capLength);
    return range(fromInside ? kLabelCapInside : kLabelCapOutside, start, core) +
           range(kLabelMembrane, core, exit) +
           range(fromInside ? kLabelCapOutside : kLabelCapInside, exit, end);
  };
  const int loop = JointMinLoop(p), signalLoop = std::max(p.signalLoop, 1);
  const int signalLast = std::min(p.signalMax, n - p.signalMature);
  auto signalValue = [&](int end) { return range(kLabelSignal, 0, end) - p.signalCost; };
  if (signal && (p.signalMin < 1 || p.signalMin > signalLast)) return out;

  // ready[side][j]: the best labelling of residues 0..j-1 after which a helix may start
  // with the chain on `side` (0 inside, 1 outside); how it got there in readyFrom: 0 one
  // more loop residue, 1 a helix ending at j - loop, 2 the signal peptide ending at
  // j - loop, 3 the chain's start. exit[side][j]: the best with a helix ending at residue
  // j - 1 that leaves the chain on `side`, exitLength its length.
  const size_t size = static_cast<size_t>(n) + 1;
  std::vector<double> ready[2] = {std::vector<double>(size, kNone), std::vector<double>(size, kNone)};
  std::vector<double> exit[2] = {std::vector<double>(size, kNone), std::vector<double>(size, kNone)};
  std::vector<unsigned char> readyFrom[2] = {std::vector<unsigned char>(size, 0),
                                             std::vector<unsigned char>(size, 0)};
  std::vector<int> exitLength[2] = {std::vector<int>(size, 0), std::vector<int>(size, 0)};
  if (!signal) {
    ready[0][0] = ready[1][0] = 0.0;
    readyFrom[0][0] = readyFrom[1][0] = 3;
  }
  for (int j = 0; j <= n; ++j) {
    // Both sides at once: a helix leaving onto one side was entered from the other, and
    // its positive-inside term is the same count with the other sign.
    double best[2] = {kNone, kNone};
    int bestLength[2] = {0, 0};
    for (int length = p.minLength; length <= p.maxLength && length <= j; ++length) {
      const int start = j - length;
      const bool fromInside = ready[0][start] != kNone, fromOutside = ready[1][start] != kNone;
      if (!fromInside && !fromOutside) continue;
      const double inward = PositiveInside(positive, start, j, p);
      if (fromOutside) {  // leaves onto the inside
        const double v = ready[1][start] + helixRange(start, j, false) - HelixCost(length, p) - inward;
        if (v > best[0]) {
          best[0] = v;
          bestLength[0] = length;
        }
      }
      if (fromInside) {  // leaves onto the outside
        const double v = ready[0][start] + helixRange(start, j, true) - HelixCost(length, p) + inward;
        if (v > best[1]) {
          best[1] = v;
          bestLength[1] = length;
        }
      }
    }
    for (int side = 0; side < 2; ++side) {
      exit[side][j] = best[side];
      exitLength[side][j] = bestLength[side];
    }
    for (int side = 0; side < 2; ++side) {
      double& r = ready[side][j];
      unsigned char& how = readyFrom[side][j];
      if (j > 0 && ready[side][j - 1] != kNone && ready[side][j - 1] + scores.score[side][j - 1] > r) {
        r = ready[side][j - 1] + scores.score[side][j - 1];
        how = 0;
      }
      const int loopStart = j - loop;
      if (loopStart >= 0 && exit[side][loopStart] != kNone &&
          exit[side][loopStart] + range(side, loopStart, j) > r) {
        r = exit[side][loopStart] + range(side, loopStart, j);
        how = 1;
      }
      const int signalEnd = j - signalLoop;
      if (signal && side == kLabelOutside && signalEnd >= p.signalMin && signalEnd <= signalLast &&
          signalValue(signalEnd) + range(side, signalEnd, j) > r) {
        r = signalValue(signalEnd) + range(side, signalEnd, j);
        how = 2;
      }
    }
  }

  // Without a helix: one loop side throughout, or the signal peptide and then outside.
  LabelPath& plain = out.withoutHelix;
  if (!signal) {
    plain.valid = n > 0;
    plain.inside = sum[kLabelInside][n] >= sum[kLabelOutside][n];
    plain.value = std::max(sum[kLabelInside][n], sum[kLabelOutside][n]);
  } else {
    plain.value = kNone;
    for (int end = p.signalMin; end <= signalLast; ++end) {
      const double v = signalValue(end) + range(kLabelOutside, end, n);
      if (v > plain.value) {
        plain.value = v;
        plain.signalEnd = end;
      }
    }
    plain.valid = true;
    plain.inside = false;
  }

  // With a helix: the best last helix, its final loop, then back along the choices.
  LabelPath& helix = out.withHelix;
  helix.value = kNone;
  int side = 0, end = 0;
  for (int j = 1; j <= n; ++j) {
    for (int s = 0; s < 2; ++s) {
      if (exit[s][j] == kNone) continue;
      const double v = exit[s][j] + range(s, j, n);
      if (v > helix.value) {
        helix.value = v;
        side = s;
        end = j;
      }
    }
  }
  if (helix.value == kNone) return out;
  helix.valid = true;
  for (;;) {
    const int length = exitLength[side][end], start = end - length, from = 1 - side;
    helix.segments.push_back({start, end - 1, from == kLabelInside});
    int j = start;
    while (readyFrom[from][j] == 0) --j;
    if (readyFrom[from][j] == 1) {
      end = j - loop;
      side = from;
      continue;
    }
    if (readyFrom[from][j] == 2) helix.signalEnd = j - signalLoop;
    break;
  }
  std::reverse(helix.segments.begin(), helix.segments.end());
  helix.inside = helix.segments.front().nInside;
  return out;
}

std::string PathLabels(const LabelPath& path, int length) {
  std::string labels(static_cast<size_t>(std::max(length, 0)), path.inside ? 'i' : 'o');
  int at = 0;
  for (; at < path.signalEnd && at < length; ++at) labels[at] = 'S';
  bool inside = path.segments.empty() ? (path.signalEnd > 0 ? false : path.inside) : path.segments[0].nInside;
  for (const TmSegment& s : path.segments) {
    for (; at < s.first; ++at) labels[at] = inside ? 'i' : 'o';
    for (; at <= s.last; ++at) labels[at] = 'M';
    inside = !inside;
  }
  for (; at < length; ++at) labels[at] = inside ? 'i' : 'o';
  return labels;
}

double LabelStringValue(const LabelScores& scores, const std::string& labels, const SegmentParams& p) {
  const int n = static_cast<int>(labels.size());
  std::vector<double> positive;
  if (!scores.positive.empty() && p.topologyWeight != 0.0f) {
    positive.assign(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i) positive[i + 1] = positive[i] + scores.positive[i];
  }
  double value = 0.0;
  for (int i = 0; i < n; ++i) {
    const char l = labels[i];
    const bool first = i == 0 || labels[i - 1] != l;
    if (l != 'M') {
      value += scores.score[l == 'i' ? kLabelInside : l == 'o' ? kLabelOutside : kLabelSignal][i];
      if (l == 'S' && first) value -= p.signalCost;
      continue;
    }
    if (!first) continue;
    int end = i;
    while (end < n && labels[end] == 'M') ++end;
    value -= HelixCost(end - i, p);
    // The side it is entered from: the loop before it, else the opposite of the loop after;
    // a chain that is all helix may take either.
    const double topology = PositiveInside(positive, i, end, p);
    auto helix = [&](bool fromInside) {
      double v = fromInside ? topology : -topology;
      for (int k = i; k < end; ++k)
        v += scores.score[HelixLabel(k - i, end - i, fromInside, scores.capLength)][k];
      return v;
    };
    if (i > 0)
      value += helix(labels[i - 1] == 'i');
    else if (end < n)
      value += helix(labels[end] == 'o');
    else
      value += std::max(helix(true), helix(false));
  }
  return value;
}

namespace {

// How far each residue's M score exceeds its better loop score: the helix evidence the
// chain decision weighs segment by segment.
std::vector<double> HelixValues(const LabelScores& scores, const std::vector<TmSegment>& segments,
                                const SegmentParams& p) {
  std::vector<double> values;
  for (const TmSegment& s : segments) {
    double v = -p.cost;
    const int length = s.last - s.first + 1;
    for (int i = s.first; i <= s.last; ++i)
      v += scores.score[HelixLabel(i - s.first, length, s.nInside, scores.capLength)][i] -
           std::max(scores.score[kLabelInside][i], scores.score[kLabelOutside][i]);
    values.push_back(v);
  }
  return values;
}

double BestValue(const LabelDecoding& d, int* signalEnd = nullptr) {
  const bool helix = d.withHelix.valid && (!d.withoutHelix.valid || d.withHelix.value > d.withoutHelix.value);
  const LabelPath& best = helix ? d.withHelix : d.withoutHelix;
  if (signalEnd) *signalEnd = best.valid ? best.signalEnd : 0;
  return best.valid ? best.value : -std::numeric_limits<double>::infinity();
}

}  // namespace

std::array<float, kJointChainFeatureCount> JointChainFeatures(const std::vector<int>& types,
                                                              const LabelScores& scores,
                                                              const LabelDecoding& decoding,
                                                              const SegmentParams& params) {
  std::array<float, kJointChainFeatureCount> f{};
  const LabelPath& helix = decoding.withHelix;
  const std::vector<TmSegment> none;
  const std::vector<TmSegment>& segments = helix.valid ? helix.segments : none;
  const auto chain = ChainFeatures(types, helix.valid ? helix.signalEnd : decoding.withoutHelix.signalEnd,
                                   segments, HelixValues(scores, segments, params));
  std::copy(chain.begin(), chain.end(), f.begin());
  const double advantage =
      helix.valid && decoding.withoutHelix.valid ? helix.value - decoding.withoutHelix.value : -100.0;
  f[kChainFeatureCount] = static_cast<float>(std::clamp(advantage, -100.0, 100.0));
  f[kChainFeatureCount + 1] = !segments.empty() && helix.signalEnd > 0 &&
                              static_cast<int>(types.size()) - 1 - segments.back().last <= kGpiTail;
  return f;
}

std::array<float, kSignalFeatureCount> JointSignalFeatures(const std::vector<int>& types,
                                                           const LabelScores& scores,
                                                           const LabelDecoding& withSignal,
                                                           const LabelDecoding& withoutSignal) {
  int end = 0;
  const double with = BestValue(withSignal, &end), without = BestValue(withoutSignal);
  const double advantage = std::isfinite(with) && std::isfinite(without) ? with - without : -100.0;
  return SignalFeaturesWith(
      types,
      [&](int reach) {
        // The log-odds of a helix (its core or either end) against the other labels.
        std::vector<float> logOdds(static_cast<size_t>(reach));
        for (int i = 0; i < reach; ++i) {
          double rest = 0.0, helix = 0.0;
          for (int c : {kLabelInside, kLabelOutside, kLabelSignal})
            rest += std::exp(double(scores.score[c][i]));
          if (scores.caps) {
            for (int c : kHelixLabels) helix += std::exp(double(scores.score[c][i]));
          } else {
            helix = std::exp(double(scores.score[kLabelMembrane][i]));
          }
          logOdds[i] = static_cast<float>(std::log(std::max(helix, 1e-30)) - std::log(std::max(rest, 1e-30)));
        }
        return logOdds;
      },
      std::clamp(advantage, -100.0, 100.0), end);
}

namespace {

double Dot(const float* features, size_t count, const std::vector<float>& weights) {
  double z = 0.0;
  for (size_t k = 0; k < count && k < weights.size(); ++k) z += double(features[k]) * weights[k];
  return z;
}

}  // namespace

LabelPath MembraneLabelling(const LabelScores& scores, const SegmentParams& p, bool signal,
                            const LabelPath& first) {
  if (p.membraneBias == 0.0f || first.segments.size() < 2) return first;
  LabelScores again = scores;
  for (int c : kHelixLabels)
    for (float& v : again.score[c]) v += p.membraneBias;
  LabelPath path = DecodeLabels(again, p, signal).withHelix;
  return path.valid ? path : first;
}

LabelPath SingleAnchorLabelling(const std::vector<int>& types, const LabelScores& scores,
                                const SegmentParams& p, bool signal, const LabelPath& path) {
  const std::vector<TmSegment>& s = path.segments;
  // Only after a signal peptide: a type I protein's ectodomain is soluble, while a channel
  // of two helices with a large loop between them (ASIC, ENaC) has none and keeps both.
  if (p.isolatedGap <= 0 || s.size() < 2 || !signal || path.signalEnd <= 0) return path;
  std::vector<double> hydropathy(s.size());
  size_t strongest = 0;
  for (size_t k = 0; k < s.size(); ++k) {
    hydropathy[k] = MeanHydropathy(types, s[k].first, s[k].last);
    if (hydropathy[k] > hydropathy[strongest]) strongest = k;
  }
  LabelScores again = scores;
  for (size_t k = 0; k < s.size(); ++k) {
    if (k == strongest) continue;
    const int before = k > 0 ? s[k].first - s[k - 1].last - 1 : std::numeric_limits<int>::max();
    const int after = k + 1 < s.size() ? s[k + 1].first - s[k].last - 1 : std::numeric_limits<int>::max();
    if (std::min(before, after) < p.isolatedGap || hydropathy[k] >= p.isolatedHydropathy) return path;
    // No helix there, nor a few residues either side (the same stretch shifted a little).
    const int from = std::max(0, s[k].first - kCapLength),
              to = std::min(scores.size() - 1, s[k].last + kCapLength);
    for (int c : kHelixLabels)
      for (int i = from; i <= to; ++i) again.score[c][i] = -1e4f;
  }
  LabelPath single = DecodeLabels(again, p, signal).withHelix;
  return single.valid && single.segments.size() == 1 ? single : path;
}

namespace {

ChainTopology PredictJoint(const std::vector<int>& types, const SegmentParams& p,
                           const std::vector<float>* extra) {
  ChainTopology result;
  const LabelScores scores = MakeLabelScores(types, p, extra);
  const LabelDecoding without = DecodeLabels(scores, p, false);
  const LabelDecoding with = DecodeLabels(scores, p, true);
  bool signal = false;
  if (with.withHelix.valid || with.withoutHelix.valid) {
    if (p.jointSignalDecision.empty()) {
      signal = BestValue(with) > BestValue(without);
    } else {
      const auto f = JointSignalFeatures(types, scores, with, without);
      signal = Dot(f.data(), f.size(), p.jointSignalDecision) >= 0.0;
    }
  }
  const LabelDecoding& d = signal ? with : without;
  bool membrane = d.withHelix.valid;
  if (membrane) {
    if (p.jointChainModel.empty()) {
      membrane = !d.withoutHelix.valid || d.withHelix.value > d.withoutHelix.value;
    } else {
      const auto f = JointChainFeatures(types, scores, d, p);
      membrane = Dot(f.data(), f.size(), p.jointChainModel) >= 0.0;
    }
  }
  const LabelPath path = membrane ? SingleAnchorLabelling(types, scores, p, signal,
                                                          MembraneLabelling(scores, p, signal, d.withHelix))
                                  : d.withoutHelix;
  result.signalEnd = signal ? path.signalEnd : 0;
  if (membrane) result.segments = path.segments;
  return result;
}

ChainTopology PredictMember(const std::vector<int>& types, const SegmentParams& p,
                            const std::vector<float>* extra) {
  if (!p.labelModel.empty()) return PredictJoint(types, p, extra);
  ChainTopology result;
  result.signalEnd = SignalPeptideEnd(types, p);
  SegmentTracks tracks = MakeTracks(types, p, extra);
  // No segment overlaps the signal peptide: it is cleaved before the chain reaches the
  // membrane.
  for (int i = 0; i < result.signalEnd; ++i) tracks.core[i] = -100.0f;
  result.segments = BestSegments(tracks, p);
  if (!p.chainModel.empty() && !result.segments.empty()) {
    const auto features =
        ChainFeatures(types, result.signalEnd, result.segments, SegmentValues(tracks, result.segments, p));
    if (ChainLogOdds(features, p.chainModel) < 0.0) result.segments.clear();
  }
  if (result.signalEnd > 0) {
    // A cleaved signal peptide leaves the chain's new N-terminus outside.
    for (size_t k = 0; k < result.segments.size(); ++k) result.segments[k].nInside = k % 2 == 1;
  } else if (p.topologyWeight == 0.0f) {
    OrientSegments(types, result.segments);
  }
  return result;
}

}  // namespace

std::string TopologyLabels(const ChainTopology& t, int length) {
  std::string labels(static_cast<size_t>(std::max(length, 0)), '-');
  const int signalEnd = std::min(t.signalEnd, length);
  for (int i = 0; i < signalEnd; ++i) labels[i] = 'S';
  const bool known = !t.segments.empty() || t.signalEnd > 0;
  bool inside = t.segments.empty() ? false : t.segments.front().nInside;
  int at = signalEnd;
  for (const TmSegment& s : t.segments) {
    for (; at < s.first && at < length; ++at) labels[at] = inside ? 'i' : 'o';
    for (; at <= s.last && at < length; ++at) labels[at] = 'M';
    inside = !inside;
  }
  for (; at < length; ++at) labels[at] = known ? (inside ? 'i' : 'o') : '-';
  return labels;
}

size_t TopologyMedoid(const std::vector<ChainTopology>& predictions, int length) {
  std::vector<std::string> labels;
  for (const ChainTopology& t : predictions) labels.push_back(TopologyLabels(t, length));
  size_t best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (size_t a = 0; a < labels.size(); ++a) {
    long distance = 0;
    for (size_t b = 0; b < labels.size(); ++b)
      for (size_t i = 0; i < labels[a].size(); ++i) distance += labels[a][i] != labels[b][i];
    if (distance < bestDistance) {
      bestDistance = distance;
      best = a;
    }
  }
  return best;
}

ChainTopology PredictTopology(const std::vector<int>& types, const SegmentParams& p,
                              const std::vector<float>* extra) {
  if (p.others.empty()) return PredictMember(types, p, extra);
  std::vector<ChainTopology> predictions = {PredictMember(types, p, extra),
                                            PredictMember(types, p.others[0], extra)};
  // Of three, two that agree on the topology (a signal peptide in both or neither, the same
  // number of segments, each overlapping its twin by 5 residues or more and running the same
  // way) outvote the third: it need not be run, and the first's answer stands.
  const auto same = [](const ChainTopology& a, const ChainTopology& b) {
    if ((a.signalEnd > 0) != (b.signalEnd > 0) || a.segments.size() != b.segments.size()) return false;
    for (size_t k = 0; k < a.segments.size(); ++k) {
      const TmSegment &x = a.segments[k], &y = b.segments[k];
      if (std::min(x.last, y.last) - std::max(x.first, y.first) + 1 < 5 || x.nInside != y.nInside)
        return false;
    }
    return true;
  };
  if (p.others.size() == 2 && same(predictions[0], predictions[1])) return predictions[0];
  for (size_t k = 1; k < p.others.size(); ++k)
    predictions.push_back(PredictMember(types, p.others[k], extra));
  return predictions[TopologyMedoid(predictions, static_cast<int>(types.size()))];
}

std::vector<TmSegment> PredictSegments(const std::string& sequence, const SegmentParams& params) {
  return PredictTopology(TypesOfSequence(sequence), params).segments;
}

}  // namespace tessmol
