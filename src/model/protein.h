// What a document holds for one loaded file: the structure as read, the name of the file
// it came from, whether heteroatoms take part in the analysis, and beside the structure
// what each analysis stage returned for it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/feedback.h"
#include "model/analysis_results.h"
#include "model/membrane.h"
#include "model/neighbour_grid.h"
#include "model/run_parameters.h"
#include "model/structure.h"

namespace tessmol {

struct Protein {
  Structure structure;
  std::string fileName;  // without folder
  // The FASTA record a sequence's model was built from (Spanner2D); empty for a structure.
  std::string fastaRecord;
  // A sequence's ideal-helix model, which no test of a fold (the 3D-1D window test) judges.
  bool FromSequence() const { return !fastaRecord.empty(); }
  bool ignoreHeteroAtoms = false;
  // The pLDDT from which a predicted model's residue counts as confident, as the analysis
  // was asked for.
  float confidentPlddt = 70.0f;
  // How it was analysed, as the outputs record it.
  RunParameters parameters;
  SurfaceResult surface;              // of CalculateSASA, or as a result file stored it
  ScoreResult scores;                 // of ScoreResidues and SumScores, or as a result file stored them
  TransmembraneResult transmembrane;  // of the last Spanner command, or as a result file stored it
  // Where the membrane was placed on this structure, once it was: one placement, or one
  // per group of chains that cannot share a membrane (crystal copies).
  std::vector<MembranePlacement> membranes;
  // The atoms in their cells, from Load until the surface-area pass has used them.
  std::shared_ptr<const NeighbourGrid> neighbourGrid;

  // Every maximal run of consecutive transmembrane residues, in residue order; a jump in
  // the numbering (residues the structure lacks) ends a run. The scan never flags a
  // chain's last residue, so no run it makes crosses into the next chain.
  std::vector<SecondaryRange> TransmembraneSegments() const;

  // Sizes every result record to the structure, all zero: the state before any analysis.
  void ClearResults();

  // Places the atoms (and the heteroatoms unless ignored) in a grid of cubic cells, from
  // which the surface-area pass finds every atom's neighbours: the atoms whose expanded
  // spheres overlap its own, nearest first. Run once per structure, before that pass.
  void Load(Feedback& feedback);
};

inline constexpr const char* kLoadingProtein = "Loading Protein...";

}  // namespace tessmol
