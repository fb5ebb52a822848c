// Reads the fixed-column PDB format into a Structure: EXPDTA, ATOM, HETATM, HELIX and
// SHEET records; every other record is ignored.
#pragma once

#include <fstream>
#include <string>

#include "model/file_status.h"
#include "model/het_atom_radii.h"
#include "model/structure.h"

namespace tessmol {

class PdbReader {
 public:
  // Heteroatoms get their radii from `hetRadii`, which must outlive the reader.
  explicit PdbReader(const HetAtomRadii& hetRadii) : hetRadii_(hetRadii) {}

  // Opens a regular file for reading; says why not for an empty path, a missing file, a
  // folder or a file that cannot be read.
  FileStatus Open(const std::string& path);
  // Reads the whole file. A read error (a failing disk, a line too long for memory) is
  // an error, not the end of the file; so is a Tessmol result file, which is no
  // structure (see isResultFile).
  FileStatus Read();
  // Reads lines from any stream (tests, compressed input decoded elsewhere).
  FileStatus Read(std::istream& in, const std::string& name);
  void Close();

  const Structure& structure() const { return structure_; }
  Structure& structure() { return structure_; }
  bool isNMR() const { return isNMR_; }
  // The file had MODEL records and everything after the first ENDMDL was left out.
  bool modelsSkipped() const { return modelsSkipped_; }
  // The file is one of Tessmol's own result files (it starts with a STRUCTURE record).
  bool isResultFile() const { return isResultFile_; }
  // Atoms left out because an atom of the same name or another lay within 0.01 angstrom
  // of them in the same residue: the same atom written twice.
  int duplicateAtoms() const { return duplicateAtoms_; }

 private:
  struct PendingResidue;
  void ReadAtomLine(const std::string& line);
  void FinishAtomRun();
  void ReadHetAtomLine(const std::string& line);
  void ReadRange(const std::string& line, bool helix);
  void TypeResidue(Residue& residue) const;
  void ComputeBoundingBox();
  bool DuplicatesAtomOfResidue(const Atom& atom) const;

  const HetAtomRadii& hetRadii_;
  std::ifstream file_;
  Structure structure_;
  bool isNMR_ = false;
  bool modelsSkipped_ = false;
  bool isResultFile_ = false;
  int duplicateAtoms_ = 0;
  std::string path_;

  // State of the ATOM run being read.
  bool inAtomRun_ = false;
  char currentChainId_ = '*';
  Residue current_;
  char currentAltLoc_ = ' ';  // alternate location kept for the current residue
  // State of the HETATM residue being read, for its alternate locations.
  int32_t hetResSeq_ = 0;
  char hetChainId_ = 0;
  char hetICode_ = 0;
  std::string hetResidueName_;
  char hetAltLoc_ = ' ';
  size_t hetResidueStart_ = 0;
};

}  // namespace tessmol
