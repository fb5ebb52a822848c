// The texts the views show, as plain functions: the protein summary's lines and the
// residue table's headings and cells. The desktop panes and the command line print
// the same text from here.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/protein.h"
#include "scoring/model_quality.h"

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

// A stretch of residues below the 3D-1D window test, as the summary and JSON list it.
struct LowStretch {
  std::string chain;
  int32_t firstResSeq = 0;
  int32_t lastResSeq = 0;
};
std::vector<LowStretch> LowStretches(const Structure& structure, const ProfileVerdict& verdict);

// The window test's line for every structure (none for a sequence's ideal-helix model); for
// a predicted model also ModelLine and the scores over its confident residues (pLDDT at
// least protein.confidentPlddt).
std::vector<std::string> QualityLines(const Protein& protein, const ProfileVerdict& verdict);

// "predicted model (AlphaFold ...), mean pLDDT X, N residues below 50" for a structure with
// pLDDT.
std::string ModelLine(const Structure& structure);

// A fraction as a percentage with one decimal: "87.5%".
std::string PercentText(float fraction);

// The membrane placed on a structure: normal, centre, half-thickness and the score, then
// the segments inside the slab with orientation and tilt; or why there is none.
std::vector<std::string> MembraneLines(const Structure& structure, const MembranePlacement& membrane);

// The placements of a structure (with a line saying so when its chains needed several,
// and the count of residues left out for low confidence), after an empty line; nothing
// when the membrane was never placed.
std::vector<std::string> MembraneReport(const Structure& structure,
                                        const std::vector<MembranePlacement>& membranes);

// The chains of the first biological assembly the file lacks, when a membrane was placed on
// the chains it holds (a channel's single protomer); 0 otherwise.
int ChainsBesidesThePlacement(const Structure& structure, const std::vector<MembranePlacement>& membranes);

// "Biological assembly: 4 copies of chains A, B, C (the file holds 3 of its 12 chains)" for
// a file that describes its first biological assembly; empty for one that does not.
std::string AssemblyLine(const Structure& structure);

// The line that counts the residues of a predicted model left out for low confidence.
std::string LowConfidenceLine(int32_t count);

// "Warning: N of M residues of NAME lack main-chain atoms (N, CA, C, O); their areas and
// scores are not to be trusted" (a CA-only or damaged file), or "" when every residue has them.
std::string MissingMainChainWarning(const Protein& protein, const std::string& name);

// A predicted transmembrane domain as the summary and the JSON output list it.
struct TransmembraneDomain {
  std::string chain;  // the chain's name, as the residue table shows it
  int32_t firstResSeq = 0;
  int32_t lastResSeq = 0;
  int8_t topology = 0;  // of its first residue: > 0 N-terminal end inside, < 0 outside, 0 unknown
  SegmentKind kind = SegmentKind::kCrossing;
};

// How the domain list names an orientation and kind: "in→out", "out→in", a re-entrant
// dip "in→in (re-entrant)" or "out→out (re-entrant)", "signal peptide"; empty when unknown.
std::string DomainOrientationText(const TransmembraneDomain& domain);

// The runs of Protein::TransmembraneSegments, with their chains' names and orientation; a
// change of orientation or kind starts a new domain.
std::vector<TransmembraneDomain> TransmembraneDomains(const Protein& protein);

// The N-terminal signal peptides the segmentation found (residues of kind
// kSignalPeptide), one per chain at most; topology 0.
std::vector<TransmembraneDomain> SignalPeptides(const Protein& protein);

// The sixteen column headings of the residue table.
const std::vector<std::string>& ResidueTableHeadings();

// The headings of a structure's table: the sixteen, and "pLDDT" for a predicted model
// (none given: the sixteen).
std::vector<std::string> ResidueTableHeadings(const Protein* protein);

// The sixteen cells of residue `index`, and its pLDDT for a predicted model.
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
