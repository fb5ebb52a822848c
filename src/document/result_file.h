// The structure result file (.tsm): one analysed structure as TAB-separated records
// (STRUCTURE, CHAIN, HELIX, SHEET, XYZEX, RESIDUE + SIDECHAIN, ATOM, END), from which it
// can be shown and rescored without reading its PDB file again.
#pragma once

#include <istream>
#include <string>

#include "base/file_status.h"
#include "model/structure.h"

namespace tessmol {

// Writes the structure (heteroatoms excepted) through a temporary file, so a failed
// write never destroys the file that was there. Names are written printable and without
// TAB, so every record reads back with its fields in place.
FileStatus WriteResult(const Structure& structure, const std::string& path);
// The same records into a stream (tests and fuzzing compare them in memory).
void WriteResult(const Structure& structure, std::ostream& out);

// Reads a result file into `structure` (passed empty): residues with their side-chain
// lists, chains, ranges, totals, the box and the atoms. A missing or unreadable file, a
// line with no record keyword, a RESIDUE without its SIDECHAIN line, a record with too
// few fields and a file that ends before END are errors; a format error carries the
// number of its line, counted from 1.
FileStatus ReadResult(Structure& structure, const std::string& path);
FileStatus ReadResult(Structure& structure, std::istream& in, const std::string& name);

inline std::string FormatErrorMessage(int line) {
  return "Error: Format error in .tsm file on line " + std::to_string(line);
}

}  // namespace tessmol
