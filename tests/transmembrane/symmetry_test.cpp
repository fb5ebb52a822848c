// Rotational symmetry of chain copies against constructions that do not superpose: a
// rotation given by hand, the two-fold's axis through the midpoints of paired atoms, the
// plane of a trimer's chain centroids and the crystal operators an mmCIF assembly was
// built with.
#include "transmembrane/symmetry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/structure_file.h"
#include "test_support.h"
#include "transmembrane/geometry.h"

namespace tessmol {
namespace {

double Degrees(const Vec3d& a, const Vec3d& b) {
  return std::acos(std::min(1.0, std::fabs(a.Dot(b)) / (a.Length() * b.Length()))) / kDegrees;
}

std::vector<int32_t> AllChains(const Structure& s) {
  std::vector<int32_t> chains;
  for (size_t c = 0; c < s.chains.size(); ++c) chains.push_back(static_cast<int32_t>(c));
  return chains;
}

std::vector<char> ResidueRange(const Structure& s, int32_t first, int32_t last) {
  std::vector<char> keep(s.residues.size(), 0);
  for (size_t r = 0; r < s.residues.size(); ++r)
    keep[r] = s.residues[r].resSeq >= first && s.residues[r].resSeq <= last ? 1 : 0;
  return keep;
}

TEST(Superpose, RecoversAScrewGivenByHand) {
  // A quarter turn about z with a shift of 3 along it and 5 across: every point maps exactly.
  const std::vector<Vec3d> from = {{1, 0, 0}, {0, 2, 1}, {-1, -1, 3}, {2, 5, -4}, {0, 0, 7}};
  std::vector<Vec3d> to;
  for (const Vec3d& p : from) to.push_back({-p.y + 5, p.x, p.z + 3});
  const Superposition fit = Superpose(from, to);
  EXPECT_NEAR(fit.rmsd, 0.0, 1e-6);
  EXPECT_NEAR(fit.angle / kDegrees, 90.0, 1e-4);
  EXPECT_NEAR(fit.axis.z, 1.0, 1e-6);
  EXPECT_NEAR(fit.screw, 3.0, 1e-6);
  for (size_t i = 0; i < from.size(); ++i) {
    const Vec3d moved = fit.Apply(from[i]);
    EXPECT_NEAR((moved - to[i]).Length(), 0.0, 1e-6);
  }
  // Noise of known size on the targets: the RMSD is that of the noise left after the fit.
  std::vector<Vec3d> noisy = to;
  noisy[0].x += 0.5;
  noisy[1].x -= 0.5;
  EXPECT_GT(Superpose(from, noisy).rmsd, 0.1);
  EXPECT_LT(Superpose(from, noisy).rmsd, std::sqrt(0.5 / 5.0) + 1e-9);
}

TEST(Symmetry, GlycophorinDimerTurnsAboutATwoFoldNearItsNormal) {
  const Structure s = test::ReadPdb(test::DataPath("1AFO_tr.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 2u);
  // The transmembrane helices; the NMR model's termini do not follow the two-fold.
  const std::vector<char> helix = ResidueRange(s, 74, 94);
  const SymmetryAxis axis = FindSymmetryAxis(s, {0, 1}, {}, helix);
  ASSERT_TRUE(axis.found);
  EXPECT_EQ(axis.order, 2);
  EXPECT_EQ(axis.paired, 21);
  EXPECT_LT(axis.rmsd, 1.0);
  // The midpoints of every atom pair (same residue number and atom name) lie on a two-fold
  // axis; their main direction is the axis without any superposition.
  std::vector<Vec3d> midpoints;
  for (const Atom& a : s.atoms) {
    if (a.chainId != 'A' || a.resSeq < 74 || a.resSeq > 94) continue;
    for (const Atom& b : s.atoms)
      if (b.chainId == 'B' && b.resSeq == a.resSeq && b.name == a.name)
        midpoints.push_back({(a.x + b.x) / 2.0, (a.y + b.y) / 2.0, (a.z + b.z) / 2.0});
  }
  ASSERT_GT(midpoints.size(), 100u);
  Vec3d mean;
  for (const Vec3d& m : midpoints) mean += m * (1.0 / static_cast<double>(midpoints.size()));
  double scatter[3][3] = {};
  for (const Vec3d& m : midpoints)
    for (size_t i = 0; i < 3; ++i)
      for (size_t j = 0; j < 3; ++j) scatter[i][j] += (m - mean)[i] * (m - mean)[j];
  Vec3d line{0, 0, 1};
  for (int iteration = 0; iteration < 200; ++iteration) {
    Vec3d next;
    for (size_t i = 0; i < 3; ++i)
      next[i] = scatter[i][0] * line.x + scatter[i][1] * line.y + scatter[i][2] * line.z;
    line = next.Normalised();
  }
  EXPECT_LT(Degrees(axis.direction, line), 2.0);
  // The membrane frame's z, from OPM, lies about 11 degrees off the dimer's axis.
  EXPECT_NEAR(Degrees(axis.direction, {0, 0, 1}), 11.0, 1.0);
  // Over whole chains the floppy NMR termini spoil the fit: no axis.
  EXPECT_FALSE(FindSymmetryAxis(s, {0, 1}).found);
}

TEST(Symmetry, PorinTrimerTurnsAboutTheNormalOfItsChainCentres) {
  Structure s = test::ReadPdb(test::DataPath("2POR_tr.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 3u);
  auto centroids = [](const Structure& structure) {
    std::vector<Vec3d> c(3);
    std::vector<int> n(3, 0);
    for (size_t k = 0; k < 3; ++k) {
      for (int32_t r = structure.chains[k].firstResidue; r <= structure.chains[k].lastResidue; ++r) {
        const Atom& a = structure.atoms[structure.residues[r].caIndex];
        c[k] += Vec3d{a.x, a.y, a.z};
        ++n[k];
      }
      c[k] = c[k] * (1.0 / n[k]);
    }
    return (c[1] - c[0]).Cross(c[2] - c[0]).Normalised();
  };
  const SymmetryAxis axis = FindSymmetryAxis(s, AllChains(s));
  ASSERT_TRUE(axis.found);
  EXPECT_EQ(axis.order, 3);
  EXPECT_EQ(axis.copies, 3);
  EXPECT_LT(Degrees(axis.direction, centroids(s)), 0.5);
  EXPECT_LT(axis.angleError, 1.0);
  EXPECT_LT(axis.screw, 0.5);

  // Turned and moved as a whole, the structure's axis turns with it.
  const Vec3 turn = Vec3{0.3f, -0.8f, 0.52f}.Normalised();
  const Mat4 m = Mat4::Translation({12, -40, 7}) * Mat4::Rotation(turn, 1.1f);
  for (Atom& a : s.atoms) {
    const Vec3 p = m.Apply({a.x, a.y, a.z});
    a.x = p.x, a.y = p.y, a.z = p.z;
  }
  const SymmetryAxis turned = FindSymmetryAxis(s, AllChains(s));
  ASSERT_TRUE(turned.found);
  const Vec3 expected =
      m.ApplyDirection({static_cast<float>(axis.direction.x), static_cast<float>(axis.direction.y),
                        static_cast<float>(axis.direction.z)});
  EXPECT_LT(Degrees(turned.direction, {expected.x, expected.y, expected.z}), 0.05);
  EXPECT_LT(Degrees(turned.direction, centroids(s)), 0.5);
  // Two of the three copies: a third of a turn, still about the trimer's axis.
  const SymmetryAxis pair = FindSymmetryAxis(s, {0, 2});
  ASSERT_TRUE(pair.found);
  EXPECT_EQ(pair.order, 3);
  EXPECT_LT(Degrees(pair.direction, turned.direction), 0.5);
}

TEST(Symmetry, BacteriorhodopsinAssemblyTurnsAboutItsCrystalThreeFold) {
  const StructureFile file =
      ReadStructure(test::DataPath("mmcif/1E0P_assembly1.cif.gz"), test::StandardHetRadii());
  const Structure& s = file.structure;
  ASSERT_EQ(s.chains.size(), 3u);
  // The assembly's copies come from operators -x+y,-x+1,z and -y+1,x-y+1,z of its hexagonal
  // cell: turns by 120 degrees about the c axis, which the file's Cartesian frame puts on z,
  // with no shift along it.
  const SymmetryAxis axis = FindSymmetryAxis(s, AllChains(s));
  ASSERT_TRUE(axis.found);
  EXPECT_EQ(axis.order, 3);
  EXPECT_LT(Degrees(axis.direction, {0, 0, 1}), 0.05);
  EXPECT_LT(axis.rmsd, 0.01);
  EXPECT_LT(axis.screw, 0.01);
  EXPECT_LT(axis.angleError, 0.05);
}

TEST(Symmetry, RhodopsinCrystalCopiesTurnAboutAnAxisInTheirMembranePlane) {
  // 1U19's two chains lie antiparallel: the two-fold relating them is across the helix
  // bundles, which the membrane's normal runs along.
  const Structure s = test::ReadPdb(test::DataPath("1U19.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 2u);
  const SymmetryAxis axis = FindSymmetryAxis(s, {0, 1});
  ASSERT_TRUE(axis.found);
  EXPECT_EQ(axis.order, 2);
  // The bundle's direction: chain A's helix 1 (residues 35-64) and helix 7 (286-306) run
  // along it, opposite ways.
  auto ca = [&](int32_t resSeq) {
    for (const Residue& r : s.residues)
      if (r.chainId == 'A' && r.resSeq == resSeq) {
        const Atom& a = s.atoms[r.caIndex];
        return Vec3d{a.x, a.y, a.z};
      }
    return Vec3d{};
  };
  const Vec3d bundle = ((ca(64) - ca(35)).Normalised() + (ca(286) - ca(306)).Normalised()).Normalised();
  EXPECT_GT(Degrees(axis.direction, bundle), 70.0);
}

TEST(Symmetry, NoAxisWithoutCopies) {
  const Structure single = test::ReadPdb(test::DataPath("1U19_tr.pdb")).structure;
  ASSERT_EQ(single.chains.size(), 1u);
  EXPECT_FALSE(FindSymmetryAxis(single, {0}).found);
  EXPECT_FALSE(FindSymmetryAxis(single, {}).found);
  // KcsA with the heavy and light chains of a Fab: three different sequences.
  const Structure mixed = test::ReadPdb(test::DataPath("1K4C.pdb")).structure;
  ASSERT_EQ(mixed.chains.size(), 3u);
  EXPECT_FALSE(FindSymmetryAxis(mixed, AllChains(mixed)).found);
  EXPECT_FALSE(FindSymmetryAxis(mixed, {0, 1}).found);
}

}  // namespace
}  // namespace tessmol
