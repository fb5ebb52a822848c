// The heteroatom radius file: one "key<TAB>radius" entry per line.
#pragma once

#include <string>

#include "base/feedback.h"
#include "model/het_atom_radii.h"

namespace tessmol {

inline constexpr const char* kHetRadiiFile = "/Tessmol_Files/HETAtom_Radii.txt";

// Fills `table` from the file at `path`. When the file cannot be read the user is told
// that heteroatoms will not be processed correctly, and the table is left empty.
void LoadHetAtomRadii(const std::string& path, HetAtomRadii& table, Feedback& feedback);

}  // namespace tessmol
