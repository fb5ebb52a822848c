// The texts the views show, as plain functions: the protein summary's lines and the
// residue table's headings and cells. The desktop panes and the command line print
// the same text from here.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/protein.h"

namespace tessmol {

// The summary of a loaded structure, line by line (empty lines included): file name,
// chains, residues, total area, average score (with the expected and compatible scores of
// the structure's expected score when given), the heteroatoms that covered the surface,
// the predicted transmembrane domains, and the line of the run's parameters.
std::vector<std::string> SummaryLines(const Protein& protein,
                                      std::optional<float> expectedScore = std::nullopt);

// The compatible score of an expected one: 45 % of it, below which a structure is suspect.
double CompatibleScore(float expected);

// "Tessmol 0.1.0; resolution 2 (252 points per atom); heteroatoms: ...": how the structure
// was analysed, or that an older result file did not record it.
std::string ParametersLine(const RunParameters& parameters);

// The membrane placed on a structure: normal, centre, half-thickness and the score, then
// the segments inside the slab with orientation and tilt; or why there is none.
std::vector<std::string> MembraneLines(const Structure& structure, const MembranePlacement& membrane);

// A predicted transmembrane domain as the summary and the JSON output list it.
struct TransmembraneDomain {
  std::string chain;  // the chain's name, as the residue table shows it
  int32_t firstResSeq = 0;
  int32_t lastResSeq = 0;
  int8_t topology = 0;  // of its first residue: > 0 N-terminal end inside, < 0 outside, 0 unknown
};

// The runs of Protein::TransmembraneSegments, with their chains' names and orientation.
std::vector<TransmembraneDomain> TransmembraneDomains(const Protein& protein);

// The sixteen column headings of the residue table.
const std::vector<std::string>& ResidueTableHeadings();

// The sixteen cells of residue `index`.
std::vector<std::string> ResidueTableRow(const Protein& protein, size_t index);

// The headings and every residue's row as tab-separated lines.
void WriteResidueTable(std::ostream& out, const Protein& protein);

// The residue table for data-analysis programs (pandas, R, a spreadsheet): one line of
// snake_case headings, the JSON output's names, then one line per residue; numbers as the
// shortest text that reads back to the same float. The run's parameters fill the last
// columns of every row, so tables of many runs stay told apart when joined.
// Without `headings`, the rows alone: a further structure of one table.
void WriteResidueTsv(std::ostream& out, const Protein& protein, bool headings = true);

// The shortest decimal text that reads back to the same 32-bit float.
std::string ShortestText(float value);

}  // namespace tessmol
