#include "transmembrane/helix_builder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/file_status.h"
#include "base/text.h"
#include "model/structure_builder.h"

namespace tessmol {

namespace {

Vec3 PositionOf(const Atom& atom) {
  return {atom.x, atom.y, atom.z};
}

void AppendAtom(Structure& structure, Residue& residue, const std::string& name, char chainId,
                const Vec3& at) {
  Atom atom;
  atom.name = name;
  atom.chainId = chainId;
  atom.index = static_cast<int32_t>(structure.atoms.size());
  atom.serial = atom.index;
  atom.resSeq = static_cast<int32_t>(structure.residues.size());
  atom.x = at.x;
  atom.y = at.y;
  atom.z = at.z;
  AddAtomToResidue(atom, residue, atom.index);
  structure.atoms.push_back(std::move(atom));
}

}  // namespace

std::string ResidueNameForLetter(char letter) {
  switch (letter) {
    case 'A':
      return "ALA";
    case 'C':
      return "CYS";
    case 'D':
      return "ASP";
    case 'E':
      return "GLU";
    case 'F':
      return "PHE";
    case 'G':
      return "GLY";
    case 'H':
      return "HIS";
    case 'I':
      return "ILE";
    case 'K':
      return "LYS";
    case 'L':
      return "LEU";
    case 'M':
      return "MET";
    case 'N':
      return "ASN";
    case 'P':
      return "PRO";
    case 'Q':
      return "GLN";
    case 'R':
      return "ARG";
    case 'S':
      return "SER";
    case 'T':
      return "THR";
    case 'V':
      return "VAL";
    case 'W':
      return "TRP";
    case 'Y':
      return "TYR";
    // The letters that are no one of the twenty, as fasta.h gives the reasons.
    case 'U':
      return "CYS";
    case 'O':
      return "LYS";
    case 'B':
      return "ASN";
    case 'Z':
      return "GLN";
    case 'J':
      return "LEU";
    case 'X':
      return "ALA";
    default:
      return "UNK";
  }
}

HelixBuilder::HelixBuilder(std::string programFolder, Feedback& feedback)
    : programFolder_(std::move(programFolder)), feedback_(feedback) {}

void HelixBuilder::AppendResidue(Structure& structure, Residue residue,
                                 const std::optional<SecondaryRange>& helixRange, float phi, float psi,
                                 float omega) {
  if (helixRange && helixRange->firstResSeq <= residue.resSeq && residue.resSeq <= helixRange->lastResSeq &&
      helixRange->chainId == residue.chainId) {
    residue.secStruct = SecondaryStructure::kHelix;
  }
  // A number a result file held outside the three is coil for the model.
  if (residue.secStruct != SecondaryStructure::kSheet && residue.secStruct != SecondaryStructure::kHelix)
    residue.secStruct = SecondaryStructure::kCoil;
  residue.type = ResidueTypeOf(residue.name);

  Vec3 n, ca, c, o;
  if (structure.residues.empty()) {
    n = {-0.115f, 0.971f, -2.217f};
    ca = {-0.56f, 1.09f, -3.601f};
    c = {-0.147f, -0.145f, -4.392f};
    o = {-0.92f, -0.65f, -5.206f};
  } else {
    const Residue& previous = structure.residues.back();
    const Vec3 caP = PositionOf(structure.atoms[previous.caIndex]);
    const Vec3 cP = PositionOf(structure.atoms[previous.cIndex]);
    const Vec3 oP = PositionOf(structure.atoms[previous.oIndex]);
    const Vec3 p = caP - cP;
    const Vec3 h1 = p.Cross(oP - cP);  // normal of the previous peptide plane
    // N: 1.329 from C', at 116.1 degrees from CA' in the peptide plane.
    Vec3 u = Mat4::Rotation(h1, -116.1f * kDegrees).ApplyDirection(p.Normalised());
    n = cP + u * 1.329f;
    // CA: 1.458 from N at 121.88 degrees, turned about N-C' by omega.
    Vec3 d = Mat4::Rotation(h1, 121.88f * kDegrees).ApplyDirection(cP - n).Normalised() * 1.458f;
    d = Mat4::Rotation(n - cP, (omega - 180.0f) * kDegrees).ApplyDirection(d);
    ca = n + d;
    // C: 1.525 from CA, turned about CA-N by phi.
    const Vec3 h2 = (cP - n).Cross(ca - n);
    Vec3 e = Mat4::Rotation(h2, 51.98f * kDegrees).ApplyDirection(cP - n).Normalised() * 1.525f;
    e = Mat4::Rotation(n - ca, -phi * kDegrees).ApplyDirection(e);
    c = ca + e;
    // O: 1.231 from C, turned about C-CA by psi.
    const Vec3 h3 = (n - ca).Cross(c - ca);
    Vec3 f = Mat4::Rotation(h3, 50.5f * kDegrees).ApplyDirection(n - ca);
    f = Mat4::Rotation(c - ca, (psi - 180.0f) * kDegrees).ApplyDirection(f).Normalised() * 1.231f;
    o = c + f;
  }
  AppendAtom(structure, residue, "N", residue.chainId, n);
  AppendAtom(structure, residue, "CA", residue.chainId, ca);
  AppendAtom(structure, residue, "C", residue.chainId, c);
  AppendAtom(structure, residue, "O", residue.chainId, o);
  AddSideChain(structure, residue);
  residue.resSeq = static_cast<int32_t>(structure.residues.size());
  structure.residues.push_back(std::move(residue));
}

const std::vector<HelixBuilder::TemplateAtom>* HelixBuilder::Template(const std::string& name,
                                                                      std::string& path) {
  path = programFolder_ + "/Amino_Acids/" + name + ".pdb";
  auto found = templates_.find(name);
  if (found == templates_.end()) {
    std::optional<std::vector<TemplateAtom>> atoms;
    std::ifstream in;
    if (OpenForReading(in, path)) {
      atoms.emplace();
      std::string line;
      while (ReadLine(in, line)) {
        if (line.size() < 4 || line.compare(0, 4, "ATOM") != 0) continue;
        atoms->push_back({std::string(TrimAtomName(Field(line, 12, 4))),
                          {ParseFloat(Field(line, 30, 8)), ParseFloat(Field(line, 38, 8)),
                           ParseFloat(Field(line, 46, 8))}});
      }
    }
    found = templates_.emplace(name, std::move(atoms)).first;
  }
  return found->second ? &*found->second : nullptr;
}

std::string NoTemplateWarning(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return "Warning: no side-chain template for " + list +
         ": those residues of the helix model keep their main chain only";
}

bool HelixBuilder::MissesAminoAcidTemplate() const {
  return std::any_of(missingNames.begin(), missingNames.end(), [](const std::string& name) {
    return std::find(kResidueNames.begin(), kResidueNames.end(), name) != kResidueNames.end();
  });
}

void HelixBuilder::AddSideChain(Structure& structure, Residue& residue) {
  std::string path;
  const std::vector<TemplateAtom>* atoms = Template(residue.name, path);
  if (atoms == nullptr) {
    // Once per template, not once per residue: a long sequence would repeat it hundreds of times.
    if (std::find(missingNames.begin(), missingNames.end(), residue.name) == missingNames.end()) {
      missingNames.push_back(residue.name);
      feedback_.ShowMessage("Error: Cant find file\n" + path);
    }
    return;
  }
  Mat4 m = Mat4::Identity();
  Vec3 nT, caT, cT;
  for (const TemplateAtom& t : *atoms) {
    if (t.name == "N") {
      nT = t.position;
    } else if (t.name == "CA") {
      caT = t.position;
    } else if (t.name == "C") {
      cT = t.position;
    } else if (t.name == "O") {
      // Superpose the template's N, CA, C on the model's: first turn CA-N onto the
      // model's CA-N, then turn about that bond until C falls into place.
      const Vec3 n = PositionOf(structure.atoms[residue.nIndex]);
      const Vec3 ca = PositionOf(structure.atoms[residue.caIndex]);
      const Vec3 c = PositionOf(structure.atoms[residue.cIndex]);
      const Vec3 a1 = ca - n;
      const Vec3 b1 = caT - nT;
      const Vec3 axis1 = b1.Cross(a1);
      m = Mat4::Rotation(axis1, SignedAngle(b1, a1, axis1)) * Mat4::Translation(-nT);
      const Vec3 turnedC = m.Apply(cT);
      const Vec3 bond = a1.Normalised();
      m = Mat4::Translation(n) * Mat4::Rotation(bond, SignedAngle(turnedC, c - n, bond)) * m;
    } else {
      AppendAtom(structure, residue, t.name, ' ', m.Apply(t.position));
    }
  }
}

Structure HelixBuilder::BuildFromSequences(const std::vector<std::string>& sequences, float phi, float psi,
                                           float omega) {
  Structure model;
  // Chains are named as the readers name chains without a letter of their own, and round
  // again past the pool (the chain index, not the letter, tells chains apart).
  static constexpr std::string_view kChainIds = ChainIdPool();
  for (size_t n = 0; n < sequences.size(); ++n) {
    const std::string& sequence = sequences[n];
    const char chainId = kChainIds[n % kChainIds.size()];
    const auto start = static_cast<int32_t>(model.residues.size());
    const auto last = start + static_cast<int32_t>(sequence.size()) - 1;
    model.chains.push_back({start, last, chainId});
    const SecondaryRange range{start, last, chainId};
    model.helices.push_back(range);
    for (size_t i = 0; i < sequence.size(); ++i) {
      Residue residue(ResidueNameForLetter(sequence[i]), start + static_cast<int32_t>(i), chainId);
      AppendResidue(model, std::move(residue), range, phi, psi, omega);
    }
  }
  // Each sequence is numbered from 1, as its own chain; atoms keep the model-wide index as
  // their residue number, which tells residues apart in the surface-area pass.
  for (size_t k = 0; k < model.chains.size(); ++k) {
    const Chain& chain = model.chains[k];
    for (int32_t r = chain.firstResidue; r <= chain.lastResidue; ++r)
      model.residues[r].resSeq = r - chain.firstResidue + 1;
    model.helices[k] = {1, chain.lastResidue - chain.firstResidue + 1, chain.chainId};
  }
  for (const Atom& atom : model.atoms) model.ExtendBox(atom);
  WriteInspection(model);
  return model;
}

Structure HelixBuilder::BuildFromStructure(const Structure& source, ModelHelixRange range, float phi,
                                           float psi, float omega) {
  Structure model;
  model.sheets = source.sheets;
  model.helices = source.helices;
  model.chains = source.chains;
  model.hetAtoms = source.hetAtoms;
  model.xyzExtremities = source.xyzExtremities;
  const auto count = static_cast<int32_t>(source.residues.size());
  // The whole-model range types every residue as helix whatever its chain.
  for (int32_t i = 0; i < count; ++i) {
    const Residue& original = source.residues[i];
    Residue residue(original.name, i, original.chainId);
    std::optional<SecondaryRange> helix;
    if (range == ModelHelixRange::kWholeModel) helix = SecondaryRange{0, count - 1, original.chainId};
    AppendResidue(model, std::move(residue), helix, phi, psi, omega);
  }
  // The source's chains, so that no transmembrane segment runs from one chain into the
  // next; a source without chain records is one chain.
  if (model.chains.empty() && count > 0) model.chains.push_back({0, count - 1, ' '});
  if (!model.atoms.empty()) {
    const Atom& first = model.atoms.front();
    model.xyzExtremities = {FloatPair{first.x, first.x}, FloatPair{first.y, first.y},
                            FloatPair{first.z, first.z}};
    for (const Atom& atom : model.atoms) model.ExtendBox(atom);
  }
  WriteInspection(model);
  return model;
}

std::string HelixBuilder::AtomLine(const Atom& atom, const Structure& structure) {
  const std::string residueName =
      atom.resSeq >= 0 && atom.resSeq < static_cast<int32_t>(structure.residues.size())
          ? structure.residues[atom.resSeq].name
          : std::string();
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "ATOM%7d  %-4s%s  %4d    ", atom.serial, atom.name.c_str(),
                residueName.c_str(), atom.resSeq);
  std::string line = buffer;
  for (float v : {atom.x, atom.y, atom.z}) {
    const std::string number = FormatFixed(static_cast<double>(v), 17);
    if (number.size() < 26) line.append(26 - number.size(), ' ');
    line += number;
  }
  line += '\n';
  return line;
}

void HelixBuilder::WriteInspection(const Structure& structure) {
  if (inspectionPath.empty()) return;
  const FileStatus written = WriteFileAtomically(inspectionPath, [&](std::ostream& out) {
    for (const Atom& atom : structure.atoms) out << AtomLine(atom, structure);
  });
  if (!written) feedback_.ShowMessage("debug error: Could not open ./helixtest.pdb: " + written.detail);
}

}  // namespace tessmol
