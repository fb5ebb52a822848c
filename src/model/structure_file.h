// Structure files as they come: PDB or mmCIF, plain or gzip-compressed, recognised by
// their content rather than their name.
#pragma once

#include <string>

#include "base/file_status.h"
#include "base/gzip.h"
#include "model/het_atom_radii.h"
#include "model/structure.h"
#include "model/structure_builder.h"

namespace tessmol {

enum class StructureFormat { kPdb, kMmcif, kResult };

// mmCIF when the first line that is neither blank nor a comment starts with "data_" (in
// any case); a
// result file when the text starts with a STRUCTURE record; PDB otherwise.
StructureFormat DetectFormat(const std::string& text);

struct StructureFile {
  FileStatus status;
  Structure structure;
  StructureFormat format = StructureFormat::kPdb;
  bool compressed = false;
  bool isNMR = false;
  bool hadSecondaryStructure = false;  // helix or sheet records in the file
  ReadSummary summary;
};

// Reads a structure file of either format; a result file is refused with kResult.
StructureFile ReadStructure(const std::string& path, const HetAtomRadii& hetRadii,
                            uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB));
// The same from text already in memory (tests, fuzzing).
StructureFile ReadStructureText(const std::string& text, const std::string& name,
                                const HetAtomRadii& hetRadii);

// Reads mmCIF text into `builder`: the first model, author chain names and residue numbers
// with insertion codes, helix and sheet ranges, modified residues. `fast` reads the
// atom_site loop with our own tokenizer and the rest through gemmi, for the files it is
// sure to read as gemmi does, and hands the others to gemmi whole (the two agree, which
// tests and a fuzz target check); `readFast`, when given, tells whether it took the file.
// Errors name the file's own line.
FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR,
                     bool fast = true, bool* readFast = nullptr);

}  // namespace tessmol
