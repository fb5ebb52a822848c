#include "surface/sasa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "scoring/residue_scores.h"
#include "test_support.h"

namespace tessmol {
namespace {

const std::vector<SpherePoint>& Points(int resolution) {
  static std::vector<std::vector<SpherePoint>> sets(kSasaResolutionCount);
  if (sets[resolution].empty())
    sets[resolution] = ReadSpherePoints(test::ProgramFolder() + SpherePointFile(resolution));
  return sets[resolution];
}

// A hand-built structure: atoms typed by the same rules as the reader's.
struct Builder {
  Protein protein;
  Residue& AddResidue(const std::string& name, int resSeq, char chain = 'A') {
    Residue r(name, resSeq, chain);
    r.type = ResidueTypeOf(name);
    protein.structure.residues.push_back(r);
    return protein.structure.residues.back();
  }
  void AddAtom(const std::string& name, float x, float y, float z) {
    Residue& r = protein.structure.residues.back();
    Atom a;
    a.name = name;
    a.x = x;
    a.y = y;
    a.z = z;
    a.resSeq = r.resSeq;
    a.chainId = r.chainId;
    const auto index = static_cast<int32_t>(protein.structure.atoms.size());
    a.index = index;
    AddAtomToResidue(a, r, index);
    protein.structure.atoms.push_back(a);
  }
  void AddHet(float x, float y, float z, float radius, bool polar, int resSeq) {
    HetAtom h;
    h.x = x;
    h.y = y;
    h.z = z;
    h.radius = radius;
    h.polar = polar;
    h.resSeq = resSeq;
    protein.structure.hetAtoms.push_back(h);
  }
  void Load() {
    Structure& s = protein.structure;
    s.xyzExtremities = {};
    for (const Atom& a : s.atoms) s.ExtendBox(a);
    SilentFeedback quiet;
    protein.Load(quiet);
  }
};

// The pass, its result kept with the protein as the document keeps it.
bool Measure(Protein& protein, const std::vector<SpherePoint>& points, Feedback& feedback,
             const SasaSettings& settings = {}) {
  std::optional<SurfaceResult> surface = CalculateSASA(protein, points, feedback, settings);
  if (surface) protein.surface = std::move(*surface);
  return surface.has_value();
}

TEST(SasaAtoms, AnIsolatedAtomIsWhollyExposed) {
  Builder b;
  b.AddResidue("GLY", 1);
  b.AddAtom("CA", 10, 10, 10);
  b.Load();
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(b.protein, Points(5), quiet));
  const AtomSurface& a = b.protein.surface.atoms[0];
  EXPECT_EQ(a.sasa, b.protein.structure.atoms[0].sphereArea);
  // Every point of the set open: a contact and a polar one each.
  EXPECT_EQ(a.contactPoints, Points(5).size());
  EXPECT_EQ(a.polarPoints, Points(5).size());
}

TEST(SasaAtoms, NeighboursInsideOrAroundTheSphereCoverNothingOrEverything) {
  // A CA (expanded radius 3.4) with a heteroatom at its very centre or just beside it:
  // smaller, it lies inside and covers no point; larger, it holds the whole sphere.
  for (const auto& [offset, radius, buried] : {std::tuple{0.0f, 2.0f, false}, std::tuple{0.0f, 4.0f, true},
                                               std::tuple{0.5f, 2.8f, false}, std::tuple{0.5f, 4.0f, true}}) {
    Builder b;
    b.AddResidue("GLY", 1);
    b.AddAtom("CA", 0, 0, 0);
    b.AddHet(offset, 0.0f, 0.0f, radius, false, 2);
    b.Load();
    SilentFeedback quiet;
    ASSERT_TRUE(Measure(b.protein, Points(5), quiet));
    const AtomSurface& a = b.protein.surface.atoms[0];
    EXPECT_EQ(a.sasa, buried ? 0.0f : b.protein.structure.atoms[0].sphereArea) << offset << " " << radius;
    EXPECT_EQ(a.contactPoints, 1002u);  // the solvent or another residue
    EXPECT_EQ(a.polarPoints, buried ? 0u : Points(5).size());
  }
}

// Closed-form areas, as FreeSASA tests its algorithms: a sphere of expanded radius R cut by
// a neighbour of radius r at distance d loses a cap of height h = R - (d^2 + R^2 - r^2) / 2d,
// whose area is 2 pi R h. Caps that do not meet each other add up. The points sample the
// sphere, so the estimate may differ from the exact area by the sampling error: 2562
// evenly spread points resolve a cap to about 0.2 % of the whole sphere (the bound below is 0.3 %).
constexpr double kSamplingBound = 0.003;  // of the whole sphere's area
double CapArea(double big, double small, double distance) {
  const double h = big - (distance * distance + big * big - small * small) / (2 * distance);
  return 2 * M_PI * big * h;
}

TEST(SasaAnalytic, TwoOverlappingSpheresLoseTheirCaps) {
  for (const float distance : {2.0f, 3.5f, 5.0f, 6.5f}) {
    Builder b;
    b.AddResidue("GLY", 1);
    b.AddAtom("CA", 0, 0, 0);
    b.AddResidue("GLY", 2);
    b.AddAtom("CA", distance, 0, 0);
    b.Load();
    SilentFeedback quiet;
    ASSERT_TRUE(Measure(b.protein, Points(6), quiet));
    for (size_t i = 0; i < b.protein.structure.atoms.size(); ++i) {
      const double r = b.protein.structure.atoms[i].radius, full = 4 * M_PI * r * r;
      const double exact = full - CapArea(r, r, distance);
      EXPECT_NEAR(b.protein.surface.atoms[i].sasa, exact, kSamplingBound * full) << "distance " << distance;
    }
  }
}

TEST(SasaAnalytic, ThreeSpheresWithSeparateCapsAndUnequalRadii) {
  // A CA (expanded radius 3.4) with a carbonyl O and an N on either side (other radii):
  // the middle sphere loses two caps that do not meet; each outer sphere loses one.
  Builder b;
  b.AddResidue("GLY", 1);
  b.AddAtom("CA", 0, 0, 0);
  b.AddResidue("GLY", 2);
  b.AddAtom("O", 5.5f, 0, 0);
  b.AddResidue("GLY", 3);
  b.AddAtom("N", 0, -4.8f, 0);
  b.Load();
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(b.protein, Points(6), quiet));
  const auto& atoms = b.protein.structure.atoms;
  const auto& areas = b.protein.surface.atoms;
  const double rc = atoms[0].radius, ro = atoms[1].radius, rn = atoms[2].radius;
  ASSERT_NE(rc, ro);  // unequal radii make the caps' heights differ on the two sides
  const double dco = 5.5, dcn = 4.8, don = std::hypot(5.5, 4.8);
  ASSERT_GT(don, ro + rn);  // the outer spheres do not touch
  // The caps on the middle sphere do not meet: their half-angles add up to less than 90
  // degrees, the angle between the two directions.
  auto halfAngle = [](double big, double small, double d) {
    return std::acos((d * d + big * big - small * small) / (2 * d * big));
  };
  ASSERT_LT(halfAngle(rc, ro, dco) + halfAngle(rc, rn, dcn), M_PI / 2);
  auto full = [](double r) { return 4 * M_PI * r * r; };
  EXPECT_NEAR(areas[0].sasa, full(rc) - CapArea(rc, ro, dco) - CapArea(rc, rn, dcn),
              kSamplingBound * full(rc));
  EXPECT_NEAR(areas[1].sasa, full(ro) - CapArea(ro, rc, dco), kSamplingBound * full(ro));
  EXPECT_NEAR(areas[2].sasa, full(rn) - CapArea(rn, rc, dcn), kSamplingBound * full(rn));
}

TEST(SasaAtoms, APointOnANeighboursSphereIsNotCovered) {
  // One sample point straight up: with the atom at the origin (radius 3.4) it lies at
  // z = 3.4. A neighbour of radius 2 centred 2 to the side has it exactly on its sphere.
  Builder b;
  b.AddResidue("GLY", 1);
  b.AddAtom("CA", 0, 0, 0);
  b.AddHet(2.0f, 0.0f, 3.4f, 2.0f, true, 7);
  b.Load();
  ASSERT_EQ(b.protein.neighbourGrid->NeighboursOf(AtomRef::Protein(0)).size(), 1u);
  const std::vector<SpherePoint> up = {{0.0f, 0.0f, 1.0f}};
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(b.protein, up, quiet));
  EXPECT_EQ(b.protein.surface.atoms[0].sasa, b.protein.structure.atoms[0].sphereArea);
  // A hair closer and the point is covered.
  b.protein.structure.hetAtoms[0].x = 1.999f;
  b.Load();
  ASSERT_TRUE(Measure(b.protein, up, quiet));
  EXPECT_EQ(b.protein.surface.atoms[0].sasa, 0.0f);
  EXPECT_EQ(b.protein.surface.atoms[0].contactPoints, 1u);
  EXPECT_EQ(b.protein.surface.atoms[0].polarPoints, 1u);
}

TEST(SasaAtoms, TheNearestCoveringNeighbourDecidesContactAndPolarity) {
  // The point at z = 3.4 is covered by an apolar carbon of another residue (nearer) and a
  // polar water further away: it counts as a contact but not as polar.
  Builder b;
  b.AddResidue("GLY", 1);
  b.AddAtom("CA", 0, 0, 0);
  b.AddHet(0.0f, 1.0f, 4.5f, 3.0f, false, 2);  // carbon-like, nearer
  b.AddHet(0.0f, -2.0f, 5.0f, 3.0f, true, 3);  // water-like, further
  b.Load();
  const auto neighbours = b.protein.neighbourGrid->NeighboursOf(AtomRef::Protein(0));
  ASSERT_EQ(neighbours.size(), 2u);
  ASSERT_EQ(neighbours[0].second, AtomRef::Hetero(0));
  const std::vector<SpherePoint> up = {{0.0f, 0.0f, 1.0f}};
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(b.protein, up, quiet));
  EXPECT_EQ(b.protein.surface.atoms[0].contactPoints, 1u);
  EXPECT_EQ(b.protein.surface.atoms[0].polarPoints, 0u);
  // Covered by an atom of its own residue number: neither contact nor polar.
  b.protein.structure.hetAtoms[0].resSeq = 1;
  ASSERT_TRUE(Measure(b.protein, up, quiet));
  EXPECT_EQ(b.protein.surface.atoms[0].contactPoints, 0u);
  EXPECT_EQ(b.protein.surface.atoms[0].polarPoints, 0u);
}

TEST(SasaResidues, SumsFractionsAndWarnings) {
  Builder b;
  b.AddResidue("GLY", 1);  // a lone glycine: its CA is its side chain
  b.AddAtom("N", 0, 0, 0);
  b.AddAtom("CA", 1.46f, 0, 0);
  b.AddAtom("C", 2.0f, 1.42f, 0);
  b.AddAtom("O", 1.3f, 2.4f, 0);
  b.AddResidue("ALA", 2);  // no C: missing main chain
  b.AddAtom("N", 30, 0, 0);
  b.AddAtom("CA", 31.46f, 0, 0);
  b.AddAtom("CB", 32, -1.4f, 0);
  b.AddResidue("MSE", 3);  // no standard type
  b.AddAtom("N", 60, 0, 0);
  b.AddAtom("CA", 61.46f, 0, 0);
  b.AddAtom("C", 62.0f, 1.42f, 0);
  b.AddAtom("O", 61.3f, 2.4f, 0);
  b.Load();
  std::ostringstream log;
  SasaSettings settings;
  settings.log = &log;
  b.protein.fileName = "made.pdb";
  SilentFeedback quiet;
  const auto cwdFiles = std::distance(std::filesystem::directory_iterator("."), {});
  ASSERT_TRUE(Measure(b.protein, Points(3), quiet, settings));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), cwdFiles);  // no stray files
  const Structure& s = b.protein.structure;
  const std::vector<AtomSurface>& atoms = b.protein.surface.atoms;
  const ResidueSurface& gly = b.protein.surface.residues[0];
  EXPECT_EQ(gly.sideSASA, atoms[s.residues[0].caIndex].sasa);
  EXPECT_LT(gly.areaBuried, 0.0f);     // a lone glycine is more exposed than in the reference state
  EXPECT_EQ(gly.fractionPolar, 1.0f);  // every contact is solvent
  const ResidueSurface& ala = b.protein.surface.residues[1];
  const int32_t alaCb = s.residues[1].sideChain[0];
  EXPECT_EQ(ala.mainSASA, 0.0f);
  EXPECT_EQ(ala.sideSASA, atoms[alaCb].sasa);  // CA left out, CB counted
  EXPECT_EQ(ala.contactPoints, 1 + static_cast<int32_t>(atoms[alaCb].contactPoints));
  const ResidueSurface& mse = b.protein.surface.residues[2];
  EXPECT_EQ(mse.areaBuried, 0.0f);
  EXPECT_EQ(mse.fractionPolar, 0.0f);
  EXPECT_EQ(mse.kavelinFP, 0.0f);
  EXPECT_EQ(log.str(),
            "Creating structure made.pdb...\n"
            "Warning!! - residue ALA2 missing main chain atoms. Scores may be incorrect\n"
            "Warning!! Unknown residue type, residue: 3 chain: A\n");
}

TEST(SasaResidues, NoContactsGiveAFractionPolarOfZero) {
  // A heteroatom with the residue's own number engulfs the whole residue.
  Builder b;
  b.AddResidue("ALA", 1);
  for (const char* name : {"N", "CA", "C", "O", "CB"}) b.AddAtom(name, 0, 0, 0);
  b.AddHet(0, 0, 0, 6.0f, true, 1);
  b.Load();
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(b.protein, Points(0), quiet));
  const ResidueSurface& r = b.protein.surface.residues[0];
  EXPECT_EQ(r.contactPoints, 0);
  EXPECT_EQ(r.fractionPolar, 0.0f);
  EXPECT_FALSE(std::isnan(r.kavelinFP));
}

TEST(SasaPass, AnEmptyPointSetRefusesToRun) {
  Protein protein = test::LoadedProtein("1CRN.pdb", true);
  protein.surface.totalSASA = 123.0f;
  RecordingFeedback feedback;
  EXPECT_FALSE(Measure(protein, std::vector<SpherePoint>{}, feedback));
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_NE(feedback.messages[0].find("sphere point set is empty"), std::string::npos);
  EXPECT_EQ(protein.surface.totalSASA, 123.0f);
  EXPECT_FALSE(CalculateSASA(protein, 2, "/no/such/folder", feedback));
  EXPECT_NE(feedback.messages[1].find("/no/such/folder/Sphere_Points/maxvol.3.252.txt"), std::string::npos);
  EXPECT_FALSE(CalculateSASA(protein, 9, test::ProgramFolder(), feedback));
  EXPECT_EQ(feedback.messages.size(), 3u);
}

// The pass in its plainest form, one point and one neighbour at a time over all atom
// pairs: a point counts for the nearest neighbour whose sphere holds it.
struct PointResult {
  float sasa;
  uint32_t contact, polar;
};

std::vector<PointResult> OnePointAtATime(const Structure& s, const std::vector<SpherePoint>& points) {
  std::vector<PointResult> results;
  for (const Atom& a : s.atoms) {
    std::vector<std::pair<float, int32_t>> near;
    for (size_t j = 0; j < s.atoms.size(); ++j) {
      const Atom& b = s.atoms[j];
      const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
      const float reach = a.radius + b.radius;
      if (&a != &b && dx * dx + dy * dy + dz * dz < reach * reach)
        near.emplace_back(dx * dx + dy * dy + dz * dz, static_cast<int32_t>(j));
    }
    std::sort(near.begin(), near.end());
    uint32_t buried = 0, contact = 0, polar = 0;
    for (const SpherePoint& p : points) {
      const float px = a.radius * p[0], py = a.radius * p[1], pz = a.radius * p[2];
      const Atom* cover = nullptr;
      for (const auto& [d2, j] : near) {
        const Atom& b = s.atoms[j];
        const float dx = px - (b.x - a.x), dy = py - (b.y - a.y), dz = pz - (b.z - a.z);
        if (dx * dx + dy * dy + dz * dz < b.radius * b.radius) {
          cover = &b;
          break;
        }
      }
      if (cover == nullptr) {
        ++contact;
        ++polar;
      } else {
        ++buried;
        contact += cover->resSeq != a.resSeq ? 1 : 0;
        polar += cover->resSeq != a.resSeq && cover->polar ? 1 : 0;
      }
    }
    const auto n = static_cast<float>(points.size());
    results.push_back({((n - static_cast<float>(buried)) / n) * a.sphereArea, contact, polar});
  }
  return results;
}

TEST(SasaPass, EqualsTheTestOfOnePointAtATime) {
  // Crambin at 162 points, and at 92 points of which some are off the unit sphere (an
  // edited point file) and one is the centre itself.
  std::vector<SpherePoint> odd = Points(0);
  for (size_t i = 0; i < odd.size(); i += 9) {
    for (size_t axis = 0; axis < 3; ++axis) odd[i][axis] *= i % 2 == 0 ? 1.3f : 0.7f;
  }
  odd[5] = {0.0f, 0.0f, 0.0f};
  for (const std::vector<SpherePoint>* points :
       {&Points(1), static_cast<const std::vector<SpherePoint>*>(&odd)}) {
    Protein protein = test::LoadedProtein("1CRN.pdb", true);
    SilentFeedback quiet;
    ASSERT_TRUE(Measure(protein, *points, quiet));
    const auto expected = OnePointAtATime(protein.structure, *points);
    for (size_t i = 0; i < expected.size(); ++i) {
      const AtomSurface& a = protein.surface.atoms[i];
      ASSERT_EQ(std::memcmp(&a.sasa, &expected[i].sasa, sizeof(float)), 0) << i << " " << a.sasa;
      ASSERT_EQ(a.contactPoints, expected[i].contact) << i;
      ASSERT_EQ(a.polarPoints, expected[i].polar) << i;
    }
  }
}

// A structure whose waters are renamed so that they cover the surface as any bound
// heteroatom does: the pass's geometry with many heteroatoms, and the state in which
// the reference below was computed, before waters were left out as the solvent.
Protein WithWatersAsLigands(const std::string& name) {
  Protein protein;
  protein.structure = test::ReadPdb(test::DataPath(name)).structure;
  protein.fileName = name;
  for (HetAtom& atom : protein.structure.hetAtoms) {
    if (IsWaterName(atom.residueName)) atom.residueName = "XOH";
  }
  SilentFeedback quiet;
  protein.Load(quiet);
  return protein;
}

// Every atom's area (its bits) and counts of dihydrofolate reductase with its ligands and
// waters (covering, as renamed), at 252 and 1002 points, as the first implementation
// computed them: any later kernel, vector width or thread count must give the same. With
// TESSMOL_WRITE_REFERENCE set, the file is written instead.
TEST(SasaPass, AreasAndCountsEqualTheReferenceForAnyThreadsAndVectorWidth) {
  const std::string path = test::DataPath("reference/1RX1_atoms.txt");
  std::string computed;
  for (int resolution : {2, 5}) {
    std::string firstRun;
    for (int threads : {1, 3}) {
      for (bool wide : {true, false}) {
        Protein protein = WithWatersAsLigands("1RX1.pdb");
        SasaSettings settings;
        settings.threads = threads;
        settings.wideVectors = wide;
        RecordingFeedback feedback;
        ASSERT_TRUE(Measure(protein, Points(resolution), feedback, settings));
        EXPECT_EQ(feedback.progressTexts, std::vector<std::string>{kCalculatingSasa});
        EXPECT_TRUE(std::is_sorted(feedback.percents.begin(), feedback.percents.end()));
        EXPECT_EQ(feedback.progressEnds, 1);
        std::ostringstream out;
        out << "resolution " << resolution << '\n';
        for (const AtomSurface& a : protein.surface.atoms) {
          uint32_t bits;
          std::memcpy(&bits, &a.sasa, sizeof bits);
          out << std::hex << bits << std::dec << ' ' << a.contactPoints << ' ' << a.polarPoints << '\n';
        }
        if (firstRun.empty()) firstRun = out.str();
        ASSERT_EQ(out.str(), firstRun) << "threads " << threads << " wide " << wide;
      }
    }
    computed += firstRun;
  }
  if (std::getenv("TESSMOL_WRITE_REFERENCE") != nullptr) {
    std::ofstream(path) << computed;
    GTEST_SKIP() << "wrote " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  EXPECT_EQ(computed, std::string(std::istreambuf_iterator<char>(in), {}));
}

TEST(SasaPass, RunningAgainGivesTheSameValues) {
  Protein protein = test::LoadedProtein("1CRN.pdb", true);
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(protein, Points(1), quiet));
  const float first = protein.surface.totalSASA;
  ASSERT_TRUE(Measure(protein, Points(5), quiet));
  ASSERT_TRUE(Measure(protein, Points(1), quiet));
  EXPECT_EQ(protein.surface.totalSASA, first);
}

TEST(SasaPass, WatersAreTheSolventAndNeverCover) {
  // Ubiquitin's only heteroatoms are its 58 waters.
  Protein dry = test::LoadedProtein("1UBQ.pdb", true);
  Protein wet = test::LoadedProtein("1UBQ.pdb", false);
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(dry, Points(2), quiet));
  ASSERT_TRUE(Measure(wet, Points(2), quiet));
  EXPECT_EQ(wet.surface.totalSASA, dry.surface.totalSASA);
  EXPECT_EQ(CountHetAtomCover(wet.structure, false).watersLeftOut, 58u);
  EXPECT_EQ(CountHetAtomCover(wet.structure, false).coveringAtoms, 0u);
}

TEST(SasaPass, BoundPolarHeteroatomsCoverTheSurfaceAndArePolar) {
  // The waters' oxygens under another name: polar heteroatoms bound to the surface.
  Protein dry = test::LoadedProtein("1UBQ.pdb", true);
  Protein wet = WithWatersAsLigands("1UBQ.pdb");
  SilentFeedback quiet;
  ASSERT_TRUE(Measure(dry, Points(2), quiet));
  ASSERT_TRUE(Measure(wet, Points(2), quiet));
  EXPECT_LT(wet.surface.totalSASA, dry.surface.totalSASA * 0.8f);
  // They take surface from the protein, but a point they cover is polar: no residue
  // becomes less polar, and the ones they bind to become more so.
  int morePolar = 0;
  for (size_t i = 0; i < dry.structure.residues.size(); ++i) {
    const float before = dry.surface.residues[i].fractionPolar;
    const float after = wet.surface.residues[i].fractionPolar;
    EXPECT_GE(after, before - 1e-6f) << i;
    if (after > before + 0.01f) ++morePolar;
  }
  EXPECT_GT(morePolar, 10);
}

}  // namespace
}  // namespace tessmol
