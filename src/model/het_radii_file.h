// The heteroatom radius file: one "key<TAB>radius" entry per line.
#pragma once

#include <string>

#include "base/feedback.h"
#include "base/file_status.h"
#include "model/het_atom_radii.h"

namespace tessmol {

inline constexpr const char* kHetRadiiFile = "/Tessmol_Files/HETAtom_Radii.txt";

// The radii a file may give, in angstrom: Bondi's and Alvarez's van der Waals radii run
// from 1.2 (H) to 2.75 (K); 0.5 to 5 takes in any other published set. A radius of 0 (or
// a field without a number) is taken as it always was, a negative one is no entry.
inline constexpr double kMinHetRadius = 0.5;
inline constexpr double kMaxHetRadius = 5.0;

// Fills `table` from the file at `path`. When the file cannot be read, or holds a radius
// that is no number within those limits (an infinity, NaN or overflow among them), the
// user is told that heteroatoms will not be processed correctly, and the table is left
// empty; the status names the file and the line.
FileStatus LoadHetAtomRadii(const std::string& path, HetAtomRadii& table, Feedback& feedback);

}  // namespace tessmol
