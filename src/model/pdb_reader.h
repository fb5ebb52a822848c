// Reads the fixed-column PDB format into a Structure: EXPDTA, MODRES, ATOM, HETATM, TER,
// HELIX and SHEET records, the first model only; every other record is ignored. The
// atoms go through StructureBuilder, whose rules the mmCIF reader shares.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "base/file_status.h"
#include "model/het_atom_radii.h"
#include "model/structure.h"
#include "model/structure_builder.h"

namespace tessmol {

inline constexpr const char* kAtomLineTooShort =
    "an atom line too short to hold its coordinates (columns 31-54)";

// The remark a file gets when its B-factor column, a predicted model's pLDDT, is written
// over with other values (--bfactor-out, the membrane's copy): read back, its header's
// predictor no longer makes the column confidence.
inline constexpr const char* kNotConfidenceRemark =
    "REMARK 999 THE B-FACTOR COLUMN HOLDS VALUES OF AN ANALYSIS, NOT PLDDT";

class PdbReader {
 public:
  // Heteroatoms get their radii from `hetRadii`, which must outlive the reader.
  explicit PdbReader(const HetAtomRadii& hetRadii) : builder_(hetRadii) {}

  // Opens a file for reading, plain or gzip-compressed; says why not for an empty path, a
  // missing file, a folder or a file that cannot be read.
  FileStatus Open(const std::string& path);
  // Reads the whole file. A read error (a failing disk, a line too long for memory) is
  // an error, not the end of the file; so is a Tessmol result file, which is no
  // structure (see isResultFile), and an atom line of the first model whose x, y or z
  // is missing or no number (a file cut off within a line among them).
  FileStatus Read();
  // Reads lines from any stream.
  FileStatus Read(std::istream& in, const std::string& name);
  // Reads lines from text in memory.
  FileStatus Read(std::string_view text, const std::string& name);
  void Close() { text_.clear(); }

  const Structure& structure() const { return structure_; }
  Structure& structure() { return structure_; }
  bool isNMR() const { return isNMR_; }
  // The file had MODEL records and everything after the first ENDMDL was left out.
  bool modelsSkipped() const { return builder_.summary().modelsSkipped; }
  // The file is one of Tessmol's own result files (it starts with a STRUCTURE record).
  bool isResultFile() const { return isResultFile_; }
  int duplicateAtoms() const { return builder_.summary().duplicateAtoms; }
  const ReadSummary& summary() const { return builder_.summary(); }
  const ModelEvidence& evidence() const { return builder_.evidence(); }
  const std::vector<float>& residueBFactors() const { return builder_.residueBFactors(); }

 private:
  // Why the line cannot be read (a line too short for its coordinates, coordinates that
  // are no number or implausible), nothing added; null when the atom was read.
  const char* ReadAtomLine(std::string_view line, bool hetero);
  void ReadRange(std::string_view line, bool helix);

  StructureBuilder builder_;
  std::string path_;
  std::string text_;  // the whole file, decompressed
  bool opened_ = false;
  Structure structure_;
  bool isNMR_ = false;
  bool isResultFile_ = false;
};

}  // namespace tessmol
