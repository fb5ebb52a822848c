// Fits the parameters of the segmentation method (transmembrane/segments.h) on the
// training chains and nothing else: the residue scale as log-odds of each residue type
// inside against outside the annotated segments, then window, bias, cost and the length
// and loop limits by a coordinate search that maximises segment F1 plus the share of
// chains predicted all right, with at most 1 % of soluble chains given a segment.
// 5-fold cross-validation (chain i in fold i mod 5) reports what the fit does on chains
// it has not seen; the final fit uses every chain and is written out.
//
// Usage: fit_tm_segments TRUTH.3line SOLUBLE.fasta OUT.txt [CV-PREDICTIONS.3line]
// The last file gets each membrane chain's prediction by the fit of the folds without it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/structure.h"
#include "transmembrane/segments.h"

namespace {

using tessmol::SegmentParams;
using tessmol::TmSegment;

struct Chain {
  std::string id, sequence;
  std::vector<int> types;
  std::string labels;  // '1' membrane, else '0'; empty for soluble chains
  std::vector<std::pair<int, int>> truth;
};

std::vector<std::pair<int, int>> Runs(const std::string& labels) {
  std::vector<std::pair<int, int>> runs;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] != '1') continue;
    if (i == 0 || labels[i - 1] != '1') runs.push_back({int(i), int(i)});
    runs.back().second = int(i);
  }
  return runs;
}

std::vector<Chain> ReadTruth(const std::string& path) {
  std::vector<Chain> chains;
  std::ifstream in(path);
  std::string id, sequence, labels;
  while (std::getline(in, id) && std::getline(in, sequence) && std::getline(in, labels)) {
    Chain c;
    c.id = id;
    c.sequence = sequence;
    c.types = tessmol::TypesOfSequence(sequence);
    c.labels = labels;
    c.truth = Runs(labels);
    chains.push_back(std::move(c));
  }
  return chains;
}

std::vector<Chain> ReadFasta(const std::string& path) {
  std::vector<Chain> chains;
  std::ifstream in(path);
  std::string line, sequence;
  auto flush = [&]() {
    if (!sequence.empty()) chains.push_back({{}, sequence, tessmol::TypesOfSequence(sequence), {}, {}});
    sequence.clear();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '>') {
      flush();
    } else {
      sequence += line;
    }
  }
  flush();
  return chains;
}

struct Score {
  double recall = 0, precision = 0, f1 = 0, qok = 0, falsePositive = 0;
  double Objective() const {
    const double penalty = falsePositive > 0.01 ? 20.0 * (falsePositive - 0.01) : 0.0;
    return f1 + qok - penalty;
  }
};

// Log-odds of residue types in one kind of position against the residues of no segment
// and no flank (and every residue of the soluble chains).
void FitScale(const std::vector<const Chain*>& membrane, const std::vector<const Chain*>& soluble,
              SegmentParams& p) {
  enum { kCore, kCap, kFlank, kOther };
  std::vector<std::vector<double>> counts(4, std::vector<double>(tessmol::kSegmentScaleSize, 1.0));
  const int capLength = std::max(p.capLength, 1), flankLength = std::max(p.flankLength, 1);
  for (const Chain* c : membrane) {
    std::vector<int> kind(c->types.size(), kOther);
    for (const auto& [first, last] : c->truth) {
      for (int i = std::max(0, first - flankLength); i < first; ++i) kind[i] = kFlank;
      for (int i = last + 1; i <= std::min<int>(static_cast<int>(kind.size()) - 1, last + flankLength); ++i)
        kind[i] = kFlank;
    }
    for (const auto& [first, last] : c->truth) {
      for (int i = first; i <= last; ++i) {
        kind[i] = i - first < capLength || last - i < capLength ? kCap : kCore;
      }
    }
    for (size_t i = 0; i < c->types.size(); ++i) counts[kind[i]][c->types[i] < 20 ? c->types[i] : 20] += 1.0;
  }
  for (const Chain* c : soluble) {
    for (int t : c->types) counts[kOther][t < 20 ? t : 20] += 1.0;
  }
  std::vector<double> totals(4, 0.0);
  for (int k = 0; k < 4; ++k)
    for (double v : counts[k]) totals[k] += v;
  auto logOdds = [&](int k, std::array<float, tessmol::kSegmentScaleSize>& scale) {
    for (int t = 0; t < tessmol::kSegmentScaleSize; ++t)
      scale[t] =
          static_cast<float>(std::log((counts[k][t] / totals[k]) / (counts[kOther][t] / totals[kOther])));
    // Letters that are no residue (X, B, Z) are too rare to say anything: neutral.
    scale[20] = 0.0f;
  };
  // Without caps the whole segment is core.
  if (p.capLength == 0) {
    for (int t = 0; t < tessmol::kSegmentScaleSize; ++t) counts[kCore][t] += counts[kCap][t] - 1.0;
    totals[kCore] += totals[kCap] - tessmol::kSegmentScaleSize;
  }
  logOdds(kCore, p.scale);
  logOdds(kCap, p.capScale);
  logOdds(kFlank, p.flankScale);
}

Score Evaluate(const std::vector<const Chain*>& membrane, const std::vector<const Chain*>& soluble,
               const SegmentParams& p) {
  long annotated = 0, predicted = 0, found = 0, perfect = 0, positive = 0;
  for (const Chain* c : membrane) {
    const auto segments = tessmol::BestSegments(tessmol::MakeTracks(c->types, p), p);
    std::vector<bool> used(c->truth.size(), false);
    long matched = 0;
    for (const TmSegment& s : segments) {
      for (size_t k = 0; k < c->truth.size(); ++k) {
        const int overlap = std::min(s.last, c->truth[k].second) - std::max(s.first, c->truth[k].first) + 1;
        if (!used[k] && overlap >= 5) {
          used[k] = true;
          ++matched;
          break;
        }
      }
    }
    annotated += static_cast<long>(c->truth.size());
    predicted += static_cast<long>(segments.size());
    found += matched;
    if (matched == static_cast<long>(c->truth.size()) && matched == static_cast<long>(segments.size()))
      ++perfect;
  }
  for (const Chain* c : soluble) {
    const auto segments = tessmol::BestSegments(tessmol::MakeTracks(c->types, p), p);
    if (!segments.empty()) ++positive;
  }
  Score s;
  s.recall = annotated ? double(found) / annotated : 0;
  s.precision = predicted ? double(found) / predicted : 0;
  s.f1 = s.recall + s.precision > 0 ? 2 * s.recall * s.precision / (s.recall + s.precision) : 0;
  s.qok = membrane.empty() ? 0 : double(perfect) / membrane.size();
  s.falsePositive = soluble.empty() ? 0 : double(positive) / soluble.size();
  return s;
}

SegmentParams Fit(const std::vector<const Chain*>& membrane, const std::vector<const Chain*>& soluble) {
  SegmentParams p;
  p.capLength = 4;
  p.flankLength = 5;
  FitScale(membrane, soluble, p);
  p.window = 9;
  p.bias = -0.3f;
  p.cost = 5.0f;
  p.anchor = 8.0f;
  p.minLength = 14;
  p.maxLength = 30;
  p.minLoop = 3;
  double best = Evaluate(membrane, soluble, p).Objective();
  auto tryValues = [&](auto field, const auto& values) {
    for (const auto& v : values) {
      SegmentParams q = p;
      q.*field = v;
      FitScale(membrane, soluble, q);  // the scales depend on the cap and flank lengths
      if (q.maxLength < q.minLength) continue;
      const double objective = Evaluate(membrane, soluble, q).Objective();
      if (objective > best) {
        best = objective;
        p = q;
      }
    }
  };
  for (int sweep = 0; sweep < 3; ++sweep) {
    tryValues(&SegmentParams::window, std::vector<int>{5, 9, 11, 13, 15, 17, 19, 21, 25});
    tryValues(&SegmentParams::bias,
              std::vector<float>{-0.6f, -0.5f, -0.4f, -0.3f, -0.2f, -0.1f, 0.0f, 0.1f, 0.2f, 0.4f});
    tryValues(&SegmentParams::cost,
              std::vector<float>{0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 8.0f, 10.0f});
    tryValues(&SegmentParams::anchor,
              std::vector<float>{2.0f, 4.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 12.0f, 14.0f, 16.0f});
    tryValues(&SegmentParams::minLength, std::vector<int>{8, 10, 12, 14, 16, 18});
    tryValues(&SegmentParams::maxLength, std::vector<int>{22, 25, 28, 30, 33, 36, 40});
    tryValues(&SegmentParams::minLoop, std::vector<int>{1, 2, 3, 4, 6, 8});
    tryValues(&SegmentParams::preferredLength, std::vector<int>{16, 18, 20, 22, 24, 30});
    tryValues(&SegmentParams::lengthPenalty, std::vector<float>{0.0f, 0.1f, 0.2f, 0.4f, 0.8f});
    tryValues(&SegmentParams::capLength, std::vector<int>{2, 3, 4, 6});
    tryValues(&SegmentParams::flankLength, std::vector<int>{3, 5, 8});
    tryValues(&SegmentParams::topologyWeight,
              std::vector<float>{0.0f, 0.1f, 0.2f, 0.3f, 0.5f, 0.75f, 1.0f, 1.5f});
    tryValues(&SegmentParams::topologyReach, std::vector<int>{5, 8, 12, 15, 20, 30});
  }
  return p;
}

std::string Describe(const Score& s) {
  char text[160];
  std::snprintf(text, sizeof text,
                "recall %.3f  precision %.3f  F1 %.3f  Qok %.3f  soluble with a segment %.4f", s.recall,
                s.precision, s.f1, s.qok, s.falsePositive);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: fit_tm_segments TRUTH.3line SOLUBLE.fasta OUT.txt [CV-PREDICTIONS.3line]\n");
    return 2;
  }
  const std::vector<Chain> membrane = ReadTruth(argv[1]);
  const std::vector<Chain> soluble = ReadFasta(argv[2]);
  std::printf("%zu membrane chains, %zu soluble chains\n", membrane.size(), soluble.size());
  std::ostringstream report;
  std::vector<std::string> outOfFold(membrane.size());
  double sums[5] = {};
  for (int fold = 0; fold < 5; ++fold) {
    std::vector<const Chain*> trainM, trainS, testM, testS;
    for (size_t i = 0; i < membrane.size(); ++i)
      (int(i % 5) == fold ? testM : trainM).push_back(&membrane[i]);
    for (size_t i = 0; i < soluble.size(); ++i) (int(i % 5) == fold ? testS : trainS).push_back(&soluble[i]);
    const SegmentParams p = Fit(trainM, trainS);
    const Score s = Evaluate(testM, testS, p);
    for (size_t i = fold; i < membrane.size(); i += 5) {
      const Chain& c = membrane[i];
      std::string labels(c.types.size(), '-');
      for (const TmSegment& seg : tessmol::BestSegments(tessmol::MakeTracks(c.types, p), p))
        for (int r = seg.first; r <= seg.last; ++r) labels[r] = 'M';
      outOfFold[i] = c.id + "\n" + c.sequence + "\n" + labels + "\n";
    }
    sums[0] += s.recall;
    sums[1] += s.precision;
    sums[2] += s.f1;
    sums[3] += s.qok;
    sums[4] += s.falsePositive;
    report << "# fold " << fold + 1 << ": " << Describe(s) << " (window " << p.window << ", bias " << p.bias
           << ", cost " << p.cost << ", anchor " << p.anchor << ", lengths " << p.minLength << "-"
           << p.maxLength << " (" << p.lengthPenalty << " a residue past " << p.preferredLength << "), loop "
           << p.minLoop << ", caps " << p.capLength << ", flanks " << p.flankLength << ", positive inside "
           << p.topologyWeight << " within " << p.topologyReach << ")\n";
  }
  Score mean;
  mean.recall = sums[0] / 5;
  mean.precision = sums[1] / 5;
  mean.f1 = sums[2] / 5;
  mean.qok = sums[3] / 5;
  mean.falsePositive = sums[4] / 5;
  report << "# mean of the folds: " << Describe(mean) << '\n';
  std::vector<const Chain*> allM, allS;
  for (const Chain& c : membrane) allM.push_back(&c);
  for (const Chain& c : soluble) allS.push_back(&c);
  const SegmentParams final = Fit(allM, allS);
  report << "# all chains (in-sample): " << Describe(Evaluate(allM, allS, final)) << '\n';
  std::printf("%s", report.str().c_str());
  const std::string comment =
      "# Parameters of the transmembrane segmentation, made by tools/fit_tm_segments from the\n"
      "# 328 membrane chains of train328.truth.3line and the 3,209 soluble chains of\n"
      "# soluble3209.fasta only. SCALE: log-odds of TRP PHE TYR LEU ILE VAL MET ALA GLY PRO CYS\n"
      "# THR SER GLN ASN GLU ASP HIS LYS ARG and any other residue inside against outside\n"
      "# transmembrane segments. 5-fold cross-validation (chain i in fold i mod 5):\n" +
      report.str();
  if (argc == 5) {
    std::ofstream predictions(argv[4]);
    for (const std::string& chain : outOfFold) predictions << chain;
  }
  if (!tessmol::SaveSegmentParams(argv[3], final, comment)) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
