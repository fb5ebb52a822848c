// The texts the views show, as plain functions: the protein summary's lines and the
// residue table's headings and cells. The desktop panes and the command line print
// the same text from here.
#pragma once

#include <string>
#include <vector>

#include "model/protein.h"

namespace tessmol {

// The summary of a loaded structure, line by line (empty lines included): file name,
// chains, residues, total area, average score, and the predicted transmembrane domains.
std::vector<std::string> SummaryLines(const Protein& protein);

// The full name of the chain that holds residue `index` (mmCIF names may be longer than
// the residue's one-character identifier); a blank for a missing identifier.
std::string ChainNameOf(const Structure& structure, size_t index);

// The sixteen column headings of the residue table.
const std::vector<std::string>& ResidueTableHeadings();

// The sixteen cells of residue `index`.
std::vector<std::string> ResidueTableRow(const Structure& structure, size_t index);

}  // namespace tessmol
