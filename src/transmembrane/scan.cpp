#include "transmembrane/scan.h"

#include <algorithm>

namespace tessmol {

namespace {

// Moving averages of both scores over the `width` residues from each one on; near the end
// of the list fewer scores are summed, still divided by the width.
void SetMovingAverages(std::vector<Residue>& r, const std::vector<ResidueScore>& scores, size_t width) {
  const size_t count = r.size();
  for (size_t i = 0; i < count; ++i) {
    float solvent = 0.0f, kavelin = 0.0f;
    for (size_t j = i; j < i + width && j < count; ++j) {
      solvent += scores[j].solventScore;
      kavelin += scores[j].kavelinScore;
    }
    r[i].movingSolventScore = solvent / static_cast<float>(width);
    r[i].movingKavelinScore = kavelin / static_cast<float>(width);
    r[i].transmembrane = false;
  }
}

// Whether the window of length L from `start` (L strips between L + 1 residues) passes
// every test of the scan's parameters.
bool WindowAccepted(const std::vector<Residue>& r, const std::vector<ResidueSurface>& surface, size_t start,
                    size_t L, const ScanParams& params) {
  float area = 0.0f;
  bool differencePassed = true;
  for (size_t e = 0; e < L; ++e) {
    const Residue& a = r[start + e];
    const Residue& b = r[start + e + 1];
    area += (a.movingKavelinScore + b.movingKavelinScore) * 0.5f -
            (a.movingSolventScore + b.movingSolventScore) * 0.5f;
    if (a.movingKavelinScore - a.movingSolventScore < params.minDifference) differencePassed = false;
  }
  float solvent = 0.0f, kavelin = 0.0f, sasa = 0.0f;
  for (size_t e = 0; e <= L; ++e) {
    solvent += r[start + e].movingSolventScore;
    kavelin += r[start + e].movingKavelinScore;
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

void ScanTransmembrane(Protein& protein, const ScanParams& params) {
  std::vector<Residue>& r = protein.structure.residues;
  const size_t count = r.size();
  // A moving average over no residue has no meaning; one residue is the narrowest window.
  SetMovingAverages(r, protein.scores.residues, std::max<uint32_t>(params.movingAverage, 1));

  // A window of length L spans L + 1 residues and L strips; it needs at least one strip.
  const int64_t longest = params.tmLengthMax;
  const int64_t shortest = std::max<int64_t>(params.tmLengthMin, 1);
  for (int64_t length = longest; length >= shortest; --length) {
    const auto L = static_cast<size_t>(length);
    for (const Chain& chain : protein.structure.chains) {
      if (chain.firstResidue < 0 || chain.lastResidue < chain.firstResidue) continue;
      const size_t first = static_cast<size_t>(chain.firstResidue);
      const size_t last = std::min(static_cast<size_t>(chain.lastResidue), count - 1);
      if (first >= count || last < first) continue;
      const size_t n = last - first + 1;
      for (size_t k = 0; k + L + 1 < n; ++k) {  // never reaches the chain's last residue
        const size_t start = first + k;
        bool blocked = false;
        for (size_t e = 0; e < L && !blocked; ++e) blocked = r[start + e].transmembrane;
        if (blocked || !WindowAccepted(r, protein.surface.residues, start, L, params)) continue;
        for (size_t e = 0; e <= L; ++e) r[start + e].transmembrane = true;
      }
    }
  }
}

}  // namespace tessmol
