// Atom classes by chemistry: aliphatic carbons 0, carbonyl and small carbons 1, aromatic
// carbons 2, nitrogens 3, oxygens 4, the MET sulphur 5 and the CYS sulphur 6.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "model/structure.h"

namespace tessmol {
namespace {

const std::map<std::string, std::string> kExpectedClasses = {
    {"TRP", "CB:0 CG:2 CD1:2 CD2:2 NE1:3 CE2:2 CE3:2 CZ2:2 CZ3:2 CH2:2 HB2:2 HE1:2"},
    {"PHE", "CB:0 CG:2 CD1:2 CD2:2 CE1:2 CE2:2 CZ:2"},
    {"TYR", "CB:0 CG:2 CD1:2 CD2:2 CE1:2 CE2:2 CZ:2 OH:4"},
    {"HIS", "CB:0 CG:2 ND1:3 CD2:2 CE1:2 NE2:3"},
    {"LEU", "CB:0 CG:0 CD1:0 CD2:0"},
    {"ILE", "CB:0 CG1:0 CG2:0 CD1:0"},
    {"VAL", "CB:0 CG1:0 CG2:0"},
    {"MET", "CB:0 CG:0 SD:5 CE:0"},
    {"ALA", "CB:1"},
    {"GLY", "HA2:1"},
    {"PRO", "CB:0 CG:0 CD:0"},
    {"CYS", "CB:0 SG:6"},
    {"THR", "CB:0 OG1:4 CG2:0"},
    {"SER", "CB:0 OG:4"},
    {"GLN", "CB:0 CG:0 CD:1 OE1:4 NE2:3"},
    {"ASN", "CB:0 CG:1 OD1:4 ND2:3"},
    {"GLU", "CB:0 CG:0 CD:1 OE1:4 OE2:4 OXT:4"},
    {"ASP", "CB:0 CG:1 OD1:4 OD2:4"},
    {"LYS", "CB:0 CG:0 CD:0 CE:0 NZ:3"},
    {"ARG", "CB:0 CG:0 CD:0 NE:3 CZ:2 NH1:3 NH2:3"},
    {"MSE", "CB:1 CG:1 SE:1 CE:1"},  // not one of the 20: every carbon-like atom is class 1
};

const float kRadiusOfClass[7] = {3.4f, 2.9f, 3.25f, 2.9f, 2.8f, 3.25f, 3.25f};

TEST(AtomTyping, EveryAtomOfTheTwentyResidueTypes) {
  ASSERT_EQ(kExpectedClasses.size(), 21u);
  for (const auto& [residueName, atoms] : kExpectedClasses) {
    SCOPED_TRACE(residueName);
    Residue residue(residueName, 1, 'A');
    residue.type = ResidueTypeOf(residueName);
    std::vector<Atom> made;
    std::istringstream names("N:3 CA:0 C:1 O:4 " + atoms);
    std::string entry;
    while (names >> entry) {
      Atom atom;
      atom.name = entry.substr(0, entry.find(':'));
      const int expected = std::stoi(entry.substr(entry.find(':') + 1));
      AddAtomToResidue(atom, residue, static_cast<int32_t>(made.size()));
      EXPECT_EQ(atom.atomClass, expected) << atom.name;
      EXPECT_FLOAT_EQ(atom.radius, kRadiusOfClass[expected]) << atom.name;
      EXPECT_EQ(atom.polar, expected == 3 || expected == 4) << atom.name;
      EXPECT_NEAR(atom.sphereArea, 4.0 * 3.14159265358979 * atom.radius * atom.radius, 1e-3);
      made.push_back(atom);
    }
    EXPECT_EQ(residue.nIndex, 0);
    EXPECT_EQ(residue.caIndex, 1);
    EXPECT_EQ(residue.cIndex, 2);
    EXPECT_EQ(residue.oIndex, 3);
    EXPECT_TRUE(residue.HasMainChain());
    ASSERT_EQ(residue.sideChain.size(), made.size() - 4);
    for (size_t i = 0; i < residue.sideChain.size(); ++i) EXPECT_EQ(residue.sideChain[i], int32_t(i + 4));
  }
}

TEST(AtomTyping, ClassTableMatchesTheRadii) {
  EXPECT_FLOAT_EQ(AtomClassOf(0).sphereArea, 145.26726f);
  EXPECT_FLOAT_EQ(AtomClassOf(1).sphereArea, 105.68319f);
  EXPECT_FLOAT_EQ(AtomClassOf(2).sphereArea, 132.73230f);
  EXPECT_FLOAT_EQ(AtomClassOf(4).sphereArea, 98.52035f);
  EXPECT_FLOAT_EQ(AtomClassOf(99).radius, 3.4f);
}

TEST(ResidueTypes, NamesAreComparedExactly) {
  EXPECT_EQ(ResidueTypeOf("TRP"), 0);
  EXPECT_EQ(ResidueTypeOf("ARG"), 19);
  EXPECT_EQ(ResidueTypeOf("GLY"), 8);
  EXPECT_EQ(ResidueTypeOf("UNK"), 21);
  EXPECT_EQ(ResidueTypeOf("HOH"), 21);
  EXPECT_EQ(ResidueTypeOf("ala"), 21);
  EXPECT_EQ(ResidueTypeOf(""), 21);
  EXPECT_EQ(ResidueTypeOf("AL"), 21);
}

}  // namespace
}  // namespace tessmol
