#include "model/structure.h"

namespace tessmol {

ResidueType ResidueTypeOf(std::string_view name) {
  for (int32_t t = 0; t < kResidueTypeCount; ++t) {
    if (kResidueNames[t] == name) return static_cast<ResidueType>(t);
  }
  return kUnknownResidueType;
}

namespace {

constexpr float kFourPi = 12.566371f;

AtomClassInfo MakeClass(float vdw, bool polar) {
  const float radius = vdw + kProbeRadius;
  return {vdw, radius, radius * radius * kFourPi, polar};
}

}  // namespace

AtomClassInfo AtomClassOf(AtomClass atomClass) {
  static const std::array<AtomClassInfo, kAtomClassCount> classes = {
      MakeClass(2.0f, false), MakeClass(1.5f, false),  MakeClass(1.85f, false), MakeClass(1.5f, true),
      MakeClass(1.4f, true),  MakeClass(1.85f, false), MakeClass(1.85f, false)};
  const auto index = static_cast<int32_t>(atomClass);
  if (index < 0 || index >= kAtomClassCount) return classes[0];
  return classes[index];
}

bool IsWaterName(std::string_view residueName) {
  // Trimmed, as the readers store names; the force-field names come from simulation files
  // (TIP3 is cut to TIP in the three columns of a PDB line).
  static constexpr std::string_view kWaters[] = {"HOH", "WAT",  "DOD",  "H2O",  "D2O", "HOD", "SOL",
                                                 "TIP", "TIP3", "TIP4", "TIP5", "TP3", "TP4", "TP5",
                                                 "T3P", "T4P",  "T5P",  "SPC",  "SPCE"};
  while (!residueName.empty() && residueName.front() == ' ') residueName.remove_prefix(1);
  while (!residueName.empty() && residueName.back() == ' ') residueName.remove_suffix(1);
  for (std::string_view water : kWaters) {
    if (residueName == water) return true;
  }
  return false;
}

HetAtomCover CountHetAtomCover(const Structure& structure, bool ignoreHeteroAtoms) {
  HetAtomCover cover;
  const HetAtom* previousWater = nullptr;
  for (const HetAtom& atom : structure.hetAtoms) {
    if (!IsWaterName(atom.residueName)) {
      if (!ignoreHeteroAtoms) ++cover.coveringAtoms;
      continue;
    }
    // The atoms of one molecule follow each other.
    if (previousWater == nullptr || previousWater->resSeq != atom.resSeq ||
        previousWater->chainId != atom.chainId || previousWater->residueName != atom.residueName)
      ++cover.watersLeftOut;
    previousWater = &atom;
  }
  return cover;
}

std::string Structure::ChainName(size_t k) const {
  if (k < chainNames.size() && chainNames[k].size() > 1) return chainNames[k];
  return k < chains.size() ? std::string(1, chains[k].chainId) : std::string();
}

std::string Structure::ChainNameOfResidue(size_t index) const {
  const auto at = static_cast<int32_t>(index);
  for (size_t k = 0; k < chains.size() && k < chainNames.size(); ++k) {
    if (at >= chains[k].firstResidue && at <= chains[k].lastResidue && chainNames[k].size() > 1)
      return chainNames[k];
  }
  return std::string(1, residues[index].chainId == '\0' ? ' ' : residues[index].chainId);
}

int Structure::MissingAssemblyChains() const {
  if (assemblyCopies < 1 || (assemblyCopies < 2 && assemblyAbsentChains == 0)) return 0;
  int named = assemblyAbsentChains;
  for (const std::string& name : assemblyChains) {
    for (size_t k = 0; k < chains.size(); ++k) {
      if (ChainName(k) == name) {
        ++named;
        break;
      }
    }
  }
  const int needed = assemblyCopies * named;
  return needed > static_cast<int>(chains.size()) ? needed - static_cast<int>(chains.size()) : 0;
}

void Structure::CloseLastChain(int32_t lastResidue) {
  if (!chains.empty()) chains.back().lastResidue = lastResidue;
}

void Structure::OpenChain(int32_t firstResidue, char chainId) {
  chains.push_back({firstResidue, firstResidue, chainId});
}

void Structure::ExtendBox(const Atom& atom) {
  const float coords[3] = {atom.x, atom.y, atom.z};
  for (int axis = 0; axis < 3; ++axis) {
    FloatPair& range = xyzExtremities[axis];
    if (coords[axis] < range.f1) range.f1 = coords[axis];
    if (coords[axis] > range.f2) range.f2 = coords[axis];
  }
}

namespace {

// Class of a side-chain carbon (or any atom whose name starts with neither N nor O) by
// the residue type: aromatic ring carbons, aliphatic carbons, and the small class for the
// carbonyl-like carbons of the amides and acids and all of ALA.
AtomClass SideChainCarbonClass(const std::string& name, ResidueType type) {
  using enum AtomClass;
  switch (type) {
    case kTrp:
    case kPhe:
    case kTyr:
    case kHis:
      return name == "CB" ? kAliphaticCarbon : kAromaticCarbon;
    case kLeu:
    case kIle:
    case kVal:
    case kPro:
    case kThr:
    case kSer:
    case kLys:
      return kAliphaticCarbon;
    case kMet:
      return name == "SD" ? kMethionineSulphur : kAliphaticCarbon;
    case kCys:
      return name == "SG" ? kCysteineSulphur : kAliphaticCarbon;
    case kGln:
    case kGlu:
      return name == "CD" ? kSmallCarbon : kAliphaticCarbon;
    case kAsn:
    case kAsp:
      return name == "CG" ? kSmallCarbon : kAliphaticCarbon;
    case kArg:
      return name == "CZ" ? kAromaticCarbon : kAliphaticCarbon;
    default:  // GLY, ALA and every other name
      return kSmallCarbon;
  }
}

}  // namespace

void AddAtomToResidue(Atom& atom, Residue& residue, int32_t index) {
  const std::string& name = atom.name;
  if (name == "N") {
    atom.atomClass = AtomClass::kNitrogen;
    residue.nIndex = index;
  } else if (name == "CA") {
    atom.atomClass = AtomClass::kAliphaticCarbon;
    residue.caIndex = index;
  } else if (name == "C") {
    atom.atomClass = AtomClass::kSmallCarbon;
    residue.cIndex = index;
  } else if (name == "O") {
    atom.atomClass = AtomClass::kOxygen;
    residue.oIndex = index;
  } else {
    residue.sideChain.push_back(index);
    if (!name.empty() && name[0] == 'O') {
      atom.atomClass = AtomClass::kOxygen;
    } else if (!name.empty() && name[0] == 'N') {
      atom.atomClass = AtomClass::kNitrogen;
    } else {
      atom.atomClass = SideChainCarbonClass(name, residue.type);
    }
  }
  const AtomClassInfo info = AtomClassOf(atom.atomClass);
  atom.radius = info.radius;
  atom.sphereArea = info.sphereArea;
  atom.polar = info.polar;
}

}  // namespace tessmol
