#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "model/neighbour_grid.h"
#include "model/protein.h"
#include "test_support.h"

namespace tessmol {
namespace {

// All pairs, no grid: the neighbours of every atom with their squared distances, sorted.
// Waters, the solvent, are nobody's neighbours.
std::vector<std::pair<float, AtomRef>> BruteForce(const Structure& s, AtomRef self, bool withHet) {
  const Atom& a = s.AtomAt(self);
  std::vector<std::pair<float, AtomRef>> found;
  auto test = [&](const Atom& b, AtomRef ref) {
    if (ref == self) return;
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const float d2 = dx * dx + dy * dy + dz * dz;
    const float reach = a.radius + b.radius;
    if (d2 < reach * reach) found.emplace_back(d2, ref);
  };
  for (size_t i = 0; i < s.atoms.size(); ++i) test(s.atoms[i], AtomRef::Protein(int32_t(i)));
  if (withHet) {
    for (size_t i = 0; i < s.hetAtoms.size(); ++i) {
      if (s.hetAtoms[i].residueName != "HOH") test(s.hetAtoms[i], AtomRef::Hetero(int32_t(i)));
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Every atom's list as the grid gives it, walking all cells; each placed atom once.
std::map<AtomRef, std::vector<Neighbour>> Lists(const Protein& protein) {
  std::map<AtomRef, std::vector<Neighbour>> lists;
  NeighbourScratch scratch;
  const NeighbourGrid& grid = *protein.neighbourGrid;
  for (size_t c = 0; c < grid.CellCount(); ++c) {
    grid.ForEachAtom(c, scratch, [&](AtomRef ref, const std::vector<Neighbour>& found) {
      EXPECT_TRUE(lists.emplace(ref, found).second) << "atom " << ref.index() << " visited twice";
    });
  }
  return lists;
}

std::vector<AtomRef> Refs(const std::vector<Neighbour>& list) {
  std::vector<AtomRef> refs;
  for (const auto& n : list) refs.push_back(n.second);
  return refs;
}

void ExpectListsMatchBruteForce(const Protein& protein) {
  const Structure& s = protein.structure;
  const bool withHet = !protein.ignoreHeteroAtoms;
  const auto lists = Lists(protein);
  const size_t waters = static_cast<size_t>(std::count_if(
      s.hetAtoms.begin(), s.hetAtoms.end(), [](const HetAtom& atom) { return atom.residueName == "HOH"; }));
  EXPECT_EQ(lists.size(), s.atoms.size() + (withHet ? s.hetAtoms.size() - waters : 0));
  size_t pairs = 0;
  for (const auto& [ref, list] : lists) {
    ASSERT_EQ(list, BruteForce(s, ref, withHet)) << "atom " << ref.index() << " het " << ref.hetero();
    pairs += list.size();
  }
  EXPECT_EQ(protein.neighbourGrid->NeighboursOf(AtomRef::Protein(7)), lists.at(AtomRef::Protein(7)));
  EXPECT_GT(pairs, s.atoms.size() * 10);  // a packed protein: many overlaps per atom
}

TEST(ProteinLoad, NeighbourListsEqualAnAllPairsSearch) {
  // Rhodopsin: 5492 atoms, 456 heteroatoms (retinal, lipids, waters, zinc, mercury).
  ExpectListsMatchBruteForce(test::LoadedProtein("1U19.pdb", false));
}

TEST(ProteinLoad, IgnoredHeteroatomsAreNobodysNeighbours) {
  const Protein protein = test::LoadedProtein("1U19.pdb", true);
  ExpectListsMatchBruteForce(protein);
  for (const auto& [ref, list] : Lists(protein)) {
    EXPECT_FALSE(ref.hetero());
    for (const auto& n : list) EXPECT_FALSE(n.second.hetero());
  }
}

TEST(ProteinLoad, WaterNextToTheSurfaceIsNoNeighbour) {
  // Ubiquitin's 58 waters, many within reach of its surface, are the solvent.
  const Protein protein = test::LoadedProtein("1UBQ.pdb", false);
  ASSERT_EQ(protein.structure.hetAtoms.size(), 58u);
  size_t waterContacts = 0;
  for (const auto& [atom, list] : Lists(protein)) {
    EXPECT_FALSE(atom.hetero());
    for (const auto& [d2, ref] : list) waterContacts += ref.hetero() ? 1 : 0;
  }
  EXPECT_EQ(waterContacts, 0u);
}

TEST(ProteinLoad, HeteroatomsWidenTheBoxUnlessIgnored) {
  Protein with = test::LoadedProtein("1UBQ.pdb", false);
  Protein without = test::LoadedProtein("1UBQ.pdb", true);
  const Structure read = test::ReadPdb(test::DataPath("1UBQ.pdb")).structure;
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(without.structure.xyzExtremities[axis].f1, read.xyzExtremities[axis].f1);
    EXPECT_EQ(without.structure.xyzExtremities[axis].f2, read.xyzExtremities[axis].f2);
    EXPECT_LE(with.structure.xyzExtremities[axis].f1, read.xyzExtremities[axis].f1);
    EXPECT_GE(with.structure.xyzExtremities[axis].f2, read.xyzExtremities[axis].f2);
  }
  float lowestWater = 0.0f;
  for (const HetAtom& h : with.structure.hetAtoms) lowestWater = std::min(lowestWater, h.x);
  EXPECT_EQ(with.structure.xyzExtremities[0].f1, std::min(lowestWater, read.xyzExtremities[0].f1));
}

Atom MakeAtom(float x, float y, float z, AtomClass atomClass) {
  Atom a;
  a.x = x;
  a.y = y;
  a.z = z;
  a.atomClass = atomClass;
  const AtomClassInfo info = AtomClassOf(atomClass);
  a.radius = info.radius;
  a.sphereArea = info.sphereArea;
  return a;
}

TEST(ProteinLoad, TouchingSpheresAreNotNeighbours) {
  Protein protein;
  // Two class-4 atoms (radius 2.8): 5.6 apart they touch, 5.5 apart they overlap.
  protein.structure.atoms = {MakeAtom(0, 0, 0, AtomClass::kOxygen), MakeAtom(5.5f, 0, 0, AtomClass::kOxygen),
                             MakeAtom(0, 5.6f, 0, AtomClass::kOxygen)};
  for (int i = 0; i < 3; ++i) protein.structure.atoms[i].index = i;
  protein.structure.xyzExtremities = {FloatPair{0, 5.5f}, FloatPair{0, 5.6f}, FloatPair{0, 0}};
  RecordingFeedback feedback;
  protein.Load(feedback);
  const auto lists = Lists(protein);
  EXPECT_EQ(lists.at(AtomRef::Protein(0)), (std::vector<Neighbour>{{30.25f, AtomRef::Protein(1)}}));
  EXPECT_TRUE(lists.at(AtomRef::Protein(2)).empty());
  EXPECT_EQ(feedback.progressTexts, std::vector<std::string>{"Loading Protein..."});
  EXPECT_EQ(feedback.progressEnds, 1);
}

TEST(ProteinLoad, LargeHeteroatomsAreFoundAcrossCells) {
  // A heteroatom of radius 4.2 overlaps an atom 7.5 angstrom away, further than one 7.0
  // angstrom cell: the grid widens its cells so the pair is still found.
  Protein protein;
  protein.structure.atoms = {MakeAtom(0, 0, 0, AtomClass::kAliphaticCarbon),
                             MakeAtom(20, 0, 0, AtomClass::kAliphaticCarbon)};
  protein.structure.atoms[1].index = 1;
  HetAtom big;
  big.x = 7.5f;
  big.radius = 4.2f;
  protein.structure.hetAtoms.push_back(big);
  protein.structure.xyzExtremities = {FloatPair{0, 20}, FloatPair{0, 0}, FloatPair{0, 0}};
  SilentFeedback quiet;
  protein.Load(quiet);
  EXPECT_EQ(Refs(Lists(protein).at(AtomRef::Protein(0))), std::vector<AtomRef>{AtomRef::Hetero(0)});
}

TEST(ProteinLoad, FarAwayCoordinatesNeedNoHugeGrid) {
  // A coordinate field may hold 99999999: the grid must not allocate the box's volume.
  Protein protein;
  const float far = 99999999.0f;
  protein.structure.atoms = {MakeAtom(-9999999.0f, 0, 0, AtomClass::kAliphaticCarbon),
                             MakeAtom(far, far, far, AtomClass::kAliphaticCarbon),
                             MakeAtom(1, 1, 1, AtomClass::kAliphaticCarbon),
                             MakeAtom(2, 2, 2, AtomClass::kAliphaticCarbon)};
  for (int i = 0; i < 4; ++i) protein.structure.atoms[i].index = i;
  protein.structure.xyzExtremities[0] = FloatPair{-9999999.0f, far};
  protein.structure.xyzExtremities[1] = FloatPair{0, far};
  protein.structure.xyzExtremities[2] = FloatPair{0, far};
  SilentFeedback quiet;
  protein.Load(quiet);
  const auto lists = Lists(protein);
  EXPECT_TRUE(lists.at(AtomRef::Protein(0)).empty());
  EXPECT_EQ(Refs(lists.at(AtomRef::Protein(2))), std::vector<AtomRef>{AtomRef::Protein(3)});
}

TEST(ProteinLoad, AtomsPiledOnOnePointListOnlyTheLargest) {
  // 15,000 atoms at one point (a file whose coordinates all read as 0) once took 1.8 GB.
  Protein protein;
  for (int i = 0; i < 15000; ++i) {
    protein.structure.atoms.push_back(
        MakeAtom(0, 0, 0, i % 7 == 3 ? AtomClass::kNitrogen : AtomClass::kAliphaticCarbon));
    protein.structure.atoms.back().index = i;
  }
  protein.structure.atoms.push_back(MakeAtom(3, 0, 0, AtomClass::kAliphaticCarbon));  // one real neighbour
  SilentFeedback quiet;
  protein.Load(quiet);
  const auto lists = Lists(protein);
  // Every atom at the point sees one other atom there, the largest (class 3 has radius
  // 2.9 against 3.4 for class 0, so the first class-0 atom), and the atom nearby.
  for (int32_t i = 0; i < 15000; ++i) {
    ASSERT_EQ(Refs(lists.at(AtomRef::Protein(i))),
              (std::vector<AtomRef>{AtomRef::Protein(i == 0 ? 1 : 0), AtomRef::Protein(15000)}))
        << i;
  }
  EXPECT_EQ(Refs(lists.at(AtomRef::Protein(15000))), std::vector<AtomRef>{AtomRef::Protein(0)});
}

// The bucketed sort of neighbour keys against std::sort: lists of every length across the
// switch to buckets at 16 keys, with distances spread evenly, piled into one bucket, all
// equal, and zero (an atom on its neighbour's centre).
TEST(NeighbourSort, OrdersKeysAsStdSortDoes) {
  std::mt19937_64 random(26);
  auto key = [&](float d2) {
    uint32_t bits;
    std::memcpy(&bits, &d2, sizeof bits);
    return (uint64_t{bits} << 32) | (random() & 0xffffffffu);
  };
  std::vector<uint64_t> spare;
  for (size_t length = 0; length < 130; ++length) {
    for (int shape = 0; shape < 4; ++shape) {
      std::vector<uint64_t> keys;
      for (size_t k = 0; k < length; ++k) {
        const float spread = std::uniform_real_distribution<float>(0.0f, 49.0f)(random);
        const float d2 = shape == 0   ? spread
                         : shape == 1 ? (k == 0 ? 49.0f : spread / 1000.0f)
                         : shape == 2 ? 4.0f
                                      : 0.0f;
        keys.push_back(key(d2));
      }
      std::vector<uint64_t> expected = keys;
      std::sort(expected.begin(), expected.end());
      SortNeighbourKeys(keys, spare);
      ASSERT_EQ(keys, expected) << "length " << length << ", shape " << shape;
    }
  }
}

TEST(StructureQueries, TransmembraneSegments) {
  Protein p;
  Structure& s = p.structure;
  for (int i = 0; i < 8; ++i) s.residues.emplace_back("ALA", 10 + i, i < 5 ? 'A' : 'B');
  p.ClearResults();
  for (int i : {1, 2, 4, 5, 7}) p.transmembrane.residues[i].transmembrane = true;
  const auto segments = p.TransmembraneSegments();
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0].firstResSeq, 11);
  EXPECT_EQ(segments[0].lastResSeq, 12);
  EXPECT_EQ(segments[1].firstResSeq, 14);  // runs are not split at chain boundaries
  EXPECT_EQ(segments[1].lastResSeq, 15);
  EXPECT_EQ(segments[2].firstResSeq, 17);
  // Residues 13 and 14 missing from the structure: the run 12, 15 is two.
  p.transmembrane.residues[3].transmembrane = true;
  s.residues[3].resSeq = 12;
  s.residues[1].resSeq = 9;
  s.residues[2].resSeq = 10;
  s.residues[4].resSeq = 15;
  EXPECT_EQ(p.TransmembraneSegments().size(), 4u);
}

}  // namespace
}  // namespace tessmol
