#include "model/protein.h"

namespace tessmol {

void Protein::ClearResults() {
  surface = {};
  surface.atoms.resize(structure.atoms.size());
  surface.residues.resize(structure.residues.size());
  scores = {};
  scores.residues.resize(structure.residues.size());
  transmembrane = TransmembraneResult::None(structure.residues.size());
}

std::vector<SecondaryRange> Protein::TransmembraneSegments() const {
  std::vector<SecondaryRange> segments;
  bool inside = false;
  int32_t previous = 0;
  for (size_t k = 0; k < structure.residues.size(); ++k) {
    const Residue& residue = structure.residues[k];
    const bool flagged = transmembrane.residues[k].transmembrane;
    if (flagged) {
      // Residues the structure does not have (a jump in the numbering) end a run.
      if (!inside || residue.resSeq - previous > 1)
        segments.push_back({residue.resSeq, residue.resSeq, residue.chainId});
      segments.back().lastResSeq = residue.resSeq;
    }
    inside = flagged;
    previous = residue.resSeq;
  }
  return segments;
}

void Protein::Load(Feedback& feedback) {
  feedback.BeginProgress(kLoadingProtein);
  const bool withHet = !ignoreHeteroAtoms;
  if (withHet) {
    for (const HetAtom& atom : structure.hetAtoms) {
      if (!IsWaterName(atom.residueName)) structure.ExtendBox(atom);
    }
  }
  neighbourGrid = std::make_shared<const NeighbourGrid>(structure, withHet);
  feedback.EndProgress();
}

}  // namespace tessmol
