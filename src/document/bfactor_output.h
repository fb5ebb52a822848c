// The analysed structure with a per-residue value in the B-factor column of every atom of
// the residue, so that a molecular viewer colours it by score (PyMOL: spectrum b;
// ChimeraX: color byattribute bfactor).
#pragma once

#include <optional>
#include <string>

#include "base/file_status.h"
#include "base/gzip.h"
#include "model/protein.h"

namespace tessmol {

enum class BFactorValue { kOverall, kSolvent, kKavelin, kSasa, kTransmembrane };

// The value by the name the command line and the Python module give it ("overall",
// "solvent", "kavelin", "sasa", "transmembrane"); nothing for any other name.
std::optional<BFactorValue> BFactorValueNamed(const std::string& name);

// The value of each residue, averaged over `window` residues centred on it (cut at the
// chain's ends, as the chart averages) when window is above 1.
std::vector<double> ResidueValues(const Protein& protein, BFactorValue which, int window);

// Writes PDB, or mmCIF when the path ends in ".cif" (through gemmi). Heteroatoms are
// written with a B-factor of 0.
// Why a B-factor file may not have this name: it promises compression, and the file is
// text (the name ends in .gz, .bz2, .xz, .zst or .Z, in either case); empty when it may.
std::string CompressedNameRefusal(const std::string& path);

FileStatus WriteBFactorFile(const Protein& protein, const std::string& path, BFactorValue which, int window);

// The structure file `source` (PDB or mmCIF, plain or gzip) as it was, but for the
// B-factors of the analysed residues' atoms, which take each residue's value: header
// records, serials, order, element columns and every other atom stay as read, and atoms
// of residues without a value (heteroatoms, waters) keep their own B-factor. PDB text is
// edited column by column; mmCIF keeps its data block, renamed after the structure. A
// file of the other format than `path` names is converted by gemmi.
FileStatus WriteBFactorsIntoSource(const Protein& protein, const std::string& source, const std::string& path,
                                   BFactorValue which, int window,
                                   uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB));

// PDB with the membrane's boundary planes as OPM files draw them: HETATM DUM pseudo-atoms
// on a 2 angstrom grid over the protein's extent, N on the cytoplasmic plane and O on the
// other. Residues inside the slab's segments carry a B-factor of 1, the rest 0. With
// several placements (chains that cannot share a membrane) each gets its planes over its
// own chains; a placement that was not made draws none.
FileStatus WriteMembraneFile(const Protein& protein, const std::vector<MembranePlacement>& membranes,
                             const std::string& path);

// The same planes added to the structure's own file (`source`) as it was, when that is PDB:
// its records, serials, hydrogens, occupancies, models and line ends kept, only the B-factor
// column of the analysed residues set as above; the DUM atoms go into the first model
// (before its ENDMDL, else before END), numbered on from the file's largest serial. From an
// mmCIF file the analysed residues are written anew as WriteMembraneFile writes them. The
// file written is PDB whatever its name: the command refuses .cif and .gz names.
FileStatus WriteMembraneIntoSource(const Protein& protein, const std::vector<MembranePlacement>& membranes,
                                   const std::string& source, const std::string& path,
                                   uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB));

}  // namespace tessmol
