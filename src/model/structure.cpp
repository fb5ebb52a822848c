#include "model/structure.h"

namespace tessmol {

int32_t ResidueTypeOf(std::string_view name) {
  for (int32_t t = 0; t < kResidueTypeCount; ++t) {
    if (kResidueNames[t] == name) return t;
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

AtomClassInfo AtomClassOf(int32_t atomClass) {
  static const std::array<AtomClassInfo, kAtomClassCount> classes = {
      MakeClass(2.0f, false), MakeClass(1.5f, false),  MakeClass(1.85f, false), MakeClass(1.5f, true),
      MakeClass(1.4f, true),  MakeClass(1.85f, false), MakeClass(1.85f, false)};
  if (atomClass < 0 || atomClass >= kAtomClassCount) return classes[0];
  return classes[atomClass];
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
// the residue type: aromatic ring carbons are class 2, aliphatic carbons class 0, the
// carbonyl-like carbons of the amides and acids and all of ALA class 1.
int32_t SideChainCarbonClass(const std::string& name, int32_t type) {
  switch (type) {
    case kTrp:
    case kPhe:
    case kTyr:
    case kHis:
      return name == "CB" ? 0 : 2;
    case kLeu:
    case kIle:
    case kVal:
    case kPro:
    case kThr:
    case kSer:
    case kLys:
      return 0;
    case kMet:
      return name == "SD" ? 5 : 0;
    case kCys:
      return name == "SG" ? 6 : 0;
    case kGln:
    case kGlu:
      return name == "CD" ? 1 : 0;
    case kAsn:
    case kAsp:
      return name == "CG" ? 1 : 0;
    case kArg:
      return name == "CZ" ? 2 : 0;
    default:  // GLY, ALA and every other name
      return 1;
  }
}

}  // namespace

void AddAtomToResidue(Atom& atom, Residue& residue, int32_t index) {
  const std::string& name = atom.name;
  if (name == "N") {
    atom.atomClass = 3;
    residue.nIndex = index;
  } else if (name == "CA") {
    atom.atomClass = 0;
    residue.caIndex = index;
  } else if (name == "C") {
    atom.atomClass = 1;
    residue.cIndex = index;
  } else if (name == "O") {
    atom.atomClass = 4;
    residue.oIndex = index;
  } else {
    residue.sideChain.push_back(index);
    if (!name.empty() && name[0] == 'O') {
      atom.atomClass = 4;
    } else if (!name.empty() && name[0] == 'N') {
      atom.atomClass = 3;
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
