// What the analysis stages return for one structure, each in a record of its own: the
// structure stays what was read, and a Protein holds these beside it. The records live
// here, below the stages, because a later stage reads what an earlier one returned
// (scoring reads the surface, the scan reads both) while the stages do not know each other.
// Per-residue and per-atom vectors are parallel to the structure's residues and atoms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessmol {

// ---- surface (CalculateSASA) ----

struct AtomSurface {
  float sasa = 0.0f;           // accessible area, square angstrom
  uint32_t contactPoints = 0;  // accessible or covered by another residue's atom
  uint32_t polarPoints = 0;    // of those, touching a polar atom or the solvent
};

struct ResidueSurface {
  float mainSASA = 0.0f;  // N, C and O
  float sideSASA = 0.0f;  // CA and the side chain
  int32_t contactPoints = 0;
  int32_t polarPoints = 0;
  float areaBuried = 0.0f;     // the type's reference side area less sideSASA
  float fractionPolar = 0.0f;  // polarPoints over contactPoints
  float kavelinFP = 0.0f;      // fractionPolar less the exposed share of the side chain
};

struct SurfaceResult {
  std::vector<AtomSurface> atoms;
  std::vector<ResidueSurface> residues;
  float totalSASA = 0.0f;
};

// ---- scores (ScoreResidues, then SumScores) ----

struct ResidueScore {
  int32_t profEnv = 0;     // Profiles-3D environment class by the residue's own burial, 0 to 17
  int32_t kavelinEnv = 0;  // the class as if its side chain lay in the bilayer; 18 for no standard type
  float solventScore = 0.0f;
  float kavelinScore = 0.0f;
  float overallScore = 0.0f;  // KAVELIN inside a transmembrane segment, solvent elsewhere
};

struct ScoreResult {
  std::vector<ResidueScore> residues;
  float totalScore = 0.0f;
  float averageScore = 0.0f;
};

// ---- transmembrane segments (the Spanner commands' scan, segmentation or slab) ----

// How a segment meets the bilayer: it crosses it, dips in and returns to the side it came
// from (a pore helix), or is a signal peptide cut off before the protein folds.
enum class SegmentKind : int8_t { kCrossing = 0, kReEntrant = 1, kSignalPeptide = 2 };

struct ResidueMembrane {
  bool transmembrane = false;
  int8_t tmTopology = 0;  // in a segment running 1: inside to outside, -1: outside to inside, 0: unknown
  SegmentKind kind = SegmentKind::kCrossing;
};

struct TransmembraneResult {
  std::vector<ResidueMembrane> residues;
  // Residues of a predicted model left out for low confidence (pLDDT below the cut-off).
  int32_t lowConfidence = 0;

  // No residue in a segment, for a structure of `count` residues.
  static TransmembraneResult None(size_t count) {
    TransmembraneResult none;
    none.residues.resize(count);
    return none;
  }
};

}  // namespace tessmol
