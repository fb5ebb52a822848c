#include "model/pdb_reader.h"


#include "model/text.h"

namespace tessmol {

namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// One character column; code 0 when the line is too short to hold it.
char Column(std::string_view line, size_t column) {
  return column < line.size() ? line[column] : '\0';
}

void ReadCommonFields(std::string_view line, Atom& atom) {
  atom.serial = ParseInt(Field(line, 6, 5));
  atom.chainId = Column(line, 21);
  atom.resSeq = ParseInt(Field(line, 22, 4));
  atom.x = ParseFloat(Field(line, 30, 8));
  atom.y = ParseFloat(Field(line, 38, 8));
  atom.z = ParseFloat(Field(line, 46, 8));
}

}  // namespace

FileStatus PdbReader::Open(const std::string& path) {
  path_ = path;
  if (!OpenForReading(file_, path)) return ReadFailure(path);
  return FileStatus::Ok(path);
}

void PdbReader::Close() {
  if (file_.is_open()) file_.close();
}

FileStatus PdbReader::Read() {
  if (!file_.is_open()) return ReadFailure(path_);
  return Read(file_, path_);
}

FileStatus PdbReader::Read(std::istream& in, const std::string& name) {
  std::string line;
  int lineNumber = 0;
  bool sawModel = false;
  bool modelHasAtoms = false;
  bool stopped = false;  // after the first ENDMDL of a model that held atoms
  while (ReadLine(in, line)) {
    if (++lineNumber == 1 && StartsWith(line, "STRUCTURE\t")) {
      isResultFile_ = true;
      return FileStatus::Format(name, 1, "a Tessmol result file, not a structure");
    }
    // ANISOU, SIGATM and SIGUIJ lines belong to the ATOM line before them; in
    // high-resolution entries they follow every atom and must not end a residue or chain.
    if (StartsWith(line, "ANISOU") || StartsWith(line, "SIGATM") || StartsWith(line, "SIGUIJ")) {
      continue;
    }
    const bool atomLine = StartsWith(line, "ATOM");
    if (inAtomRun_ && !atomLine) FinishAtomRun();
    if (atomLine) {
      if (stopped) {
        modelsSkipped_ = true;
        continue;
      }
      modelHasAtoms = true;
      ReadAtomLine(line);
    } else if (StartsWith(line, "HETATM")) {
      if (stopped) {
        modelsSkipped_ = true;
        continue;
      }
      modelHasAtoms = true;
      ReadHetAtomLine(line);
    } else if (StartsWith(line, "EXPDTA")) {
      if (Field(line, 10, 3) == "NMR") isNMR_ = true;
    } else if (StartsWith(line, "HELIX")) {
      ReadRange(line, true);
    } else if (StartsWith(line, "SHEET")) {
      ReadRange(line, false);
    } else if (StartsWith(line, "MODEL")) {
      sawModel = true;
    } else if (StartsWith(line, "ENDMDL")) {
      // Only the first model is read: NMR ensembles say "SOLUTION NMR" or "NMR" in many
      // forms, and reading every model puts them all on top of each other.
      if (sawModel && modelHasAtoms) stopped = true;
    }
  }
  if (inAtomRun_) FinishAtomRun();
  ComputeBoundingBox();
  if (ReadFailed(in)) return FileStatus::Unreadable(name, "read error after line " + std::to_string(lineNumber));
  return FileStatus::Ok(name);
}

bool PdbReader::DuplicatesAtomOfResidue(const Atom& atom) const {
  auto near = [&](int32_t index) {
    if (index < 0) return false;
    const Atom& other = structure_.atoms[index];
    const float dx = other.x - atom.x, dy = other.y - atom.y, dz = other.z - atom.z;
    return dx * dx + dy * dy + dz * dz < 1e-4f;
  };
  if (near(current_.nIndex) || near(current_.caIndex) || near(current_.cIndex) || near(current_.oIndex)) return true;
  for (int32_t index : current_.sideChain) {
    if (near(index)) return true;
  }
  return false;
}

void PdbReader::TypeResidue(Residue& residue) const {
  residue.secStruct = 2;
  for (const SecondaryRange& helix : structure_.helices) {
    if (helix.chainId == residue.chainId && helix.firstResSeq <= residue.resSeq &&
        residue.resSeq <= helix.lastResSeq) {
      residue.secStruct = 1;
    }
  }
  for (const SecondaryRange& sheet : structure_.sheets) {
    if (sheet.chainId == residue.chainId && sheet.firstResSeq <= residue.resSeq &&
        residue.resSeq <= sheet.lastResSeq) {
      residue.secStruct = 0;
    }
  }
  residue.type = ResidueTypeOf(residue.name);
}

void PdbReader::ReadAtomLine(const std::string& line) {
  Atom atom;
  atom.name = std::string(TrimAtomName(Field(line, 12, 4)));
  ReadCommonFields(line, atom);
  const char altLoc = Column(line, 16);
  const char iCode = Column(line, 26);

  auto makeResidue = [&]() {
    Residue residue(std::string(Field(line, 17, 3)), atom.resSeq, atom.chainId);
    residue.iCode = iCode;
    TypeResidue(residue);
    return residue;
  };

  if (!inAtomRun_) {
    inAtomRun_ = true;
    currentChainId_ = '*';
    current_ = makeResidue();
    currentAltLoc_ = ' ';
  } else if (atom.resSeq != current_.resSeq || atom.chainId != current_.chainId || iCode != current_.iCode) {
    const auto count = static_cast<int32_t>(structure_.residues.size());
    if (current_.chainId != currentChainId_) {
      currentChainId_ = current_.chainId;
      if (!structure_.chains.empty()) structure_.CloseLastChain(count - 1);
      structure_.OpenChain(count, current_.chainId);
    }
    structure_.residues.push_back(std::move(current_));
    current_ = makeResidue();
    currentAltLoc_ = ' ';
  }

  // Alternate locations: keep the first conformer met in the residue, drop the others,
  // so that no two copies of an atom lie on top of each other.
  if (altLoc != ' ' && altLoc != '\0') {
    if (currentAltLoc_ == ' ') currentAltLoc_ = altLoc;
    if (altLoc != currentAltLoc_) return;
    auto sameName = [&](int32_t index) { return index >= 0 && structure_.atoms[index].name == atom.name; };
    if (sameName(current_.nIndex) || sameName(current_.caIndex) || sameName(current_.cIndex) ||
        sameName(current_.oIndex)) {
      return;
    }
    for (int32_t index : current_.sideChain) {
      if (sameName(index)) return;
    }
  }

  if (DuplicatesAtomOfResidue(atom)) {
    ++duplicateAtoms_;
    return;
  }
  const auto index = static_cast<int32_t>(structure_.atoms.size());
  atom.index = index;
  AddAtomToResidue(atom, current_, index);
  structure_.atoms.push_back(std::move(atom));
}

void PdbReader::FinishAtomRun() {
  inAtomRun_ = false;
  structure_.residues.push_back(std::move(current_));
  current_ = Residue();
  structure_.CloseLastChain(static_cast<int32_t>(structure_.residues.size()) - 1);
}

void PdbReader::ReadHetAtomLine(const std::string& line) {
  HetAtom atom;
  atom.index = static_cast<int32_t>(structure_.atoms.size());
  atom.name = std::string(Field(line, 12, 4));
  atom.residueName = std::string(Field(line, 17, 3));
  ReadCommonFields(line, atom);

  const char altLoc = Column(line, 16);
  const char iCode = Column(line, 26);
  if (atom.resSeq != hetResSeq_ || atom.chainId != hetChainId_ || iCode != hetICode_ ||
      atom.residueName != hetResidueName_ || structure_.hetAtoms.empty()) {
    hetResSeq_ = atom.resSeq;
    hetChainId_ = atom.chainId;
    hetICode_ = iCode;
    hetResidueName_ = atom.residueName;
    hetAltLoc_ = ' ';
    hetResidueStart_ = structure_.hetAtoms.size();
  }
  if (altLoc != ' ' && altLoc != '\0') {
    if (hetAltLoc_ == ' ') hetAltLoc_ = altLoc;
    if (altLoc != hetAltLoc_) return;
    for (size_t i = hetResidueStart_; i < structure_.hetAtoms.size(); ++i) {
      if (structure_.hetAtoms[i].name == atom.name) return;
    }
  }

  hetRadii_.Assign(atom);
  structure_.hetAtoms.push_back(std::move(atom));
}

void PdbReader::ReadRange(const std::string& line, bool helix) {
  SecondaryRange range;
  if (helix) {
    range.chainId = Column(line, 19);
    range.firstResSeq = ParseInt(Field(line, 21, 4));
  } else {
    range.chainId = Column(line, 21);
    range.firstResSeq = ParseInt(Field(line, 22, 4));
  }
  range.lastResSeq = ParseInt(Field(line, 33, 4));
  (helix ? structure_.helices : structure_.sheets).push_back(range);
}

void PdbReader::ComputeBoundingBox() {
  for (const Atom& atom : structure_.atoms) structure_.ExtendBox(atom);
}

}  // namespace tessmol
