// The in-memory model of one protein structure: plain value records in file order that
// refer to one another by index, plus the fixed code tables (residue types, atom classes,
// environment classes).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessmol {

// ---- code tables -------------------------------------------------------------------

inline constexpr int kResidueTypeCount = 20;  // score table columns
inline constexpr int kEnvironmentCount = 18;  // score table rows
inline constexpr int kKavelinUnknownEnv = 18;
inline constexpr float kProbeRadius = 1.4f;
inline constexpr int kAtomClassCount = 7;

// Three-letter names of residue types 0 to 19; the column order of every score table.
inline constexpr std::array<std::string_view, kResidueTypeCount> kResidueNames = {
    "TRP", "PHE", "TYR", "LEU", "ILE", "VAL", "MET", "ALA", "GLY", "PRO",
    "CYS", "THR", "SER", "GLN", "ASN", "GLU", "ASP", "HIS", "LYS", "ARG"};

// Accessible area of CA plus side chain of each fully exposed residue type (square
// angstrom): the reference for buried area and relative exposure.
inline constexpr std::array<float, kResidueTypeCount> kReferenceSideArea = {
    245.26375f, 189.15985f, 208.92958f, 159.79398f, 156.16229f, 123.11399f, 172.16957f,
    60.89286f,  45.032845f, 136.5512f,  98.295326f, 108.914f,   95.026894f, 144.73444f,
    125.60748f, 152.16052f, 110.35441f, 152.41766f, 162.61354f, 199.13228f};

// Profiles-3D environment class names 0 to 17; the row order of every score table.
inline constexpr std::array<std::string_view, kEnvironmentCount> kEnvironmentNames = {
    "B1a", "B1b", "B1", "B2a", "B2b", "B2", "B3a", "B3b", "B3",
    "P1a", "P1b", "P1", "P2a", "P2b", "P2", "Ea",  "Eb",  "E"};

// Residue types: 0 to 19 the standard amino acids in score table order (plain values,
// as they index every table), 21 every other name. Result files store the numbers.
enum ResidueType : int32_t {
  kTrp = 0,
  kPhe,
  kTyr,
  kLeu,
  kIle,
  kVal,
  kMet,
  kAla,
  kGly,
  kPro,
  kCys,
  kThr,
  kSer,
  kGln,
  kAsn,
  kGlu,
  kAsp,
  kHis,
  kLys,
  kArg,
  kUnknownResidueType = 21
};

// Type of a three-letter name, compared exactly; kUnknownResidueType for every other name.
ResidueType ResidueTypeOf(std::string_view name);

// A residue's secondary structure; result files store the numbers.
enum class SecondaryStructure : int32_t { kSheet = 0, kHelix = 1, kCoil = 2 };

// Protein atom classes, which set every atom's radius and polarity; result files store
// the numbers.
enum class AtomClass : int32_t {
  kAliphaticCarbon = 0,    // CA and the carbons that carry hydrogens
  kSmallCarbon = 1,        // the carbonyl C, carboxyl and amide carbons, ALA and GLY carbons
  kAromaticCarbon = 2,     // ring carbons and the guanidinium carbon
  kNitrogen = 3,           // polar
  kOxygen = 4,             // polar
  kMethionineSulphur = 5,  // SD
  kCysteineSulphur = 6     // SG
};

struct AtomClassInfo {
  float vdwRadius;
  float radius;      // van der Waals radius plus the probe
  float sphereArea;  // 4 pi radius^2, computed in 32-bit floats
  bool polar;
};

// Radius, sphere area and polarity of an atom class. A class outside the enumeration (a
// result file may hold any number) gets the radius of class 0 and no polarity of its own
// (callers keep the atom's flag).
AtomClassInfo AtomClassOf(AtomClass atomClass);

// ---- records -----------------------------------------------------------------------

struct FloatPair {
  float f1 = 0.0f;
  float f2 = 0.0f;
};

struct SecondaryRange {
  int32_t firstResSeq = 0;
  int32_t lastResSeq = 0;
  char chainId = ' ';
};

struct Chain {
  int32_t firstResidue = 0;
  int32_t lastResidue = 0;  // inclusive
  char chainId = ' ';
};

// A reference to a protein atom or a heteroatom of the same structure, packed in 32 bits
// so that neighbour lists stay compact.
class AtomRef {
 public:
  static AtomRef Protein(int32_t index) { return AtomRef(index); }
  static AtomRef Hetero(int32_t index) { return AtomRef(-index - 1); }
  bool hetero() const { return value_ < 0; }
  int32_t index() const { return value_ < 0 ? -value_ - 1 : value_; }
  bool operator==(const AtomRef& other) const { return value_ == other.value_; }
  bool operator<(const AtomRef& other) const { return value_ < other.value_; }

 private:
  explicit AtomRef(int32_t value) : value_(value) {}
  int32_t value_;
};

struct Atom {
  std::string name;
  char chainId = ' ';
  int32_t index = 0;
  int32_t serial = 0;
  float x = 0.0f, y = 0.0f, z = 0.0f;
  int32_t resSeq = 0;
  AtomClass atomClass = AtomClass::kAliphaticCarbon;
  float radius = 0.0f;
  float sphereArea = 0.0f;
  bool polar = false;
  bool hetero = false;
};

struct HetAtom : Atom {
  HetAtom() {
    polar = true;
    hetero = true;
  }
  std::string residueName;
};

struct Residue {
  Residue() = default;
  Residue(std::string residueName, int32_t sequenceNumber, char chain)
      : chainId(chain), resSeq(sequenceNumber), name(std::move(residueName)) {}

  char chainId = ' ';
  SecondaryStructure secStruct = SecondaryStructure::kCoil;
  int32_t resSeq = 0;
  char iCode = ' ';  // insertion code: 52, 52A and 52B are three residues
  std::string name;
  int32_t caIndex = -1, cIndex = -1, nIndex = -1, oIndex = -1;
  std::vector<int32_t> sideChain;
  ResidueType type = kUnknownResidueType;

  bool HasMainChain() const { return caIndex >= 0 && cIndex >= 0 && nIndex >= 0 && oIndex >= 0; }
};

struct Structure {
  std::vector<SecondaryRange> sheets;
  std::vector<SecondaryRange> helices;
  std::vector<Atom> atoms;
  std::vector<Residue> residues;
  std::vector<Chain> chains;
  // The author's full name of each chain, parallel to `chains` where a reader filled it;
  // mmCIF names may be longer than the one character of chainId.
  std::vector<std::string> chainNames;
  std::vector<HetAtom> hetAtoms;
  std::array<FloatPair, 3> xyzExtremities{};
  // A predicted model's per-residue confidence (pLDDT, 0 to 100), parallel to `residues`;
  // empty for experimental structures, whose B-factors are never taken for confidence.
  std::vector<float> confidence;
  // What made the model, as its file says ("AlphaFold", ...); empty when not a model.
  std::string modelSource;
  // The file's first biological assembly (PDB REMARK 350, mmCIF _pdbx_struct_assembly_gen):
  // the author chains it is built from and how many copies of them it takes (the most
  // operators applied to one set of them); 0 copies when the file gives none.
  std::vector<std::string> assemblyChains;
  int assemblyCopies = 0;
  // Of assemblyChains, those no coordinate record of the file holds (a chain cut out of its
  // complex with the header kept).
  int assemblyAbsentChains = 0;

  // The atom behind a neighbour reference.
  const Atom& AtomAt(AtomRef ref) const {
    return ref.hetero() ? static_cast<const Atom&>(hetAtoms[ref.index()]) : atoms[ref.index()];
  }

  // The full name of chain k: its author's name when longer than one character, else its
  // one-character identifier.
  std::string ChainName(size_t k) const;
  // The name of the chain holding residue `index`, as tables and charts show it: the
  // author's full name when longer than one character, else the residue's chain
  // identifier, blank for code 0 (a line too short to hold one).
  std::string ChainNameOfResidue(size_t index) const;
  // How many chains the first biological assembly has beyond those the file holds: a
  // channel's file of one protomer whose assembly makes four, or one chain cut out of the
  // complex the header describes. 0 when the file holds all of it (the copies already made,
  // or the assembly is the file's own chains) or gives none. Chains the file holds but
  // that are no protein (DNA, ligands of their own chain) are not counted as missing.
  int MissingAssemblyChains() const;
  void CloseLastChain(int32_t lastResidue);
  void OpenChain(int32_t firstResidue, char chainId);

  // Widens xyzExtremities to take in the atom.
  void ExtendBox(const Atom& atom);
};

// Whether a heteroatom residue name is a water (HOH, WAT, DOD, H2O, D2O, SOL, TIP3, SPC and
// their kin). Water is the solvent whose access the surface measures, so a water never
// covers the surface; ligands, ions and cofactors do unless heteroatoms are ignored.
bool IsWaterName(std::string_view residueName);

// What takes part in the surface pass beside the protein atoms: heteroatoms that cover
// (every non-water heteroatom unless all are ignored) and the waters left out.
struct HetAtomCover {
  size_t coveringAtoms = 0;
  size_t watersLeftOut = 0;  // molecules: a chain, number and name each
};
HetAtomCover CountHetAtomCover(const Structure& structure, bool ignoreHeteroAtoms);

// Adds a protein atom that will get `index` in `atoms` to its residue: sets the atom's
// class, radius, sphere area and polarity and records it as main chain or side chain.
// The residue's type must already be set.
void AddAtomToResidue(Atom& atom, Residue& residue, int32_t index);

}  // namespace tessmol
