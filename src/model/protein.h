// What a document holds for one loaded file: the structure, the name of the file it
// came from, and whether heteroatoms take part in the analysis.
#pragma once

#include <optional>
#include <string>

#include "model/feedback.h"
#include "model/membrane.h"
#include "model/structure.h"

namespace tessmol {

struct Protein {
  Structure structure;
  std::string fileName;  // without folder
  bool ignoreHeteroAtoms = false;
  // Where the membrane was placed on this structure, once it was.
  std::optional<MembranePlacement> membrane;

  // Places the atoms (and the heteroatoms unless ignored) in a grid of cubic cells and
  // fills every atom's neighbour list: the atoms whose expanded spheres overlap its own,
  // nearest first. Run once per structure, before the surface-area pass. `threads` 0
  // uses one per core; the lists are the same for any number.
  void Load(Feedback& feedback, int threads = 0);
};

inline constexpr const char* kLoadingProtein = "Loading Protein...";

// Cell edge of the neighbour grid: never less than 7.0 angstrom, and wide enough for the
// largest pair of expanded radii present, so no overlapping pair can lie two cells apart.
float NeighbourCellEdge(const Structure& structure, bool withHetAtoms);

}  // namespace tessmol
