// mmCIF through gemmi. gemmi's parser is large to compile, so it lives in this one file.
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>

#include <set>

#include "model/structure_file.h"

namespace tessmol {

namespace {

// The name as the PDB's four columns would hold it: the element symbol right-justified in
// the first two (" CA " is C-alpha, "CA  " calcium), a name that does not start with its
// element from the first column ("UNK " of element X). Heteroatom radii go by it.
std::string PdbField(const std::string& name, const std::string& element) {
  const bool shifted = element.size() == 1 && name.size() < 4 && !name.empty() && name[0] == element[0];
  std::string field = shifted ? " " + name : name;
  field.resize(4, ' ');
  return field;
}

// The PDB format writes HETATM for every residue that is no standard amino acid or
// nucleotide, but mmCIF files may call a polymer's caps (ACE, NH2) ATOM; the PDB's rule
// keeps an mmCIF file and its PDB twin alike.
bool IsStandardPolymerResidue(const std::string& name) {
  static const std::set<std::string> kNucleotides = {"A", "C", "G", "U", "I", "N", "DA", "DC", "DG", "DT", "DU", "DI", "DN", "UNK"};
  return ResidueTypeOf(name) != kUnknownResidueType || kNucleotides.count(name) > 0;
}

void AddRanges(const gemmi::Structure& st, StructureBuilder& builder) {
  auto range = [&](const gemmi::AtomAddress& start, const gemmi::AtomAddress& end) {
    SecondaryRange r;
    r.chainId = builder.ChainIdFor(start.chain_name);
    r.firstResSeq = start.res_id.seqid.num.value;
    r.lastResSeq = end.res_id.seqid.num.value;
    return r;
  };
  for (const gemmi::Helix& helix : st.helices) builder.AddRange(range(helix.start, helix.end), true);
  for (const gemmi::Sheet& sheet : st.sheets) {
    for (const gemmi::Sheet::Strand& strand : sheet.strands) builder.AddRange(range(strand.start, strand.end), false);
  }
}

}  // namespace

FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR) {
  try {
    gemmi::cif::Document doc = gemmi::cif::read_memory(text.data(), text.size(), name.c_str());
    if (doc.blocks.empty()) return FileStatus::Format(name, 0, "no data block");
    gemmi::cif::Block& block = doc.blocks.front();
    for (auto row : block.find("_pdbx_struct_mod_residue.", {"label_comp_id", "parent_comp_id"})) {
      builder.AddModifiedResidue(row.str(0), row.str(1));
    }
    const gemmi::Structure st = gemmi::make_structure_from_block(block);
    const std::string method = st.get_info("_exptl.method");
    isNMR = method.rfind("NMR", 0) == 0;
    if (st.models.empty()) return FileStatus::Ok(name);
    if (st.models.size() > 1) builder.summary().modelsSkipped = true;
    const gemmi::Model& model = st.models.front();
    // One-character names keep their letter; longer ones take free letters in the order
    // they come.
    for (const gemmi::Chain& chain : model.chains) {
      if (chain.name.size() == 1) builder.ChainIdFor(chain.name);
    }
    for (const gemmi::Chain& chain : model.chains) builder.ChainIdFor(chain.name);
    AddRanges(st, builder);
    for (const gemmi::Chain& chain : model.chains) {
      for (const gemmi::Residue& residue : chain.residues) {
        for (const gemmi::Atom& atom : residue.atoms) {
          AtomRecord r;
          r.hetero = residue.het_flag == 'H' || !IsStandardPolymerResidue(residue.name);
          r.name = atom.name;
          r.element = atom.element.uname();
          r.field = PdbField(atom.name, r.element);
          r.altLoc = atom.altloc == '\0' ? ' ' : atom.altloc;
          r.residueName = residue.name;
          r.chainName = chain.name;
          r.resSeq = residue.seqid.num.value;
          r.iCode = residue.seqid.icode;
          r.serial = atom.serial;
          r.x = static_cast<float>(atom.pos.x);
          r.y = static_cast<float>(atom.pos.y);
          r.z = static_cast<float>(atom.pos.z);
          builder.AddAtom(r);
        }
      }
      builder.EndChain();
    }
    return FileStatus::Ok(name);
  } catch (const std::exception& error) {
    // gemmi says where: "name:LINE:..." for syntax errors.
    return FileStatus::Format(name, 0, error.what());
  }
}

}  // namespace tessmol
