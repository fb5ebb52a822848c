// Heteroatom radius files: a small structure with heteroatoms read with them and its
// surface areas measured.
#include <cmath>

#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchPath("HETAtom_Radii.txt");
  fuzz::WriteBytes(path, data, size);
  HetAtomRadii radii;
  SilentFeedback quiet;
  // Any bytes: a refused file leaves the table empty, which the reading below must take.
  static_cast<void>(LoadHetAtomRadii(path, radii, quiet));
  static const std::string text = fuzz::SmallStructureText(true);
  StructureFile file = ReadStructureText(text, "small.pdb", radii);
  FUZZ_CHECK(file.status.ok() && !file.structure.hetAtoms.empty());
  Protein protein;
  protein.structure = std::move(file.structure);
  if (!fuzz::Analyse(protein, BuiltInScores())) return 0;
  for (const AtomSurface& a : protein.surface.atoms) FUZZ_CHECK(std::isfinite(a.sasa) && a.sasa >= 0.0f);
  return 0;
}
