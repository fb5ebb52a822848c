// Structure files as they come: PDB or mmCIF, plain or gzip-compressed, recognised by
// their content rather than their name.
#pragma once

#include <string>

#include "model/file_status.h"
#include "model/het_atom_radii.h"
#include "model/structure.h"
#include "model/structure_builder.h"

namespace tessmol {

// The whole file in `text`, decompressed when it starts with the gzip magic bytes. A
// damaged compressed stream is a format error. `compressed`, when given, tells which.
FileStatus ReadFileText(const std::string& path, std::string& text, bool* compressed = nullptr);

enum class StructureFormat { kPdb, kMmcif, kResult };

// mmCIF when the first line that is neither blank nor a comment starts with "data_"; a
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
StructureFile ReadStructure(const std::string& path, const HetAtomRadii& hetRadii);
// The same from text already in memory (tests, fuzzing).
StructureFile ReadStructureText(const std::string& text, const std::string& name, const HetAtomRadii& hetRadii);

// Reads mmCIF text into `builder`: the first model, author chain names and residue numbers
// with insertion codes, helix and sheet ranges, modified residues. `fast` reads the
// atom_site loop with our own tokenizer and the rest through gemmi; without it gemmi
// reads everything (the two agree, which a test checks).
FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR,
                     bool fast = true);

}  // namespace tessmol
