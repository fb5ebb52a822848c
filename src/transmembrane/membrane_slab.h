// The lipid bilayer placed on a structure as a flat slab (normal, centre, half-thickness)
// that gains the most transfer free energy from the protein surface it holds. Each exposed
// atom carries its residue's whole-residue water-to-octanol free energy (Wimley, Creamer
// and White 1996) in proportion to the share of the residue's maximal area it exposes
// (Tien et al. 2013): lipid-facing leucines and phenylalanines gain inside the slab,
// exposed charges and amides lose, and residues outside it cost nothing. Water-filled
// pores and the interior of barrels lose inside the slab, so the hydrophobic belt wins.
//
// The normal is searched on a spherical grid and refined locally; for each normal the
// best centre and half-thickness follow exactly from the atoms' depth profile. The same
// input gives the same placement for any number of threads.
#pragma once

#include <array>

#include "base/feedback.h"
#include "model/analysis_results.h"
#include "model/membrane.h"
#include "model/structure.h"

namespace tessmol {

struct SlabSearch {
  int normals = 1500;  // directions of the coarse search over a hemisphere
  float minHalfThickness = 10.0f;
  float maxHalfThickness = 20.0f;
  float binWidth = 0.5f;  // angstrom along the normal
  float ramp = 2.0f;      // the slab's edge goes from in to out over this width
  // Lipid meets only the outer rim of the protein: slices this thick across the normal,
  // and in each the atoms this close to the farthest of their angular sector.
  float sliceWidth = 3.0f;
  float rimWidth = 6.0f;
  float meanWidth = 3.0f;       // depth over which the surface's mean is taken
  float pseudoResidues = 1.0f;  // neutral exposure added to each mean
  // Least free energy (kcal/mol) that makes a placement plausible; soluble proteins
  // rarely gain more than a few from their hydrophobic patches.
  float minScore = 5.0f;
  int minSegmentLength = 5;  // residues with CA inside the slab, in a run
  // A membrane protein crosses the bilayer with at least one stretch this long (a strand
  // rises some 3.3 A a residue, across 20 A and more): short hydrophobic pieces stacked
  // in a peptide aggregate (an amyloid fibril) span a slab only in pieces.
  int minCrossingLength = 8;
  float plateau = 0.05f;       // share of the best score that still counts as its top
  float plateauStep = 1.5f;    // degrees between the directions sampled on the plateau
  int axisRounds = 1;          // the normal set to the segments' mean axis, and the slab refitted
  float surfaceWeight = 1.0f;  // of the surface's own normal against the segments' axis
  // Copies of one chain crossing the slab, related by a turn about an axis this close to the
  // normal (degrees; 0: never), set the normal along that axis. The copies are compared over
  // their crossing segments and this many residues either side.
  float maxSymmetryAngle = 30.0f;
  int symmetryFlank = 3;
  // A predicted model's residues below this confidence (pLDDT) take no part: their place
  // is a guess. Experimental structures carry no confidence and keep every residue.
  float minConfidence = 50.0f;
  // A chain tells where its own membrane is when, placed alone, it crosses at least this
  // often with at least this excess of lysines and arginines on one side; two such chains
  // share one membrane unless their normals differ by more than the angle (or point
  // opposite ways) or their slabs lie apart.
  // Lysines and arginines count for their side within 10 A of a face, and anywhere in a loop
  // or tail of at most this many residues (0: never past 10 A).
  int shortLoop = 60;
  int minChainCrossings = 3;
  int minInsideMargin = 2;
  float maxChainAngle = 50.0f;  // degrees
  int threads = 0;              // 0: one per core
};

// Wimley-White water-to-octanol free energy of each residue type (kcal/mol, charged
// forms of Asp, Glu, Lys and Arg; neutral His), in the order of kResidueNames.
extern const std::array<float, kResidueTypeCount> kOctanolTransfer;
// Largest accessible area of each residue type in a protein (Tien et al. 2013, theory).
extern const std::array<float, kResidueTypeCount> kMaxResidueArea;

// Needs the atoms' accessible areas (the surface-area pass's result on the structure).
// Heteroatoms take no part; the areas should be those of the structure without them
// (the document's placement sees to that). One slab over all chains.
MembranePlacement PlaceMembrane(const Structure& structure, const SurfaceResult& surface,
                                const SlabSearch& search, Feedback& feedback);

// One placement per group of chains that can share a membrane: usually one over all chains;
// chains that contradict one slab (crystal copies lying antiparallel or apart) each get
// their own, with `chains` naming them.
std::vector<MembranePlacement> PlaceMembranes(const Structure& structure, const SurfaceResult& surface,
                                              const SlabSearch& search, Feedback& feedback);

// The best slab across a given normal (its sign as given, unless the positive-inside rule
// turns it); for diagnostics and tests.
MembranePlacement PlaceMembraneAlong(const Structure& structure, const SurfaceResult& surface,
                                     const Vec3& normal, const SlabSearch& search);

// The residues with CA inside the slab, in runs of at least `minLength` along each chain,
// oriented and tilted against the normal. Used by PlaceMembrane; exposed for tests.
std::vector<SlabSegment> SlabSegments(const Structure& structure, const MembranePlacement& slab,
                                      int minLength);

}  // namespace tessmol
