// Score tables (.stb): scoring a real structure with them, deriving a custom table from
// them, and writing and reading them back.
#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  ScoreTable table;
  if (!table.LoadTable(in, "fuzz.stb", "fuzz.stb").ok()) return 0;
  Protein protein = fuzz::SmallProtein();
  protein.scores = ScoreResidues(protein.structure, protein.surface, table.scores);
  SumScores(protein.transmembrane, protein.scores);
  table.ExpectedResidueScore(static_cast<int32_t>(protein.structure.residues.size()));

  ScoreTable custom = table;
  custom.AddStructure(protein, "small.pdb");
  custom.ComputeScores();
  custom.FitExpectedScoreCurve();

  // Written and read back, the table is the same; written again, so is the file.
  const std::string first = fuzz::ScratchPath("first.stb"), second = fuzz::ScratchPath("second.stb");
  FUZZ_CHECK(table.SaveTable(first).ok());
  ScoreTable back;
  FUZZ_CHECK(back.LoadTable(first, "first.stb").ok());
  FUZZ_CHECK(back.SaveTable(second).ok());
  FUZZ_CHECK(fuzz::ReadBytes(first) == fuzz::ReadBytes(second));
  ScoreTable again;
  FUZZ_CHECK(again.LoadTable(second, "second.stb").ok());
  FUZZ_CHECK(again.scores == back.scores);
  return 0;
}
