// How far a structure can be trusted, residue by residue: the 3D-1D profile's window test
// (a residue passes when its score averaged over 21 residues is at least 0.2; a structure
// passes when 80 % of its residues do, the published criterion of the profile method), and
// for a predicted model the scores over its confident residues. The score is each
// residue's overall one, as the structure's average takes it: Profiles-3D's, and KAVELIN's
// inside a transmembrane segment. Profiles-3D judges a residue by the water around it, so
// on its own it fails every helix that lies in the bilayer, however well it sits there.
#pragma once

#include <cstdint>
#include <vector>

#include "model/analysis_results.h"
#include "model/structure.h"

namespace tessmol {

inline constexpr int32_t kProfileWindow = 21;
inline constexpr float kWindowPassScore = 0.2f;
inline constexpr float kStructurePassFraction = 0.8f;
inline constexpr float kDefaultConfidentPlddt = 70.0f;
inline constexpr float kLowConfidencePlddt = 50.0f;  // below: the predictor calls it disordered

// Residues first to last (indices into the structure's residues, inclusive), of one chain.
struct ResidueRun {
  int32_t first = 0;
  int32_t last = 0;
};

struct ProfileVerdict {
  // Per residue: its overall score averaged over the window centred on it within its
  // chain. Near a chain's ends the window keeps to the chain and so holds fewer residues
  // (10 plus itself plus those there are on the other side); a chain of 11 residues or
  // fewer is averaged whole by every window.
  std::vector<float> windowScores;
  int32_t passing = 0;  // residues whose window score is at least kWindowPassScore
  int32_t counted = 0;  // every residue of a chain
  float passFraction = 0.0f;
  bool passes = false;
  std::vector<ResidueRun> lowRuns;  // maximal runs of failing residues, within one chain
};

// The window test on the overall scores (without transmembrane segments, the solvent ones).
ProfileVerdict JudgeProfile(const Structure& structure, const ScoreResult& scores);

struct ConfidentScores {
  bool model = false;  // the structure carries pLDDT; nothing else is set otherwise
  float threshold = kDefaultConfidentPlddt;
  float meanPlddt = 0.0f;
  int32_t lowConfidence = 0;  // pLDDT below kLowConfidencePlddt
  int32_t confident = 0;      // pLDDT at least `threshold`
  int32_t leftOut = 0;        // the others
  float averageScore = 0.0f;  // overall score averaged over the confident residues (0 for none)
};

// Mean pLDDT, and the overall scores of the residues at or above `threshold` (none when
// `scores` is not parallel to the residues: a structure only read).
ConfidentScores ScoreConfident(const Structure& structure, const ScoreResult& scores, float threshold);

}  // namespace tessmol
