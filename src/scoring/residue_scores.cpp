#include "scoring/residue_scores.h"

namespace tessmol {

int32_t ClassifyEnvironment(float areaBuried, float fractionPolar, int32_t secStruct) {
  // The suffix: helix "a" (+0), sheet "b" (+1), neither (+2).
  const int32_t suffix = secStruct == 1 ? 0 : secStruct == 0 ? 1 : 2;
  int32_t base;
  if (areaBuried < kExposedLimit) {
    base = 15;  // E
  } else if (areaBuried < kBuriedLimit) {
    base = fractionPolar < kP1Limit ? 9 : 12;  // P1, P2
  } else if (fractionPolar < kB1Limit) {
    base = 0;  // B1
  } else if (fractionPolar < kB2Limit) {
    base = 3;  // B2
  } else {
    base = 6;  // B3
  }
  return base + suffix;
}

void ScoreResidues(Protein& protein, const ScoreValues& table) {
  for (size_t k = 0; k < protein.structure.residues.size(); ++k) {
    Residue& r = protein.structure.residues[k];
    const ResidueSurface& surface = protein.surface.residues[k];
    r.profEnv = ClassifyEnvironment(surface.areaBuried, surface.fractionPolar, r.secStruct);
    if (r.type < 0 || r.type >= kResidueTypeCount) {
      r.solventScore = 0.0f;
      r.kavelinScore = 0.0f;
      r.kavelinEnv = kKavelinUnknownEnv;
      continue;
    }
    r.kavelinEnv = ClassifyEnvironment(kReferenceSideArea[r.type], surface.kavelinFP, r.secStruct);
    r.solventScore = table[r.profEnv * kResidueTypeCount + r.type];
    r.kavelinScore = table[r.kavelinEnv * kResidueTypeCount + r.type];
  }
}

void SumScores(Protein& protein) {
  Structure& s = protein.structure;
  s.totalScore = 0.0f;
  for (Residue& r : s.residues) {
    r.overallScore = r.transmembrane ? r.kavelinScore : r.solventScore;
    s.totalScore += r.overallScore;
  }
  s.averageScore = s.residues.empty() ? 0.0f : s.totalScore / static_cast<float>(s.residues.size());
}

}  // namespace tessmol
