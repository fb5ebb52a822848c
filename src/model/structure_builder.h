// Builds a Structure from atom records, whatever file they came from: the PDB reader and
// the mmCIF reader both hand their atoms here, so the rules below hold for both.
// - Hydrogen and deuterium take no part (they are counted).
// - HETATM DUM pseudo-atoms (the membrane planes of OPM files) are no heteroatoms.
// - A HETATM residue whose parent is a standard residue (MSE always, others as the file
//   says) stays in its chain as its parent; selenium of MSE is typed as MET's sulphur.
// - Per residue one conformer: the first alternate-location letter met, with the atoms
//   that have none; an atom of that conformer replaces a blank one of the same name.
// - An atom within 0.01 angstrom of another atom of its residue is the same atom twice.
// - A TER record or a change of chain identifier ends a chain; one residue is a chain.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/het_atom_radii.h"
#include "model/structure.h"

namespace tessmol {

struct AtomRecord {
  bool hetero = false;  // HETATM, or a non-polymer atom of an mmCIF file
  std::string name;     // without blanks
  std::string field;    // the name as the PDB's four columns hold it (heteroatom radii go by it)
  char altLoc = ' ';
  std::string residueName;
  std::string chainName;  // the author's chain name, one character in PDB files
  int32_t resSeq = 0;
  char iCode = ' ';
  int32_t serial = 0;
  float x = 0.0f, y = 0.0f, z = 0.0f;
  std::string element;    // blank when the file does not say
  float bFactor = 0.0f;   // a predicted model's pLDDT where the file is one
  std::string labelAsym;  // mmCIF's label_asym_id and label_seq_id, which ModelCIF's
  int32_t labelSeq = 0;   // per-residue scores name residues by
};

// What a file says of having been predicted rather than measured, and the per-residue
// scores its metadata holds (ModelCIF's _ma_qa_metric_local, pLDDT).
struct ModelEvidence {
  bool predicted = false;
  std::string source;  // the predictor as the file names it ("AlphaFold monomer v2.0")
  // The experiment the file says measured it (PDB's EXPDTA, mmCIF's _exptl.method), empty
  // when it names none or calls itself a theoretical model.
  std::string experiment;
  // The file says its B-factor column holds an analysis's values (a model's copy with them
  // written over): no pLDDT, whatever the user asks of the column.
  bool analysisValues = false;
  std::map<std::pair<std::string, int32_t>, float> localScores;  // by label_asym_id, label_seq_id
};

// What an mmCIF copy of a model whose B-factor column was written over with an analysis's
// values says of it (the PDB copy's remark, kNotConfidenceRemark): this item, whose value
// is kNotConfidenceText. A ModelCIF file's own pLDDT (_ma_qa_metric_local) still holds.
inline constexpr const char* kNotConfidenceItem = "_tessmol_bfactor_column.content";
inline constexpr const char* kNotConfidenceText = "values of an analysis, not pLDDT";

// Coordinates a structure can hold: numbers, within a million angstrom of the origin.
// Readers refuse a file with any other (text like "1e30" or "nan" parses as a number).
bool PlausibleCoordinates(const AtomRecord& record);
// Whether a residue name (blanks around it allowed) is one of the standard DNA and RNA
// nucleotides, which the builder reads as heteroatoms.
bool IsNucleotide(std::string_view residueName);
inline constexpr const char* kImplausibleCoordinates =
    "coordinates that are no number or beyond 1e6 angstrom";

// What the reading left out or changed, for the user.
struct ReadSummary {
  int hydrogens = 0;                                    // H and D atoms left out
  int conformerAtoms = 0;                               // atoms of other conformers left out
  int duplicateAtoms = 0;                               // atoms lying on another atom of their residue
  int membraneMarkers = 0;                              // DUM pseudo-atoms left out
  int nucleotides = 0;                                  // DNA and RNA residues, read as heteroatoms
  bool modelsSkipped = false;                           // models after the first
  std::map<std::string, std::string> modifiedResidues;  // name -> parent, those met
};

// One-character chain identifiers for chains that have none of their own, in the order
// they are given: A-Z, a-z, 0-9 as the PDB uses them, then 22 punctuation characters that
// are safe in PDB column 22, in a TAB-separated field and unquoted in mmCIF (no blank,
// TAB, quote, '#', '$', '_', ';', '[', ']', '.' or '?'): 84 in all.
inline constexpr std::string_view ChainIdPool() {
  return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!%&()*+,-/:<=>@\\^`{|}~";
}

class StructureBuilder {
 public:
  explicit StructureBuilder(const HetAtomRadii& hetRadii);

  // A modified residue the file names (MODRES, _pdbx_struct_mod_residue). MSE -> MET is
  // always known.
  void AddModifiedResidue(const std::string& name, const std::string& parent);
  // Helix and sheet ranges; they type the residues made after them.
  // A helix of the PDB's HELIX class (columns 39-40, mmCIF pdbx_PDB_helix_class) counts when
  // it is right-handed, 1 (alpha) to 5 (3-10), or names no class (the format's default is
  // alpha); left-handed helices, 2-7 ribbons and polyproline (6-10) are no helix in the
  // scores' sense.
  static bool HelixClassCounts(int helixClass) { return helixClass <= 5; }
  void AddRange(const SecondaryRange& range, bool helix) {
    (helix ? s_.helices : s_.sheets).push_back(range);
  }
  void AddAtom(AtomRecord record);
  // Room for this many atoms, so that they are not moved as the structure grows.
  void Reserve(size_t atoms) { s_.atoms.reserve(atoms); }
  // TER: the open residue and chain end here.
  void EndChain();
  // Closes what is open and computes the box. Call once, after the last atom.
  Structure Finish();
  // The first biological assembly the file describes (Structure::assemblyChains).
  void SetAssembly(std::vector<std::string> chains, int copies, int absent = 0) {
    s_.assemblyChains = std::move(chains);
    s_.assemblyCopies = copies;
    s_.assemblyAbsentChains = absent;
  }

  const ReadSummary& summary() const { return summary_; }
  ReadSummary& summary() { return summary_; }
  ModelEvidence& evidence() { return evidence_; }
  const ModelEvidence& evidence() const { return evidence_; }
  // Per residue made, parallel to the structure's residues: the B-factor of its CA (else
  // of its first atom), and its mmCIF label (asym, seq).
  const std::vector<float>& residueBFactors() const { return residueBFactors_; }
  const std::vector<std::pair<std::string, int32_t>>& residueLabels() const { return residueLabels_; }
  bool hasAtoms() const { return !s_.atoms.empty() || residueOpen_; }
  // The one-character chain identifier a chain name is given: itself when it is one
  // character, else the first of ChainIdPool() no chain met before has taken, and once
  // all are taken the pool again from its start (the full name stays in chainNames).
  // Readers name the one-character chains first, so they keep their own letters.
  char ChainIdFor(const std::string& chainName);

 private:
  void AddProteinAtom(const AtomRecord& record, const std::string& residueName);
  void AddHetAtom(const AtomRecord& record);
  void CloseResidue();
  // Where an atom of the open residue of that name is, or -1.
  int32_t AtomOfResidueNamed(const std::string& name) const;
  bool LiesOnAnAtomOfTheResidue(float x, float y, float z) const;
  // Helix, sheet (a sheet wins) or coil, by the file's ranges so far.
  SecondaryStructure SecondaryStructureOf(char chainId, int32_t resSeq);

  // The file's ranges ordered by chain, for typing residues as they are made: a large
  // structure has hundreds of ranges and thousands of residues. Made again when ranges
  // were added since.
  struct RangeIndex {
    std::vector<SecondaryRange> byChain;
    size_t indexed = 0;
    bool Contains(const std::vector<SecondaryRange>& ranges, char chainId, int32_t resSeq);
  };

  const HetAtomRadii& hetRadii_;
  Structure s_;
  ReadSummary summary_;
  ModelEvidence evidence_;
  std::vector<float> residueBFactors_;
  std::vector<std::pair<std::string, int32_t>> residueLabels_;
  float currentBFactor_ = 0.0f;
  std::pair<std::string, int32_t> currentLabel_;
  std::map<std::string, std::string> parents_;
  std::map<std::string, char> chainIds_;
  std::string usedIds_;
  size_t reused_ = 0;  // identifiers given again once the pool was used up
  // The open residue and chain.
  bool residueOpen_ = false;
  bool chainOpen_ = false;
  Residue current_;
  std::string currentChainName_;
  char conformer_ = ' ';
  // The heteroatom residue being read, for its conformers.
  std::string hetKey_;
  std::string nucleotideKey_;                  // the last nucleotide counted
  std::set<std::string> modifiedNucleotides_;  // MODRES names whose parent is a nucleotide
  char hetConformer_ = ' ';
  size_t hetStart_ = 0;
  RangeIndex helixIndex_, sheetIndex_;
};

// Hydrogen or deuterium, by the element column, or where that is blank by the atom name
// as the PDB's four columns hold it.
bool IsHydrogen(const std::string& element, const std::string& field);

}  // namespace tessmol
