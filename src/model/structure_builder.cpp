#include "model/structure_builder.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/text.h"

namespace tessmol {

namespace {

bool ChainBefore(const SecondaryRange& range, char chainId) {
  return static_cast<unsigned char>(range.chainId) < static_cast<unsigned char>(chainId);
}

bool ChainAfter(char chainId, const SecondaryRange& range) {
  return static_cast<unsigned char>(chainId) < static_cast<unsigned char>(range.chainId);
}

}  // namespace

bool StructureBuilder::RangeIndex::Contains(const std::vector<SecondaryRange>& ranges, char chainId,
                                            int32_t resSeq) {
  if (indexed != ranges.size()) {
    byChain = ranges;
    std::stable_sort(byChain.begin(), byChain.end(), [](const SecondaryRange& l, const SecondaryRange& r) {
      return ChainBefore(l, r.chainId);
    });
    indexed = ranges.size();
  }
  const auto first = std::lower_bound(byChain.begin(), byChain.end(), chainId, ChainBefore);
  const auto last = std::upper_bound(first, byChain.end(), chainId, ChainAfter);
  return std::any_of(first, last, [resSeq](const SecondaryRange& r) {
    return r.firstResSeq <= resSeq && resSeq <= r.lastResSeq;
  });
}

SecondaryStructure StructureBuilder::SecondaryStructureOf(char chainId, int32_t resSeq) {
  if (sheetIndex_.Contains(s_.sheets, chainId, resSeq)) return SecondaryStructure::kSheet;
  return helixIndex_.Contains(s_.helices, chainId, resSeq) ? SecondaryStructure::kHelix
                                                           : SecondaryStructure::kCoil;
}

bool IsHydrogen(const std::string& element, const std::string& field) {
  std::string e;
  for (char c : element) {
    if (c != ' ') e.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (!e.empty()) return e == "H" || e == "D";
  // No element column: the element is right-justified in the name's first two columns
  // (" HB2", "1HB "), and a name filling all four starts with it ("HG12").
  if (field.empty()) return false;
  const char c = field[0] == ' ' || std::isdigit(static_cast<unsigned char>(field[0]))
                     ? (field.size() > 1 ? field[1] : ' ')
                     : field[0];
  return c == 'H' || c == 'D';
}

StructureBuilder::StructureBuilder(const HetAtomRadii& hetRadii) : hetRadii_(hetRadii) {
  parents_["MSE"] = "MET";
}

void StructureBuilder::AddModifiedResidue(const std::string& name, const std::string& parent) {
  if (ResidueTypeOf(name) != kUnknownResidueType) return;
  if (ResidueTypeOf(parent) != kUnknownResidueType) parents_[name] = parent;
  // A modified nucleotide (5-methylcytidine 5CM of DC) is a nucleotide too.
  if (IsNucleotide(parent)) modifiedNucleotides_.insert(name);
}

char StructureBuilder::ChainIdFor(const std::string& chainName) {
  if (chainName.empty()) return ' ';
  if (chainName.size() == 1) {
    if (usedIds_.find(chainName[0]) == std::string::npos) usedIds_.push_back(chainName[0]);
    return chainName[0];
  }
  auto found = chainIds_.find(chainName);
  if (found != chainIds_.end()) return found->second;
  const std::string_view pool = ChainIdPool();
  char id = '\0';
  for (char candidate : pool) {
    if (usedIds_.find(candidate) == std::string::npos) {
      id = candidate;
      break;
    }
  }
  // Every identifier taken: round the pool again; the full name tells the chains apart.
  if (id == '\0') id = pool[reused_++ % pool.size()];
  usedIds_.push_back(id);
  chainIds_[chainName] = id;
  return id;
}

bool IsNucleotide(std::string_view residueName) {
  while (!residueName.empty() && residueName.front() == ' ') residueName.remove_prefix(1);
  while (!residueName.empty() && residueName.back() == ' ') residueName.remove_suffix(1);
  // The wwPDB's standard nucleotides: ribo- A, C, G, U, I and N (unknown), deoxyribo- the same with D.
  static constexpr std::string_view kNames[] = {"A",  "C",  "G",  "U",  "I",  "N", "DA",
                                                "DC", "DG", "DT", "DU", "DI", "DN"};
  return std::find(std::begin(kNames), std::end(kNames), residueName) != std::end(kNames);
}

bool PlausibleCoordinates(const AtomRecord& r) {
  constexpr float kLimit = 1.0e6f;
  for (float v : {r.x, r.y, r.z}) {
    if (!(std::fabs(v) <= kLimit)) return false;  // NaN fails too
  }
  return true;
}

void StructureBuilder::AddAtom(AtomRecord record) {
  // Names hold no control characters, so that what is shown, stored and read back agree.
  MaskControlCharacters(record.name);
  MaskControlCharacters(record.residueName);
  MaskControlCharacters(record.chainName, true);
  if (record.iCode != '\0' && (static_cast<unsigned char>(record.iCode) < 0x20 || record.iCode == 0x7f)) {
    record.iCode = '?';
  }
  if (IsHydrogen(record.element, record.field)) {
    ++summary_.hydrogens;
    return;
  }
  // DNA and RNA are no protein: scored as residues they would be residues without a main
  // chain that lower the average and fail the window test. Like a ligand they still cover
  // the protein's surface (a repressor's DNA-binding face is buried), as heteroatoms.
  if (!record.hetero &&
      (IsNucleotide(record.residueName) || modifiedNucleotides_.count(record.residueName) > 0)) {
    record.hetero = true;
    const std::string key =
        record.chainName + '|' + std::to_string(record.resSeq) + record.iCode + record.residueName;
    if (key != nucleotideKey_) ++summary_.nucleotides;
    nucleotideKey_ = key;
  }
  // A modified residue is its parent whether the file calls its atoms ATOM or HETATM.
  auto parent = parents_.find(record.residueName);
  if (parent == parents_.end()) {
    if (!record.hetero) {
      AddProteinAtom(record, record.residueName);
    } else if (record.residueName == "DUM") {
      ++summary_.membraneMarkers;
    } else {
      AddHetAtom(record);
    }
    return;
  }
  summary_.modifiedResidues[record.residueName] = parent->second;
  AtomRecord mapped = record;
  // Selenomethionine's selenium stands where methionine's sulphur does.
  if (record.residueName == "MSE" && record.name == "SE") mapped.name = "SD";
  AddProteinAtom(mapped, parent->second);
}

int32_t StructureBuilder::AtomOfResidueNamed(const std::string& name) const {
  for (int32_t index : {current_.nIndex, current_.caIndex, current_.cIndex, current_.oIndex}) {
    if (index >= 0 && s_.atoms[index].name == name) return index;
  }
  for (int32_t index : current_.sideChain) {
    if (s_.atoms[index].name == name) return index;
  }
  return -1;
}

bool StructureBuilder::LiesOnAnAtomOfTheResidue(float x, float y, float z) const {
  auto near = [&](int32_t index) {
    if (index < 0) return false;
    const Atom& other = s_.atoms[index];
    const float dx = other.x - x, dy = other.y - y, dz = other.z - z;
    return dx * dx + dy * dy + dz * dz < 1e-4f;
  };
  if (near(current_.nIndex) || near(current_.caIndex) || near(current_.cIndex) || near(current_.oIndex))
    return true;
  return std::any_of(current_.sideChain.begin(), current_.sideChain.end(), near);
}

void StructureBuilder::AddProteinAtom(const AtomRecord& record, const std::string& residueName) {
  const char chainId = ChainIdFor(record.chainName);
  const bool newChain = !chainOpen_ || record.chainName != currentChainName_;
  if (newChain || !residueOpen_ || record.resSeq != current_.resSeq || record.iCode != current_.iCode) {
    CloseResidue();
    if (newChain) {
      if (chainOpen_) EndChain();
      s_.OpenChain(static_cast<int32_t>(s_.residues.size()), chainId);
      s_.chainNames.push_back(record.chainName);
      chainOpen_ = true;
      currentChainName_ = record.chainName;
    }
    current_ = Residue(residueName, record.resSeq, chainId);
    current_.iCode = record.iCode;
    current_.secStruct = SecondaryStructureOf(chainId, record.resSeq);
    current_.type = ResidueTypeOf(current_.name);
    residueOpen_ = true;
    conformer_ = ' ';
    currentBFactor_ = record.bFactor;
    currentLabel_ = {record.labelAsym, record.labelSeq};
  }
  // Predictors give every atom of a residue its pLDDT; CA is the one that is always there.
  if (record.name == "CA") currentBFactor_ = record.bFactor;

  Atom atom;
  atom.name = record.name;
  atom.serial = record.serial;
  atom.chainId = chainId;
  atom.resSeq = record.resSeq;
  atom.x = record.x;
  atom.y = record.y;
  atom.z = record.z;
  const char alt = record.altLoc == '\0' ? ' ' : record.altLoc;
  int32_t replace = -1;
  if (alt != ' ') {
    if (conformer_ == ' ') conformer_ = alt;
    if (alt != conformer_) {
      ++summary_.conformerAtoms;
      return;
    }
    // The conformer's own copy of an atom that was given without a letter.
    replace = AtomOfResidueNamed(atom.name);
  }
  if (replace >= 0) {
    Atom& kept = s_.atoms[replace];
    kept.x = atom.x;
    kept.y = atom.y;
    kept.z = atom.z;
    kept.serial = atom.serial;
    ++summary_.conformerAtoms;
    return;
  }
  if (LiesOnAnAtomOfTheResidue(atom.x, atom.y, atom.z)) {
    ++summary_.duplicateAtoms;
    return;
  }
  const auto index = static_cast<int32_t>(s_.atoms.size());
  atom.index = index;
  AddAtomToResidue(atom, current_, index);
  s_.atoms.push_back(std::move(atom));
}

void StructureBuilder::AddHetAtom(const AtomRecord& record) {
  HetAtom atom;
  atom.index = static_cast<int32_t>(s_.atoms.size());
  atom.name = record.field;
  atom.residueName = record.residueName;
  atom.serial = record.serial;
  atom.chainId = ChainIdFor(record.chainName);
  atom.resSeq = record.resSeq;
  atom.x = record.x;
  atom.y = record.y;
  atom.z = record.z;
  const std::string key =
      record.chainName + '|' + std::to_string(record.resSeq) + record.iCode + record.residueName;
  if (key != hetKey_ || s_.hetAtoms.size() < hetStart_) {
    hetKey_ = key;
    hetConformer_ = ' ';
    hetStart_ = s_.hetAtoms.size();
  }
  const char alt = record.altLoc == '\0' ? ' ' : record.altLoc;
  if (alt != ' ') {
    if (hetConformer_ == ' ') hetConformer_ = alt;
    if (alt != hetConformer_) {
      ++summary_.conformerAtoms;
      return;
    }
    for (size_t i = hetStart_; i < s_.hetAtoms.size(); ++i) {
      if (s_.hetAtoms[i].name == atom.name) {
        s_.hetAtoms[i].x = atom.x;
        s_.hetAtoms[i].y = atom.y;
        s_.hetAtoms[i].z = atom.z;
        ++summary_.conformerAtoms;
        return;
      }
    }
  }
  hetRadii_.Assign(atom);
  s_.hetAtoms.push_back(std::move(atom));
}

void StructureBuilder::CloseResidue() {
  if (!residueOpen_) return;
  s_.residues.push_back(std::move(current_));
  residueBFactors_.push_back(currentBFactor_);
  residueLabels_.push_back(std::move(currentLabel_));
  current_ = Residue();
  residueOpen_ = false;
  s_.CloseLastChain(static_cast<int32_t>(s_.residues.size()) - 1);
}

void StructureBuilder::EndChain() {
  CloseResidue();
  chainOpen_ = false;
  hetKey_.clear();
}

Structure StructureBuilder::Finish() {
  EndChain();
  for (const Atom& atom : s_.atoms) s_.ExtendBox(atom);
  return std::move(s_);
}

}  // namespace tessmol
