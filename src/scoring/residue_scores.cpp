#include "scoring/residue_scores.h"

#include "base/text.h"

namespace tessmol {

int32_t ClassifyEnvironment(float areaBuried, float fractionPolar, SecondaryStructure secStruct) {
  // The suffix: helix "a" (+0), sheet "b" (+1), neither (+2).
  const int32_t suffix = secStruct == SecondaryStructure::kHelix   ? 0
                         : secStruct == SecondaryStructure::kSheet ? 1
                                                                   : 2;
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

std::string_view EnvironmentName(int32_t code) {
  if (code < 0 || code >= kEnvironmentCount) return "none";
  return kEnvironmentNames[static_cast<size_t>(code)];
}

std::string EnvironmentDescription(int32_t code) {
  if (code < 0 || code >= kEnvironmentCount) {
    return "none: not one of the 20 standard residue types, so no class and a score of 0";
  }
  // The limits are the classification's own constants, so the text cannot drift from it.
  const std::string exposed = FormatNumber(kExposedLimit), buried = FormatNumber(kBuriedLimit);
  const int32_t band = code / 3;  // B1 B2 B3 P1 P2 E
  std::string text = std::string(EnvironmentName(code)) + ": ";
  if (band <= 2) {
    text += "buried (" + buried + " \u00c5\u00b2 or more of side chain buried), polar fraction ";
    text += band == 0   ? "below " + FormatNumber(kB1Limit)
            : band == 1 ? FormatNumber(kB1Limit) + " to below " + FormatNumber(kB2Limit)
                        : FormatNumber(kB2Limit) + " or more";
  } else if (band <= 4) {
    text += "partly buried (" + exposed + " to below " + buried +
            " \u00c5\u00b2 of side chain buried), polar fraction ";
    text += band == 3 ? "below " + FormatNumber(kP1Limit) : FormatNumber(kP1Limit) + " or more";
  } else {
    text += "exposed (less than " + exposed + " \u00c5\u00b2 of side chain buried)";
  }
  const int32_t suffix = code % 3;
  text += suffix == 0 ? ", helix" : suffix == 1 ? ", sheet" : ", neither helix nor sheet";
  return text;
}

ScoreResult ScoreResidues(const Structure& structure, const SurfaceResult& surface,
                          const ScoreValues& table) {
  ScoreResult scores;
  scores.residues.resize(structure.residues.size());
  for (size_t k = 0; k < structure.residues.size(); ++k) {
    const Residue& r = structure.residues[k];
    const ResidueSurface& burial = surface.residues[k];
    ResidueScore& out = scores.residues[k];
    out.profEnv = ClassifyEnvironment(burial.areaBuried, burial.fractionPolar, r.secStruct);
    if (r.type < 0 || r.type >= kResidueTypeCount) {
      out.kavelinEnv = kKavelinUnknownEnv;
      continue;
    }
    out.kavelinEnv = ClassifyEnvironment(kReferenceSideArea[r.type], burial.kavelinFP, r.secStruct);
    out.solventScore = table[out.profEnv * kResidueTypeCount + r.type];
    out.kavelinScore = table[out.kavelinEnv * kResidueTypeCount + r.type];
    out.overallScore = out.solventScore;  // until SumScores knows the transmembrane residues
  }
  return scores;
}

void SumScores(const TransmembraneResult& transmembrane, ScoreResult& scores) {
  scores.totalScore = 0.0f;
  for (size_t k = 0; k < scores.residues.size(); ++k) {
    ResidueScore& r = scores.residues[k];
    r.overallScore = transmembrane.residues[k].transmembrane ? r.kavelinScore : r.solventScore;
    scores.totalScore += r.overallScore;
  }
  scores.averageScore =
      scores.residues.empty() ? 0.0f : scores.totalScore / static_cast<float>(scores.residues.size());
}

}  // namespace tessmol
