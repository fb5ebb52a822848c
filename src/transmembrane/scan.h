// The transmembrane window scan: a stretch of residues is a transmembrane segment when,
// over a window, the KAVELIN scores (as if buried in the bilayer) run clearly above the
// Profiles-3D scores (as they are), both within their expected ranges.
#pragma once

#include <cstdint>
#include <vector>

#include "model/analysis_results.h"
#include "model/structure.h"

namespace tessmol {

// The twelve parameters of the scan, shared by Spanner2D and Spanner3D.
struct ScanParams {
  float minAreaDifference = 10.0f;  // area between the two curves over a window must exceed it
  uint32_t movingAverage = 10;      // width of the moving averages
  float minDifference = 0.2f;       // per-residue lower bound of KAVELIN minus Profiles-3D average
  float minAveSASA = 0.0f;          // mean side-chain area of the window must exceed it
  uint32_t tmLengthMin = 12;        // window lengths tried, longest first
  uint32_t tmLengthMax = 40;
  float kavelinMin = 0.3f;  // open range of the window mean of the KAVELIN average
  float kavelinMax = 0.8f;
  float profilesMin = -0.6f;  // open range of the window mean of the Profiles-3D average
  float profilesMax = 0.0f;
  float lengthAreaMin = 0.8f;  // open range of window length divided by area
  float lengthAreaMax = 1.8f;
};

// The two curves the scan compares: moving averages of the solvent and KAVELIN scores over
// `width` residues from each one on; near the end of the list fewer scores are summed,
// still divided by the width.
struct MovingScores {
  std::vector<float> solvent, kavelin;
};
MovingScores ScanMovingAverages(const ScoreResult& scores, size_t width);

// The transmembrane flags of every residue (no orientation). Needs the solvent and KAVELIN
// scores and the side-chain areas. Windows are searched longest first, chain by chain in
// `chains` order, and never run past a chain's end; an accepted window blocks the windows
// that start inside it.
TransmembraneResult ScanTransmembrane(const Structure& structure, const SurfaceResult& surface,
                                      const ScoreResult& scores, const ScanParams& params);

}  // namespace tessmol
