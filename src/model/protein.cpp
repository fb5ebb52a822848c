#include "model/protein.h"

namespace tessmol {

void Protein::Load(Feedback& feedback) {
  feedback.BeginProgress(kLoadingProtein);
  const bool withHet = !ignoreHeteroAtoms;
  if (withHet) {
    for (const HetAtom& atom : structure.hetAtoms) structure.ExtendBox(atom);
  }
  neighbourGrid = std::make_shared<const NeighbourGrid>(structure, withHet);
  feedback.EndProgress();
}

}  // namespace tessmol
