// Structure files (PDB or mmCIF text) through the single-structure pipeline: assembly,
// surface areas, scores, the result file and its reading, and the Spanner3D model.
#include "document/result_file.h"
#include "fuzz_support.h"
#include "model/secondary_structure.h"
#include "transmembrane/helix_builder.h"
#include "transmembrane/scan.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  StructureFile file = ReadStructureText(text, "fuzz.pdb", fuzz::Radii());
  if (!file.status || file.structure.atoms.empty()) return 0;
  Structure& s = file.structure;
  // Every index the assembly hands out points inside the structure.
  const auto atoms = static_cast<int32_t>(s.atoms.size());
  for (const Residue& r : s.residues) {
    for (int32_t i : {r.nIndex, r.caIndex, r.cIndex, r.oIndex}) FUZZ_CHECK(i >= -1 && i < atoms);
    for (int32_t i : r.sideChain) FUZZ_CHECK(i >= 0 && i < atoms);
  }
  for (const Chain& c : s.chains) {
    FUZZ_CHECK(c.firstResidue >= 0 && c.firstResidue <= c.lastResidue + 1);
    FUZZ_CHECK(c.lastResidue < static_cast<int32_t>(s.residues.size()));
  }
  if (s.atoms.size() > 200) return 0;  // one input stays fast
  ApplySecondaryStructure(s, file.hadSecondaryStructure, SecondaryStructureSource::kRecordsElseComputed);
  Protein protein;
  protein.structure = std::move(s);
  protein.fileName = "fuzz.pdb";
  if (!fuzz::Analyse(protein, BuiltInScores())) return 0;
  for (size_t i = 0; i < protein.structure.atoms.size(); ++i) {
    const float sasa = protein.surface.atoms[i].sasa;
    FUZZ_CHECK(sasa >= 0.0f && sasa <= protein.structure.atoms[i].sphereArea * 1.0001f);
  }

  // Written and read back, the residues are the same; written again, the file is too.
  // In memory: the records are those of the file.
  auto written = [](const Protein& analysed) {
    std::ostringstream out;
    WriteResult(analysed, out);
    return out.str();
  };
  const std::string first = written(protein);
  Protein back;
  std::istringstream in(first);
  FUZZ_CHECK(ReadResult(back, in, "first.tsm").ok());
  FUZZ_CHECK(back.structure.residues.size() == protein.structure.residues.size());
  for (size_t i = 0; i < back.structure.residues.size(); ++i) {
    FUZZ_CHECK(back.structure.residues[i].name == protein.structure.residues[i].name);
    FUZZ_CHECK(back.structure.residues[i].resSeq == protein.structure.residues[i].resSeq);
    FUZZ_CHECK(back.scores.residues[i].profEnv == protein.scores.residues[i].profEnv);
  }
  FUZZ_CHECK(written(back) == first);

  // The Spanner3D model of short structures.
  if (protein.structure.residues.size() <= 16) {
    Protein model;
    model.structure = fuzz::Builder().BuildFromStructure(protein.structure, ModelHelixRange::kWholeModel);
    model.ignoreHeteroAtoms = true;
    if (!model.structure.atoms.empty() && fuzz::Analyse(model, BuiltInScores()))
      model.transmembrane = ScanTransmembrane(model.structure, model.surface, model.scores, ScanParams{});
  }
  return 0;
}
