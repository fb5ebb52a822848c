#include "transmembrane/scan.h"

#include <algorithm>

namespace tessmol {

MovingScores ScanMovingAverages(const ScoreResult& scores, size_t width) {
  const size_t count = scores.residues.size();
  MovingScores moving;
  moving.solvent.resize(count);
  moving.kavelin.resize(count);
  for (size_t i = 0; i < count; ++i) {
    float solvent = 0.0f, kavelin = 0.0f;
    for (size_t j = i; j < i + width && j < count; ++j) {
      solvent += scores.residues[j].solventScore;
      kavelin += scores.residues[j].kavelinScore;
    }
    moving.solvent[i] = solvent / static_cast<float>(width);
    moving.kavelin[i] = kavelin / static_cast<float>(width);
  }
  return moving;
}

namespace {

// Whether the window of length L from `start` (L strips between L + 1 residues) passes
// every test of the scan's parameters.
bool WindowAccepted(const MovingScores& m, const std::vector<ResidueSurface>& surface, size_t start, size_t L,
                    const ScanParams& params) {
  float area = 0.0f;
  bool differencePassed = true;
  for (size_t e = 0; e < L; ++e) {
    const size_t a = start + e, b = start + e + 1;
    area += (m.kavelin[a] + m.kavelin[b]) * 0.5f - (m.solvent[a] + m.solvent[b]) * 0.5f;
    if (m.kavelin[a] - m.solvent[a] < params.minDifference) differencePassed = false;
  }
  float solvent = 0.0f, kavelin = 0.0f, sasa = 0.0f;
  for (size_t e = 0; e <= L; ++e) {
    solvent += m.solvent[start + e];
    kavelin += m.kavelin[start + e];
    sasa += surface[start + e].sideSASA;
  }
  const float fl = static_cast<float>(L);
  const float meanSolvent = solvent / fl;
  const float meanKavelin = kavelin / fl;
  const float meanSasa = sasa / fl;
  return differencePassed && area > params.minAreaDifference && area != 0.0f &&
         params.profilesMin < meanSolvent && meanSolvent < params.profilesMax &&
         params.kavelinMin < meanKavelin && meanKavelin < params.kavelinMax &&
         params.lengthAreaMin < fl / area && fl / area < params.lengthAreaMax && meanSasa > params.minAveSASA;
}

}  // namespace

TransmembraneResult ScanTransmembrane(const Structure& structure, const SurfaceResult& surface,
                                      const ScoreResult& scores, const ScanParams& params) {
  const size_t count = structure.residues.size();
  TransmembraneResult result = TransmembraneResult::None(count);
  std::vector<ResidueMembrane>& r = result.residues;
  // A moving average over no residue has no meaning; one residue is the narrowest window.
  const MovingScores moving = ScanMovingAverages(scores, std::max<uint32_t>(params.movingAverage, 1));

  // A window of length L spans L + 1 residues and L strips; it needs at least one strip.
  const int64_t longest = params.tmLengthMax;
  const int64_t shortest = std::max<int64_t>(params.tmLengthMin, 1);
  for (int64_t length = longest; length >= shortest; --length) {
    const auto L = static_cast<size_t>(length);
    for (const Chain& chain : structure.chains) {
      if (chain.firstResidue < 0 || chain.lastResidue < chain.firstResidue) continue;
      const size_t first = static_cast<size_t>(chain.firstResidue);
      const size_t last = std::min(static_cast<size_t>(chain.lastResidue), count - 1);
      if (first >= count || last < first) continue;
      const size_t n = last - first + 1;
      for (size_t k = 0; k + L + 1 < n; ++k) {  // never reaches the chain's last residue
        const size_t start = first + k;
        bool blocked = false;
        for (size_t e = 0; e < L && !blocked; ++e) blocked = r[start + e].transmembrane;
        if (blocked || !WindowAccepted(moving, surface.residues, start, L, params)) continue;
        for (size_t e = 0; e <= L; ++e) r[start + e].transmembrane = true;
      }
    }
  }
  return result;
}

}  // namespace tessmol
