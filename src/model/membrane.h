// Where a structure's lipid bilayer sits: a flat slab, its segments and how they cross it.
// A plain record so that the summary, the result of a command and the tests can hold it
// without the search behind it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/vec3.h"
#include "model/analysis_results.h"

namespace tessmol {

struct SlabSegment {
  int32_t chain = 0;  // index into Structure::chains
  int32_t first = 0;  // residue indices, inclusive
  int32_t last = 0;
  bool nInside = true;       // the chain enters from the cytoplasmic side
  float tiltDegrees = 0.0f;  // axis against the membrane normal, 0 to 90
  // Re-entrant: enters and leaves on one side (nInside then says which side).
  SegmentKind kind = SegmentKind::kCrossing;
};

struct MembranePlacement {
  bool placed = false;  // false: no plausible membrane; score and threshold say why
  // Unit normal pointing from the cytoplasmic side (where the positive charges sit) out.
  Vec3 normal{0.0f, 0.0f, 1.0f};
  Vec3 centre{};  // a point of the mid-plane, in the file's coordinates
  float halfThickness = 0.0f;
  float score = 0.0f;      // transfer free energy gained by the slab (kcal/mol)
  float threshold = 0.0f;  // what a placement must gain
  std::vector<SlabSegment> segments;
  // The chains this slab was placed on (indices into Structure::chains); empty: all. A
  // structure whose chains cannot share one membrane (crystal copies lying apart or
  // antiparallel) gets one placement per group of chains.
  std::vector<int32_t> chains;
  // The normal runs along the symmetry axis of this order relating the chains that cross
  // the slab (copies of one chain); 0 when the surface and the segments set it.
  int32_t symmetryOrder = 0;
  int32_t lowConfidence = 0;  // residues of a predicted model left out (pLDDT below the cut-off)
};

}  // namespace tessmol
