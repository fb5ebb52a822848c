#include "transmembrane/helix_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace tessmol {
namespace {

// Independent geometry in double precision.
struct P {
  double x, y, z;
};
P At(const Structure& s, int32_t index) {
  return {s.atoms[index].x, s.atoms[index].y, s.atoms[index].z};
}
P Sub(P a, P b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(P a, P b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
P Cross(P a, P b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Distance(P a, P b) {
  return std::sqrt(Dot(Sub(a, b), Sub(a, b)));
}
double Angle(P a, P b, P c) {  // at b, degrees
  const P u = Sub(a, b), v = Sub(c, b);
  return std::acos(Dot(u, v) / std::sqrt(Dot(u, u) * Dot(v, v))) * 180.0 / M_PI;
}
double Dihedral(P a, P b, P c, P d) {  // IUPAC sign convention, degrees
  const P b1 = Sub(b, a), b2 = Sub(c, b), b3 = Sub(d, c);
  const P n1 = Cross(b1, b2), n2 = Cross(b2, b3);
  return std::atan2(std::sqrt(Dot(b2, b2)) * Dot(b1, n2), Dot(n1, n2)) * 180.0 / M_PI;
}
double AngleDifference(double a, double b) {
  return std::remainder(a - b, 360.0);
}

struct Built {
  Structure model;
  RecordingFeedback feedback;
};

std::unique_ptr<Built> Build(const std::vector<std::string>& sequences,
                             const std::string& folder = test::ProgramFolder()) {
  auto built = std::make_unique<Built>();
  HelixBuilder builder(folder, built->feedback);
  builder.inspectionPath.clear();
  built->model = builder.BuildFromSequences(sequences);
  return built;
}

// The backbone the model is built to (helix_builder.cpp): bonds in angstrom, angles in
// degrees, a standard alpha helix's phi and psi; met within rounding of the float build.
constexpr double kBondNCa = 1.458, kBondCaC = 1.525, kBondCO = 1.231, kPeptideBond = 1.329;
constexpr double kAngleNCaC = 110.1, kAngleCaCO = 120.4, kAngleCaCN = 116.1, kAngleCNCa = 121.9;
constexpr double kBondTolerance = 2e-3, kAngleTolerance = 0.2;

TEST(HelixGeometry, BondsAnglesAndTorsionsOfAnAlphaHelix) {
  const auto built = Build({"MKVLAAGLLWTSPEFRDNQHICYV"});
  const Structure& s = built->model;
  ASSERT_EQ(s.residues.size(), 24u);
  EXPECT_TRUE(built->feedback.messages.empty());
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(r.secStruct, SecondaryStructure::kHelix);
    const P n = At(s, r.nIndex), ca = At(s, r.caIndex), c = At(s, r.cIndex), o = At(s, r.oIndex);
    EXPECT_NEAR(Distance(n, ca), kBondNCa, kBondTolerance);
    EXPECT_NEAR(Distance(ca, c), kBondCaC, kBondTolerance);
    EXPECT_NEAR(Distance(c, o), kBondCO, kBondTolerance);
    EXPECT_NEAR(Angle(n, ca, c), kAngleNCaC, kAngleTolerance);
    EXPECT_NEAR(Angle(ca, c, o), kAngleCaCO, kAngleTolerance);
    if (i == 0) continue;
    const Residue& q = s.residues[i - 1];
    const P caP = At(s, q.caIndex), cP = At(s, q.cIndex), nP = At(s, q.nIndex);
    EXPECT_NEAR(Distance(cP, n), kPeptideBond, kBondTolerance);
    EXPECT_NEAR(Angle(caP, cP, n), kAngleCaCN, kAngleTolerance);
    EXPECT_NEAR(Angle(cP, n, ca), kAngleCNCa, kAngleTolerance);
    EXPECT_NEAR(AngleDifference(Dihedral(cP, n, ca, c), kHelixPhi), 0.0, kAngleTolerance);
    EXPECT_NEAR(AngleDifference(Dihedral(nP, caP, cP, n), kHelixPsi), 0.0,
                kAngleTolerance);  // of the previous
    EXPECT_NEAR(AngleDifference(Dihedral(caP, cP, n, ca), kHelixOmega), 0.0, kAngleTolerance);
  }
  for (size_t i = 0; i + 4 < s.residues.size(); ++i) {
    const P ca0 = At(s, s.residues[i].caIndex);
    const P ca1 = At(s, s.residues[i + 1].caIndex);
    const P ca2 = At(s, s.residues[i + 2].caIndex);
    const P ca3 = At(s, s.residues[i + 3].caIndex);
    const P ca4 = At(s, s.residues[i + 4].caIndex);
    // A right-handed alpha helix: positive CA torsion near +50, 3.6 residues a turn.
    EXPECT_NEAR(Dihedral(ca0, ca1, ca2, ca3), 52.6, 1.0);
    EXPECT_NEAR(Distance(ca0, ca4), 6.2, 0.3);
    // The i -> i+4 hydrogen bond of the alpha helix.
    EXPECT_NEAR(Distance(At(s, s.residues[i].oIndex), At(s, s.residues[i + 4].nIndex)), 3.0, 0.2);
  }
}

TEST(HelixGeometry, SideChainsAreSuperposedOnTheModelsBackbone) {
  // In every residue the side chain must sit on its CA as in the template: the distance
  // of each side-chain atom to the model's N, CA and C equals that in the template.
  const auto built = Build({"WFYLIVMCTSQNEDHKR"});
  const Structure& s = built->model;
  for (const Residue& r : s.residues) {
    SCOPED_TRACE(r.name);
    std::ifstream in(test::ProgramFolder() + "/Amino_Acids/" + r.name + ".pdb");
    std::map<std::string, P> t;
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("ATOM", 0) != 0) continue;
      std::string name = line.substr(12, 4);
      name.erase(0, name.find_first_not_of(' '));
      name.erase(name.find_last_not_of(' ') + 1);
      t[name] = {std::stod(line.substr(30, 8)), std::stod(line.substr(38, 8)), std::stod(line.substr(46, 8))};
    }
    ASSERT_EQ(r.sideChain.size(), t.size() - 4);
    const P n = At(s, r.nIndex), ca = At(s, r.caIndex);
    for (int32_t index : r.sideChain) {
      const std::string& name = s.atoms[index].name;
      ASSERT_TRUE(t.count(name)) << name;
      const P a = At(s, index);
      // The superposition is a rigid motion that puts the template's N on the model's N.
      EXPECT_NEAR(Distance(a, n), Distance(t[name], t["N"]), 2e-3) << name;
      // The template's N-CA bond is not exactly the model's 1.458, so its CA lies a
      // little off the model's along that bond.
      EXPECT_NEAR(Distance(a, ca), Distance(t[name], t["CA"]), 0.05) << name;
    }
  }
}

TEST(HelixGeometry, ATemplateWithTheModelsGeometryIsPlacedExactly) {
  // A template cut from a built model itself: its N, CA, C geometry equals the model's,
  // so after superposition every side-chain atom lands where the model had it.
  test::ScratchFolder scratch;
  const auto reference = Build({"AAW"});
  const Structure& ref = reference->model;
  const Residue& trp = ref.residues[2];
  std::filesystem::create_directories("program/Amino_Acids");
  for (const char* name : {"ALA"}) {
    std::filesystem::copy(test::ProgramFolder() + "/Amino_Acids/" + name + ".pdb",
                          std::string("program/Amino_Acids/") + name + ".pdb");
  }
  {
    std::ofstream out("program/Amino_Acids/TRP.pdb");
    char buffer[100];
    std::vector<int32_t> order = {trp.nIndex, trp.caIndex, trp.cIndex, trp.oIndex};
    order.insert(order.end(), trp.sideChain.begin(), trp.sideChain.end());
    for (int32_t index : order) {
      const Atom& a = ref.atoms[index];
      // Moved far away and turned, so the superposition has work to do.
      std::snprintf(buffer, sizeof buffer, "ATOM  %5d  %-3s TRP A   1    %8.3f%8.3f%8.3f\n", index,
                    a.name.c_str(), -a.y + 20.0, a.x - 7.0, a.z + 3.0);
      out << buffer;
    }
  }
  const auto rebuilt = Build({"AAW"}, "program");
  const Structure& s = rebuilt->model;
  ASSERT_EQ(s.residues[2].sideChain.size(), trp.sideChain.size());
  for (size_t k = 0; k < trp.sideChain.size(); ++k) {
    EXPECT_NEAR(Distance(At(s, s.residues[2].sideChain[k]), At(ref, trp.sideChain[k])), 0.0, 0.01);
  }
}

TEST(HelixModels, OneResidueNumberedFromZero) {
  const auto built = Build({"A"});
  const Structure& s = built->model;
  ASSERT_EQ(s.atoms.size(), 5u);  // N, CA, C, O and the ALA template's CB
  EXPECT_EQ(s.atoms[4].name, "CB");
  EXPECT_EQ(s.atoms[4].atomClass, AtomClass::kSmallCarbon);
  for (size_t i = 0; i < s.atoms.size(); ++i) {
    EXPECT_EQ(s.atoms[i].index, int32_t(i));
    EXPECT_EQ(s.atoms[i].resSeq, 0);
  }
}

TEST(HelixModels, ChainsFromSequencesAndUnknownLetters) {
  const auto built = Build({"MKV", "", "GxA"});
  const Structure& s = built->model;
  ASSERT_EQ(s.chains.size(), 3u);
  EXPECT_EQ(s.chains[0].chainId, 'A');
  EXPECT_EQ(s.chains[1].chainId, 'B');
  EXPECT_EQ(s.chains[1].firstResidue, 3);
  EXPECT_EQ(s.chains[1].lastResidue, 2);  // an empty sequence: an empty chain
  EXPECT_EQ(s.chains[2].chainId, 'C');
  EXPECT_EQ(s.chains[2].firstResidue, 3);
  ASSERT_EQ(s.residues.size(), 6u);
  EXPECT_EQ(s.residues[4].name, "UNK");
  EXPECT_EQ(s.residues[4].type, kUnknownResidueType);
  EXPECT_EQ(s.residues[4].sideChain.size(), 0u);
  // Each sequence numbered from 1: M K V, then G x A.
  const int32_t numbers[6] = {1, 2, 3, 1, 2, 3};
  for (size_t i = 0; i < s.residues.size(); ++i) EXPECT_EQ(s.residues[i].resSeq, numbers[i]);
  ASSERT_EQ(built->feedback.messages.size(), 1u);
  EXPECT_EQ(built->feedback.messages[0],
            "Error: Cant find file\n" + test::ProgramFolder() + "/Amino_Acids/UNK.pdb");
  // Chain C's first N is placed from chain A's last residue: the helix goes on.
  EXPECT_NEAR(Distance(At(s, s.residues[2].cIndex), At(s, s.residues[3].nIndex)), 1.329, 2e-3);
  EXPECT_EQ(ResidueNameForLetter('w'), "UNK");  // lower case is no residue
}

// UNK has no template by design; an amino acid's missing template is a broken installation.
TEST(HelixModels, OnlyAMissingAminoAcidTemplateSpoilsTheModel) {
  test::ScratchFolder scratch;
  RecordingFeedback feedback;
  HelixBuilder unknown(test::ProgramFolder(), feedback);
  unknown.inspectionPath.clear();
  unknown.BuildFromSequences({"GxAx"});
  EXPECT_FALSE(unknown.MissesAminoAcidTemplate());
  EXPECT_EQ(unknown.missingNames, std::vector<std::string>{"UNK"});
  EXPECT_EQ(NoTemplateWarning(unknown.missingNames),
            "Warning: no side-chain template for UNK: those residues of the helix model keep their main "
            "chain only");

  std::filesystem::create_directories("empty/Amino_Acids");
  HelixBuilder bare("empty", feedback);
  bare.inspectionPath.clear();
  bare.BuildFromSequences({"GA"});
  EXPECT_TRUE(bare.MissesAminoAcidTemplate());
  EXPECT_EQ(bare.missingNames, (std::vector<std::string>{"GLY", "ALA"}));
}

TEST(HelixModels, ModelOfAStructureAndTheInspectionFile) {
  test::ScratchFolder scratch;
  const Structure source = test::ReadPdb(test::DataPath("1CRN.pdb")).structure;
  RecordingFeedback feedback;
  HelixBuilder builder(test::ProgramFolder(), feedback);
  const Structure model = builder.BuildFromStructure(source, ModelHelixRange::kNone);
  ASSERT_EQ(model.residues.size(), source.residues.size());
  for (size_t i = 0; i < source.residues.size(); ++i) {
    EXPECT_EQ(model.residues[i].name, source.residues[i].name);
    EXPECT_EQ(model.residues[i].chainId, source.residues[i].chainId);
    EXPECT_EQ(model.residues[i].secStruct, SecondaryStructure::kCoil);
  }
  // The source's chains: no segment of the scan may run from one chain into the next.
  ASSERT_EQ(model.chains.size(), source.chains.size());
  EXPECT_EQ(model.chains.back().lastResidue, 45);
  const Structure helical = builder.BuildFromStructure(source, ModelHelixRange::kWholeModel);
  for (const Residue& r : helical.residues) EXPECT_EQ(r.secStruct, SecondaryStructure::kHelix);
  // The inspection file: one fixed-layout line per atom.
  std::ifstream in("helixtest.pdb");
  std::string line;
  size_t lines = 0;
  std::getline(in, line);
  ++lines;
  EXPECT_EQ(line.substr(0, 30), "ATOM      0  N   THR     0    ");
  EXPECT_EQ(line.size(), 4u + 7 + 2 + 4 + 3 + 2 + 4 + 4 + 3 * 26);
  while (std::getline(in, line)) ++lines;
  EXPECT_EQ(lines, helical.atoms.size());
  Atom a;
  a.name = "CA";
  a.serial = 12;
  a.resSeq = 0;
  a.x = 1.5f;
  EXPECT_EQ(HelixBuilder::AtomLine(a, helical).substr(30, 26), "       1.50000000000000000");
}

TEST(Geometry, SignedAnglesAndDegenerateVectors) {
  const Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
  EXPECT_NEAR(SignedAngle(x, y, z), M_PI / 2, 1e-6);
  EXPECT_NEAR(SignedAngle(y, x, z), -M_PI / 2, 1e-6);
  EXPECT_NEAR(std::abs(SignedAngle(x, Vec3{-1, 0, 0}, z)), M_PI, 1e-6);  // antiparallel: no NaN
  EXPECT_EQ(SignedAngle(Vec3{}, y, z), 0.0f);
  EXPECT_EQ(SignedAngle(x, y, Vec3{}), 0.0f);
  const Vec3 turned = Mat4::Rotation(z, 90 * kDegrees).ApplyDirection(x);
  EXPECT_NEAR(turned.y, 1.0f, 1e-6f);  // right-handed
  const Vec3 moved = (Mat4::Translation({1, 2, 3}) * Mat4::Rotation(Vec3{0, 0, 5}, 90 * kDegrees)).Apply(x);
  EXPECT_NEAR(moved.x, 1.0f, 1e-6f);
  EXPECT_NEAR(moved.y, 3.0f, 1e-6f);
  Vec3 zero;
  zero.Normalise();
  EXPECT_EQ(zero.Length(), 0.0f);
}

}  // namespace
}  // namespace tessmol
