// Residue environments (Profiles-3D classes) and the two scores of every residue.
#pragma once

#include <string>
#include <string_view>

#include "model/analysis_results.h"
#include "model/structure.h"
#include "scoring/score_table.h"

namespace tessmol {

inline constexpr float kExposedLimit = 40.0f;  // buried area below: exposed (E)
inline constexpr float kBuriedLimit = 114.0f;  // at or above: buried (B); between: partly (P)
inline constexpr float kB1Limit = 0.45f;       // fraction polar limits of B1, B2, B3
inline constexpr float kB2Limit = 0.58f;
inline constexpr float kP1Limit = 0.67f;  // fraction polar limit of P1, P2

// Environment class 0 to 17 from a burial value, a polarity value and the secondary
// structure (a number outside the enumeration counts as coil).
int32_t ClassifyEnvironment(float areaBuried, float fractionPolar, SecondaryStructure secStruct);

// KAVELIN's class for a residue of no standard type: no row of any table, scores 0.
inline constexpr int32_t kNoEnvironment = 18;

// The class's name, "B1a" to "E"; "none" for kNoEnvironment and any other code.
std::string_view EnvironmentName(int32_t code);
// What the class means in plain words, with its limits, for a reader who does not know
// the codes: "B1a: buried (114 Å² or more of side chain buried), polar fraction below
// 0.45, helix".
std::string EnvironmentDescription(int32_t code);

// Profiles-3D class and solvent score from the residue's own burial (the surface pass's
// result on the structure); KAVELIN class and score as if its whole side chain lay in the
// bilayer. Residues of no standard type get KAVELIN class 18 and zero scores. The overall
// scores and the sums are SumScores's.
ScoreResult ScoreResidues(const Structure& structure, const SurfaceResult& surface, const ScoreValues& table);

// Completes `scores`: the overall score of every residue (KAVELIN inside a transmembrane
// segment, solvent score elsewhere), the total, and the average (0 for a structure without
// residues).
void SumScores(const TransmembraneResult& transmembrane, ScoreResult& scores);

}  // namespace tessmol
