#include "scoring/model_quality.h"

#include <algorithm>

namespace tessmol {

ProfileVerdict JudgeProfile(const Structure& s, const ScoreResult& scores) {
  ProfileVerdict v;
  const auto n = static_cast<int32_t>(s.residues.size());
  v.windowScores.assign(s.residues.size(), 0.0f);
  if (scores.residues.size() != s.residues.size()) return v;
  const int32_t half = kProfileWindow / 2;
  for (const Chain& chain : s.chains) {
    const int32_t first = std::max(chain.firstResidue, 0);
    const int32_t last = std::min(chain.lastResidue, n - 1);
    if (last < first) continue;
    // Prefix sums in double, so a long chain's window averages do not drift.
    std::vector<double> prefix(static_cast<size_t>(last - first + 2), 0.0);
    for (int32_t i = first; i <= last; ++i)
      prefix[static_cast<size_t>(i - first + 1)] =
          prefix[static_cast<size_t>(i - first)] + scores.residues[i].overallScore;
    for (int32_t i = first; i <= last; ++i) {
      const int32_t from = std::max(first, i - half), to = std::min(last, i + half);
      const double sum =
          prefix[static_cast<size_t>(to - first + 1)] - prefix[static_cast<size_t>(from - first)];
      const auto average = static_cast<float>(sum / (to - from + 1));
      v.windowScores[i] = average;
      ++v.counted;
      if (average >= kWindowPassScore) {
        ++v.passing;
      } else if (!v.lowRuns.empty() && v.lowRuns.back().last == i - 1 && i != first) {
        v.lowRuns.back().last = i;
      } else {
        v.lowRuns.push_back({i, i});
      }
    }
  }
  v.passFraction = v.counted > 0 ? static_cast<float>(v.passing) / static_cast<float>(v.counted) : 0.0f;
  v.passes = v.counted > 0 && v.passFraction >= kStructurePassFraction;
  return v;
}

ConfidentScores ScoreConfident(const Structure& s, const ScoreResult& scores, float threshold) {
  ConfidentScores c;
  c.threshold = threshold;
  if (s.confidence.empty() || s.confidence.size() != s.residues.size()) return c;
  c.model = true;
  const bool scored = scores.residues.size() == s.residues.size();
  double plddt = 0.0, total = 0.0;
  for (size_t i = 0; i < s.confidence.size(); ++i) {
    const float value = s.confidence[i];
    plddt += value;
    if (value < kLowConfidencePlddt) ++c.lowConfidence;
    if (value >= threshold) {
      ++c.confident;
      if (scored) total += scores.residues[i].overallScore;
    } else {
      ++c.leftOut;
    }
  }
  c.meanPlddt = static_cast<float>(plddt / static_cast<double>(s.confidence.size()));
  c.averageScore = c.confident > 0 ? static_cast<float>(total / c.confident) : 0.0f;
  return c;
}

}  // namespace tessmol
