// The structure result file (.tsm): one analysed structure as TAB-separated records
// (STRUCTURE, CHAIN, HELIX, SHEET, XYZEX, RESIDUE + SIDECHAIN, ATOM, END), from which it
// can be shown and rescored without reading its PDB file again.
#pragma once

#include <istream>
#include <string>

#include "base/file_status.h"
#include "model/protein.h"

namespace tessmol {

// Writes the structure (heteroatoms excepted) with the protein's results through a
// temporary file, so a failed write never destroys the file that was there. Names are
// written printable and without TAB, so every record reads back with its fields in place.
// Only a result file (or an empty one) is written over (CheckResultName).
FileStatus WriteResult(const Protein& protein, const std::string& path);
// Refuses a name that holds a file other than a result (a structure, a table, anything
// that does not begin with a STRUCTURE record): a result never replaces the user's data.
FileStatus CheckResultName(const std::string& path);
// The same records into a stream (tests and fuzzing compare them in memory).
void WriteResult(const Protein& protein, std::ostream& out);

// Reads a result file into `protein` (passed empty): into its structure the residues with
// their side-chain lists, chains, ranges, the box and the atoms; into its result records
// what the analysis stored per atom, per residue and in total. A missing or unreadable file, a
// line with no record keyword, a RESIDUE without its SIDECHAIN line, a record with too
// few fields and a file that ends before END are errors; a format error carries the
// number of its line, counted from 1.
FileStatus ReadResult(Protein& protein, const std::string& path);
FileStatus ReadResult(Protein& protein, std::istream& in, const std::string& name);

inline std::string FormatErrorMessage(int line) {
  return "Error: Format error in .tsm file on line " + std::to_string(line);
}

}  // namespace tessmol
