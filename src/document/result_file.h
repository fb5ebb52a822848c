// The structure result file (.tsm): one analysed structure as TAB-separated records
// (STRUCTURE, CHAIN, HELIX, SHEET, XYZEX, RESIDUE + SIDECHAIN, ATOM, END), from which it
// can be shown and rescored without reading its PDB file again.
#pragma once

#include <string>

#include "model/structure.h"

namespace tessmol {

// Writes the structure (heteroatoms excepted). The file is written beside its final name
// and renamed over it, so a failed write never destroys the file that was there.
bool WriteResult(const Structure& structure, const std::string& path);

// Reads a result file into `structure` (passed empty): 0 when reading ended normally or
// the file could not be opened (the structure then stays empty), otherwise the number of
// the first line, counted from 1, whose first field is no record keyword.
int ReadResult(Structure& structure, const std::string& path);

inline std::string FormatErrorMessage(int line) {
  return "Error: Format error in .tsm file on line " + std::to_string(line);
}

}  // namespace tessmol
