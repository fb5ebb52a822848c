#include "model/protein.h"

namespace tessmol {

void Protein::ClearResults() {
  surface = {};
  surface.atoms.resize(structure.atoms.size());
  surface.residues.resize(structure.residues.size());
  scores = {};
  scores.residues.resize(structure.residues.size());
}

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
