// Ideal-helix models: the main chain grown residue by residue from fixed bond lengths,
// bond angles and the torsions phi, psi and omega; each side chain copied from a template
// residue superposed on the new N, CA and C. The model is an ordinary Structure that the
// surface-area pass and the scoring analyse like any structure read from a file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "model/structure.h"
#include "transmembrane/geometry.h"

namespace tessmol {

// Where the helix models also go for inspection, in the working folder.
inline constexpr const char* kInspectionFile = "./helixtest.pdb";

inline constexpr float kHelixPhi = -62.0f;
inline constexpr float kHelixPsi = -41.0f;
inline constexpr float kHelixOmega = 180.0f;

// The residue name of a one-letter code (upper case only), the ambiguous and rare letters
// B, J, O, U, X, Z included (see fasta.h); "UNK" for anything else.
std::string ResidueNameForLetter(char letter);

// How the residues of a model built from a structure are typed.
enum class ModelHelixRange {
  kNone,        // no range: no residue is a helix residue (plain environment classes)
  kWholeModel,  // every residue is a helix residue, as in models from sequences
};

// The warning after a build in which residues of these names (none of the 20 amino acids)
// found no template.
std::string NoTemplateWarning(const std::vector<std::string>& names);

class HelixBuilder {
 public:
  // Templates are read from `programFolder` + "/Amino_Acids/NAME.pdb"; missing ones are
  // reported through `feedback`.
  HelixBuilder(std::string programFolder, Feedback& feedback);

  // The residue names whose template file was found missing, each reported once through
  // `feedback`; a model built while one is missing lacks those side chains.
  std::vector<std::string> missingNames;

  // Whether one of the 20 amino acids' templates is missing: an installation without its
  // data, whose models are wrong. Other names (UNK, a modified residue the file does not
  // relate to its amino acid) have no template by design; their residues keep their main
  // chain only.
  bool MissesAminoAcidTemplate() const;

  // The inspection file every build writes; empty: none.
  std::string inspectionPath = kInspectionFile;

  void AppendResidue(Structure& structure, Residue residue, const std::optional<SecondaryRange>& helixRange,
                     float phi, float psi, float omega);
  void AddSideChain(Structure& structure, Residue& residue);

  // One chain per sequence (A, B, ...), each numbered from 1, every residue a helix
  // residue, all one helix.
  Structure BuildFromSequences(const std::vector<std::string>& sequences, float phi = kHelixPhi,
                               float psi = kHelixPsi, float omega = kHelixOmega);
  // One residue per residue of `source`, same names and chains, all one helix, with the
  // source's chains.
  Structure BuildFromStructure(const Structure& source, ModelHelixRange range, float phi = kHelixPhi,
                               float psi = kHelixPsi, float omega = kHelixOmega);

  // One line of the inspection file.
  static std::string AtomLine(const Atom& atom, const Structure& structure);

 private:
  struct TemplateAtom {
    std::string name;
    Vec3 position;
  };
  const std::vector<TemplateAtom>* Template(const std::string& name, std::string& path);
  void WriteInspection(const Structure& structure);

  std::string programFolder_;
  Feedback& feedback_;
  std::map<std::string, std::optional<std::vector<TemplateAtom>>> templates_;  // read once each
};

}  // namespace tessmol
