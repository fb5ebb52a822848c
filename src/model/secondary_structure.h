// Secondary structure from coordinates, for structures whose files carry no HELIX or SHEET
// records (models, many mmCIF files): the backbone hydrogen bonds of Kabsch & Sander
// (Biopolymers 22:2577, 1983), an electrostatic energy below -0.5 kcal/mol between an
// N-H and a C=O, give turns, bridges and ladders; two consecutive 4-turns make an alpha
// helix (H), ladders make strands (E). As in DSSP 4, pi helices (consecutive 5-turns)
// take precedence over alpha helices; they and everything else count as coil.
#pragma once

#include <string>
#include <vector>

#include "model/structure.h"

namespace tessmol {

enum class SecondaryStructureSource {
  kRecordsElseComputed,  // the file's ranges when it has any, else from coordinates
  kComputed,             // always from coordinates
  kRecords,              // only the file's ranges
};

// One letter per residue: 'H' alpha helix, 'E' strand, '-' anything else. Residues
// without a complete backbone (N, CA, C, O) are '-' and break the chain.
std::string AssignSecondaryStructure(const Structure& structure);

// Applies the source: when coordinates decide, every residue's secStruct and the helix
// and sheet ranges are replaced. True when they did.
bool ApplySecondaryStructure(Structure& structure, bool hadRecords, SecondaryStructureSource source);

}  // namespace tessmol
