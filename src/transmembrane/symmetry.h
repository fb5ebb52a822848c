// The proper rotational symmetry (C2, C3, ...) of copies of one chain: the axis about which
// each copy turns onto the next. Identical chains that sit alike in a bilayer are related
// by a rotation about the membrane normal, so the axis of a parallel homo-oligomer is a
// sharper normal than any surface can give; copies related by an axis in the plane lie
// antiparallel and share no membrane.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/vec3.h"
#include "model/structure.h"

namespace tessmol {

// The rigid motion that carries one set of points onto another with the least squared
// distance: y = rotation x + translation, the rotation stored by rows.
struct Superposition {
  std::array<double, 9> rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3d translation;
  double rmsd = 0.0;
  Vec3d axis{0, 0, 1};  // the rotation's unit axis, right-handed
  double angle = 0.0;   // radians, 0 to pi
  double screw = 0.0;   // the translation's part along the axis

  Vec3d Apply(const Vec3d& x) const;
};

// Horn's (1987) closed form by unit quaternions; `from` and `to` pair point by point and
// must have the same size (at least three points not on one line for a defined rotation).
Superposition Superpose(const std::vector<Vec3d>& from, const std::vector<Vec3d>& to);

struct SymmetrySearch {
  float maxRmsd = 2.5f;         // angstrom, CA after superposition, each copy onto another
  int minPaired = 20;           // CA pairs (residues aligned by their names, the names alike)
  float minPairedShare = 0.8f;  // of the shorter chain's CAs: the copies have one sequence
  float maxAngleError = 10.0f;  // degrees from a multiple of 360 / order (an NMR dimer: 5)
  float maxScrew = 2.0f;        // angstrom along the axis: a point group, not a helix
  float maxAxisSpread = 10.0f;  // degrees between the axes of the copies' pairs
  int maxOrder = 8;             // the copies may be some of a larger ring (two of a trimer)
};

struct SymmetryAxis {
  bool found = false;
  int order = 0;            // n of Cn
  int copies = 0;           // chains related by it
  Vec3d direction;          // unit
  double rmsd = 0.0;        // the worst of the copies' pairs
  double angleError = 0.0;  // degrees, worst departure from a multiple of 360 / order
  double screw = 0.0;       // angstrom, worst
  int paired = 0;           // CAs paired, fewest over the pairs
};

// The axis relating the given chains (indices into Structure::chains), each superposed on
// CA atoms onto the first, when all are copies of one chain related by one proper rotation
// axis; `found` is false otherwise (a single chain, different sequences, a poor fit, a
// screw, angles no ring explains). `residues`, when not empty, is parallel to
// Structure::residues and keeps only the residues marked in it.
SymmetryAxis FindSymmetryAxis(const Structure& structure, const std::vector<int32_t>& chains,
                              const SymmetrySearch& search = {}, const std::vector<char>& residues = {});

}  // namespace tessmol
