// Result files (.tsm): shown, rescored against the default table as recalc does, drawn,
// and written and read back.
#include "chart/chart.h"
#include "chart/svg_surface.h"
#include "document/report.h"
#include "document/result_file.h"
#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  Protein protein;
  protein.fileName = "fuzz.tsm";
  if (!ReadResult(protein, in, "fuzz.tsm").ok()) return 0;
  const Structure& s = protein.structure;
  SummaryLines(protein);
  for (size_t i = 0; i < s.residues.size(); ++i)
    FUZZ_CHECK(ResidueTableRow(protein, i).size() == ResidueTableHeadings(&protein).size());
  SvgSurface pane(800, 400), figure(800, 400);
  ChartInput input = MakeChartInput(protein, true, DefaultChartOptions(), {10, 10, 790, 390});
  DrawChart(pane, input);
  HoverText(input, 400);
  input.title = "fuzz.tsm";
  DrawChart(figure, input);

  // Whatever was accepted, written and read again, stays: the same residues, then the
  // same bytes.
  // In memory: the records are those of the file.
  auto written = [](const Protein& analysed) {
    std::ostringstream out;
    WriteResult(analysed, out);
    return out.str();
  };
  const std::string first = written(protein);
  Protein back;
  std::istringstream again(first);
  FUZZ_CHECK(ReadResult(back, again, "first.tsm").ok());
  FUZZ_CHECK(back.structure.residues.size() == s.residues.size());
  FUZZ_CHECK(back.structure.atoms.size() == s.atoms.size());
  for (size_t i = 0; i < back.structure.residues.size(); ++i) {
    FUZZ_CHECK(back.structure.residues[i].name == s.residues[i].name);
    FUZZ_CHECK(back.structure.residues[i].resSeq == s.residues[i].resSeq);
  }
  FUZZ_CHECK(written(back) == first);

  // Recalc: the stored classes scored again, and written.
  protein.scores = ScoreResidues(protein.structure, protein.surface, BuiltInScores());
  SumScores(protein.transmembrane, protein.scores);
  written(protein);
  return 0;
}
