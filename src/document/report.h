// The texts the views show, as plain functions: the protein summary's lines and the
// residue table's headings and cells. The desktop panes and the command line print
// the same text from here.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "model/protein.h"

namespace tessmol {

// The summary of a loaded structure, line by line (empty lines included): file name,
// chains, residues, total area, average score, and the predicted transmembrane domains.
std::vector<std::string> SummaryLines(const Protein& protein);

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

// The N-terminal signal peptides the segmentation found (residues of kind
// kSignalPeptide), one per chain at most; topology 0.
std::vector<TransmembraneDomain> SignalPeptides(const Protein& protein);

// The sixteen column headings of the residue table.
const std::vector<std::string>& ResidueTableHeadings();

// The sixteen cells of residue `index`.
std::vector<std::string> ResidueTableRow(const Protein& protein, size_t index);

// The headings and every residue's row as tab-separated lines.
void WriteResidueTable(std::ostream& out, const Protein& protein);

}  // namespace tessmol
