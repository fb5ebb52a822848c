// Atom classes by chemistry: aliphatic carbons 0, carbonyl and small carbons 1, aromatic
// carbons 2, nitrogens 3, oxygens 4, the MET sulphur 5 and the CYS sulphur 6.
#include <gtest/gtest.h>

#include "model/structure.h"

namespace tessmol {
namespace {

// Atom `name` of a residue `residueName`, typed.
Atom Typed(const std::string& residueName, const std::string& name) {
  Residue residue(residueName, 1, 'A');
  residue.type = ResidueTypeOf(residueName);
  Atom atom;
  atom.name = name;
  AddAtomToResidue(atom, residue, 0);
  return atom;
}

TEST(AtomTyping, ChemicalSpotChecks) {
  EXPECT_EQ(Typed("TRP", "CZ2").atomClass, AtomClass::kAromaticCarbon);  // ring carbons are aromatic
  EXPECT_EQ(Typed("HIS", "CE1").atomClass, AtomClass::kAromaticCarbon);
  EXPECT_EQ(Typed("ARG", "CZ").atomClass,
            AtomClass::kAromaticCarbon);  // the guanidinium carbon is planar too
  EXPECT_EQ(Typed("LEU", "CD1").atomClass, AtomClass::kAliphaticCarbon);
  EXPECT_EQ(Typed("ASP", "CG").atomClass, AtomClass::kSmallCarbon);  // carboxylate carbon
  EXPECT_EQ(Typed("ALA", "CB").atomClass, AtomClass::kSmallCarbon);
  EXPECT_EQ(Typed("MET", "SD").atomClass, AtomClass::kMethionineSulphur);
  EXPECT_EQ(Typed("CYS", "SG").atomClass, AtomClass::kCysteineSulphur);
  EXPECT_EQ(Typed("MSE", "CE").atomClass, AtomClass::kSmallCarbon);  // no standard type: small carbon
  const Atom hydroxyl = Typed("TYR", "OH");
  EXPECT_EQ(hydroxyl.atomClass, AtomClass::kOxygen);
  EXPECT_TRUE(hydroxyl.polar);
  EXPECT_FLOAT_EQ(hydroxyl.radius, 1.4f + kProbeRadius);  // oxygen's radius and the probe
  EXPECT_FALSE(Typed("VAL", "CG1").polar);
  EXPECT_TRUE(Typed("LYS", "NZ").polar);
  EXPECT_EQ(AtomClassOf(static_cast<AtomClass>(99)).radius, AtomClassOf(AtomClass::kAliphaticCarbon).radius);
}

TEST(AtomTyping, MainChainAtomsAreRecordedAndTheRestIsSideChain) {
  Residue residue("SER", 1, 'A');
  residue.type = kSer;
  const char* names[] = {"N", "CA", "C", "O", "CB", "OG"};
  for (int i = 0; i < 6; ++i) {
    Atom atom;
    atom.name = names[i];
    AddAtomToResidue(atom, residue, i);
  }
  EXPECT_TRUE(residue.HasMainChain());
  EXPECT_EQ(residue.caIndex, 1);
  EXPECT_EQ(residue.oIndex, 3);
  EXPECT_EQ(residue.sideChain, (std::vector<int32_t>{4, 5}));
}

TEST(ResidueTypes, NamesAreComparedExactly) {
  EXPECT_EQ(ResidueTypeOf("TRP"), 0);
  EXPECT_EQ(ResidueTypeOf("ARG"), 19);
  for (const char* other : {"UNK", "HOH", "ala", "", "AL"})
    EXPECT_EQ(ResidueTypeOf(other), kUnknownResidueType) << other;
}

}  // namespace
}  // namespace tessmol
