// The membrane slab against frames known from elsewhere: rhodopsin and a porin moved into
// their membrane frames with structure-derived segments, OmpA with OPM's DUM planes,
// soluble proteins.
#include "transmembrane/membrane_slab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "document/report.h"
#include "document/tessmol_doc.h"
#include "test_support.h"
#include "transmembrane/geometry.h"
#include "transmembrane/symmetry.h"

namespace tessmol {
namespace {

Protein Analysed(const std::string& name) {
  ProcessState state(test::ProgramFolder());
  SilentFeedback quiet;
  CTessmolDoc doc(state, quiet);
  AnalysisSettings settings;
  settings.ignoreHeteroAtoms = true;
  doc.SetSettings(settings);
  state.CloseLog();
  Protein protein;
  EXPECT_EQ(doc.AnalyseFile(test::DataPath(name), protein), CTessmolDoc::OpenResult::kOpened);
  return protein;
}

// Every placement on an analysed structure, with the default search.
std::vector<MembranePlacement> Placements(const Protein& protein) {
  SilentFeedback quiet;
  return PlaceMembranes(protein.structure, protein.surface, SlabSearch{}, quiet);
}

double AngleToAxis(const Vec3& normal, const Vec3& axis) {
  return std::acos(std::min(1.0f, std::fabs(normal.Dot(axis)))) / kDegrees;
}

TEST(MembraneSlab, RhodopsinSitsInItsMembraneFrame) {
  const Protein rhodopsin = Analysed("1U19_tr.pdb");
  SilentFeedback quiet;
  const MembranePlacement m = PlaceMembrane(rhodopsin.structure, rhodopsin.surface, SlabSearch{}, quiet);
  ASSERT_TRUE(m.placed);
  EXPECT_LT(AngleToAxis(m.normal, {0, 0, 1}), 10.0);
  EXPECT_LT(std::fabs(m.centre[2]), 2.5f);
  EXPECT_GE(m.halfThickness, 12.0f);
  EXPECT_LE(m.halfThickness, 20.0f);
  // The structure-derived segments (numbered from 1 in file order), each found once.
  std::ifstream span(test::DataPath("1U19_tr.span"));
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(span, line);
  int first, last, annotated = 0, found = 0;
  while (span >> first >> last) {
    ++annotated;
    for (const SlabSegment& s : m.segments)
      found += std::min(last, s.last + 1) - std::max(first, s.first + 1) + 1 >= 5 ? 1 : 0;
  }
  EXPECT_EQ(annotated, 7);
  EXPECT_EQ(found, 7);
  EXPECT_LE(m.segments.size(), 8u);
  // Rhodopsin's N-terminus is extracellular: its first helix runs from outside in, and
  // the positive-inside rule put the cytoplasm below the normal.
  EXPECT_FALSE(m.segments.front().nInside);
  // The seven helices cross the bilayer; an eighth run, if any, is helix 8 lying flat.
  EXPECT_EQ(std::count_if(m.segments.begin(), m.segments.end(),
                          [](const SlabSegment& s) { return s.tiltDegrees < 45.0f; }),
            7);
}

TEST(MembraneSlab, OmpAMeetsOpmsPlanes) {
  const Protein ompA = Analysed("1QJP_opm.pdb");
  // OPM's planes: DUM atoms named N on one, O on the other.
  std::ifstream in(test::DataPath("1QJP_opm.pdb"));
  std::string line;
  float zN = 0, zO = 0;
  while (std::getline(in, line)) {
    if (line.rfind("HETATM", 0) == 0 && line.substr(17, 3) == "DUM")
      (line[13] == 'N' ? zN : zO) = std::stof(line.substr(46, 8));
  }
  ASSERT_NE(zN, zO);
  SilentFeedback quiet;
  const MembranePlacement m = PlaceMembrane(ompA.structure, ompA.surface, SlabSearch{}, quiet);
  ASSERT_TRUE(m.placed);
  EXPECT_LT(AngleToAxis(m.normal, {0, 0, 1}), 10.0);
  EXPECT_LT(std::fabs(m.centre[2] - (zN + zO) / 2), 2.5f);
  EXPECT_LT(std::fabs(m.halfThickness - std::fabs(zO - zN) / 2), 3.0f);
  EXPECT_EQ(m.segments.size(), 8u);  // the eight strands of the barrel
  // Both ends of an outer-membrane barrel lie in the periplasm, OPM's N side: the normal
  // points from it to the O side, and the first strand runs from the inside out.
  EXPECT_GT(m.normal[2] * (zO - zN), 0.0f);
  EXPECT_TRUE(m.segments.front().nInside);
}

TEST(MembraneSlab, PorinTrimerSitsInItsMembraneFrame) {
  // The Rhodobacter capsulatus porin (2POR, three 16-stranded barrels) moved into its
  // membrane frame (normal z, centre z = 0) with its structure-derived strands: a wide
  // barrel whose water-filled pores must not pull the slab, and whose three chains share
  // one membrane.
  const Protein porin = Analysed("2POR_tr.pdb");
  const std::vector<MembranePlacement> placements = Placements(porin);
  ASSERT_EQ(placements.size(), 1u);
  const MembranePlacement& m = placements.front();
  ASSERT_TRUE(m.placed);
  EXPECT_TRUE(m.chains.empty());
  // The frame's z is the trimer's three-fold axis (the normal of its chain centres' plane),
  // and the normal runs along it.
  EXPECT_EQ(m.symmetryOrder, 3);
  EXPECT_LT(AngleToAxis(m.normal, {0, 0, 1}), 0.5);
  EXPECT_LT(std::fabs(m.centre[2]), 2.5f);
  // An outer membrane's hydrocarbon core is some 24 A thick.
  EXPECT_GE(m.halfThickness, 10.0f);
  EXPECT_LE(m.halfThickness, 15.0f);
  std::ifstream span(test::DataPath("2POR_tr.span"));
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(span, line);
  int first, last, annotated = 0, found = 0;
  while (span >> first >> last) {
    ++annotated;
    found += std::any_of(m.segments.begin(), m.segments.end(), [&](const SlabSegment& s) {
      return std::min(last, s.last + 1) - std::max(first, s.first + 1) + 1 >= 5;
    });
  }
  EXPECT_EQ(annotated, 46);
  EXPECT_EQ(found, annotated);
  // Every segment ends near a strand's annotated end: none takes in the constriction loop
  // L3 (74-117 in each chain), which folds into the pore at mid-depth after the strand
  // 68-73.
  for (const SlabSegment& s : m.segments) {
    const int32_t from = porin.structure.residues[s.first].resSeq,
                  to = porin.structure.residues[s.last].resSeq;
    EXPECT_FALSE(from <= 80 && to >= 80) << from << "-" << to;
    EXPECT_LE(s.last - s.first + 1, 16) << from << "-" << to;
  }
  // Neighbouring strands of a barrel run antiparallel: along each chain the crossing
  // segments alternate in direction.
  int alternating = 0, pairs = 0;
  for (size_t i = 1; i < m.segments.size(); ++i) {
    const SlabSegment &a = m.segments[i - 1], &b = m.segments[i];
    if (a.chain != b.chain || a.kind != SegmentKind::kCrossing || b.kind != SegmentKind::kCrossing) continue;
    ++pairs;
    alternating += a.nInside != b.nInside;
  }
  EXPECT_GE(pairs, 40);
  EXPECT_GE(alternating, pairs - 3);
  // The porin's N-terminus is periplasmic: each chain's first strand runs from the inside out.
  std::vector<bool> seen(porin.structure.chains.size(), false);
  for (const SlabSegment& segment : m.segments) {
    if (seen[static_cast<size_t>(segment.chain)]) continue;
    seen[static_cast<size_t>(segment.chain)] = true;
    EXPECT_TRUE(segment.nInside) << "chain " << segment.chain;
  }
}

TEST(MembraneSlab, TurnedAndMovedStructuresGetThePlacementTurnedAndMoved) {
  const Protein rhodopsin = Analysed("1U19_tr.pdb");
  SilentFeedback quiet;
  SlabSearch search;
  search.threads = 1;
  const MembranePlacement reference = PlaceMembrane(rhodopsin.structure, rhodopsin.surface, search, quiet);
  search.threads = 2;
  const MembranePlacement twoThreads = PlaceMembrane(rhodopsin.structure, rhodopsin.surface, search, quiet);
  EXPECT_EQ(twoThreads.normal, reference.normal);
  EXPECT_EQ(twoThreads.centre, reference.centre);
  EXPECT_EQ(twoThreads.halfThickness, reference.halfThickness);

  // The normal must not depend on the frame the file happens to use. LacY's score is flat
  // over several degrees near its top, where a placement that followed the search lattice
  // (which does not turn with the structure) moved by two degrees and more.
  const std::array<std::pair<Vec3, float>, 4> turns = {std::pair{Vec3{1, 0, 0}, 90.0f},
                                                       {Vec3{1, 1, 0}.Normalised(), 137.0f},
                                                       {Vec3{-2, 1, 3}.Normalised(), 251.0f},
                                                       {Vec3{0, 3, -1}.Normalised(), 17.0f}};
  for (const char* name : {"1U19_tr.pdb", "2CFQ_tr.pdb"}) {
    const Protein protein = Analysed(name);
    const MembranePlacement start = PlaceMembrane(protein.structure, protein.surface, search, quiet);
    ASSERT_TRUE(start.placed) << name;
    for (const auto& [axis, degrees] : turns) {
      const Mat4 m = Mat4::Translation({31.0f, -17.0f, 8.5f}) * Mat4::Rotation(axis, degrees * kDegrees);
      Structure moved = protein.structure;
      for (Atom& a : moved.atoms) {
        const Vec3 p = m.Apply({a.x, a.y, a.z});
        a.x = p.x, a.y = p.y, a.z = p.z;
      }
      const MembranePlacement turned = PlaceMembrane(moved, protein.surface, search, quiet);
      ASSERT_TRUE(turned.placed) << name;
      const Vec3 expected = m.ApplyDirection(start.normal);
      EXPECT_LT(AngleToAxis(turned.normal, expected), 1.0) << name << " turned " << degrees;
      EXPECT_GT(turned.normal.Dot(expected), 0.0f) << name << ": the cytoplasmic side stays where it was";
      EXPECT_LT(std::fabs((turned.centre - m.Apply(start.centre)).Dot(expected)), 0.5f) << name;
      EXPECT_NEAR(turned.halfThickness, start.halfThickness, 0.5f) << name;
      EXPECT_EQ(turned.segments.size(), start.segments.size()) << name;
    }
  }
}

TEST(MembraneSlab, SolubleProteinsGetNoPlacement) {
  for (const char* name : {"1UBQ.pdb", "4HHB.pdb", "1AKI.pdb"}) {
    const Protein soluble = Analysed(name);
    SilentFeedback quiet;
    const MembranePlacement m = PlaceMembrane(soluble.structure, soluble.surface, SlabSearch{}, quiet);
    EXPECT_FALSE(m.placed) << name;
    EXPECT_LT(m.score, m.threshold) << name;
    EXPECT_TRUE(m.segments.empty()) << name;
  }
  // The amyloid-beta(17-42) fibril: hydrophobic enough for a slab to gain, but its strands,
  // stacked across the fibril, pass through the slab in pieces of 5 to 7 residues, and no
  // chain crosses it as a membrane protein's helix or barrel strand does.
  const Protein fibril = Analysed("2BEG.pdb");
  SilentFeedback quiet;
  const MembranePlacement m = PlaceMembrane(fibril.structure, fibril.surface, SlabSearch{}, quiet);
  EXPECT_GE(m.score, m.threshold);
  EXPECT_FALSE(m.placed);
  EXPECT_TRUE(m.segments.empty());
}

// Residue index of chain `chainId`'s residue numbered `resSeq`, or -1.
int32_t ResidueAt(const Structure& s, char chainId, int32_t resSeq) {
  for (size_t i = 0; i < s.residues.size(); ++i)
    if (s.residues[i].chainId == chainId && s.residues[i].resSeq == resSeq) return static_cast<int32_t>(i);
  return -1;
}

// The segment holding residue `index`, or none.
const SlabSegment* SegmentAt(const std::vector<MembranePlacement>& placements, int32_t index) {
  for (const MembranePlacement& m : placements)
    for (const SlabSegment& s : m.segments)
      if (s.first <= index && index <= s.last) return &s;
  return nullptr;
}

TEST(MembraneSlab, KcsAsPoreHelixDipsInFromOutside) {
  // KcsA: the outer helix M1 (23-52) runs from inside out, the inner helix M2 (85-122)
  // from outside in, and the pore helix (62-74) with the selectivity filter (75-79) dips
  // into the outer half of the bilayer and leaves it on the same side (Doyle et al. 1998;
  // Zhou et al. 2001). 1K4C holds one protomer (chain C) with a Fab on the outer mouth;
  // 3PJS the full-length tetramer (chains K-N) with its cytoplasmic domain (to 160), whose
  // arginines next to the bilayer (117, 121, 122) are engineered to glutamines: only the
  // domain's arginines farther out, in the 46-residue tail, tell its inside.
  for (const auto& [file, chains] : {std::pair{"1K4C.pdb", "C"}, {"3PJS_KcsA.pdb.gz", "KLMN"}}) {
    SCOPED_TRACE(file);
    const Protein kcsa = Analysed(file);
    const std::vector<MembranePlacement> placements = Placements(kcsa);
    ASSERT_FALSE(placements.empty());
    ASSERT_TRUE(placements.front().placed);
    const Structure& s = kcsa.structure;
    for (const char chain : std::string(chains)) {
      SCOPED_TRACE(chain);
      const SlabSegment* m1 = SegmentAt(placements, ResidueAt(s, chain, 40));
      const SlabSegment* pore = SegmentAt(placements, ResidueAt(s, chain, 70));
      const SlabSegment* m2 = SegmentAt(placements, ResidueAt(s, chain, 100));
      ASSERT_NE(m1, nullptr);
      ASSERT_NE(pore, nullptr);
      ASSERT_NE(m2, nullptr);
      EXPECT_EQ(m1->kind, SegmentKind::kCrossing);
      EXPECT_TRUE(m1->nInside);
      EXPECT_EQ(m2->kind, SegmentKind::kCrossing);
      EXPECT_FALSE(m2->nInside);
      EXPECT_EQ(pore->kind, SegmentKind::kReEntrant);
      EXPECT_FALSE(pore->nInside) << "the pore helix enters from outside";
      EXPECT_NE(pore, m1);
      EXPECT_NE(pore, m2);
    }
  }
}

TEST(MembraneSlab, LysozymeFusedOutsideDoesNotTurnTheReceptor) {
  // 3SN6's receptor chain carries T4 lysozyme (1002-1160), rich in lysines and arginines,
  // fused to the extracellular N-terminus of the beta2-adrenergic receptor (30-341). Like
  // every such receptor it starts outside: helix 1 runs out to in, helix 7 too, and the
  // lysozyme's charges far beyond the bilayer must not turn it.
  const Protein fusion = Analysed("3SN6_receptor.pdb");
  const std::vector<MembranePlacement> placements = Placements(fusion);
  ASSERT_EQ(placements.size(), 1u);
  ASSERT_TRUE(placements.front().placed);
  const Structure& s = fusion.structure;
  const SlabSegment* helix1 = SegmentAt(placements, ResidueAt(s, 'R', 45));
  const SlabSegment* helix7 = SegmentAt(placements, ResidueAt(s, 'R', 315));
  ASSERT_NE(helix1, nullptr);
  ASSERT_NE(helix7, nullptr);
  EXPECT_FALSE(helix1->nInside);
  EXPECT_FALSE(helix7->nInside);
  int crossings = 0;
  for (const SlabSegment& segment : placements.front().segments) {
    EXPECT_LT(s.residues[segment.first].resSeq, 1000) << "a segment in the lysozyme";
    crossings += segment.kind == SegmentKind::kCrossing;
  }
  EXPECT_EQ(crossings, 7);
}

TEST(MembraneSlab, RhodopsinsCrystalCopiesEachGetTheirOwnMembrane) {
  // 1U19 holds two rhodopsins lying antiparallel in the crystal: one slab over both puts
  // one of them upside down. Each chain's N-terminus is extracellular, so its helix 1
  // (residues 34-64) runs from outside in (Palczewski et al. 2000).
  const Protein rhodopsin = Analysed("1U19.pdb");
  const std::vector<MembranePlacement> placements = Placements(rhodopsin);
  ASSERT_EQ(placements.size(), 2u);
  for (const MembranePlacement& m : placements) {
    EXPECT_TRUE(m.placed);
    EXPECT_EQ(m.chains.size(), 1u);
    // The copies' two-fold lies in the membrane plane: it sets no normal.
    EXPECT_EQ(m.symmetryOrder, 0);
  }
  EXPECT_LT(placements[0].chains, placements[1].chains);  // A's first, though B holds more segments
  for (char chain : {'A', 'B'}) {
    const SlabSegment* helix1 = SegmentAt(placements, ResidueAt(rhodopsin.structure, chain, 50));
    ASSERT_NE(helix1, nullptr) << chain;
    EXPECT_FALSE(helix1->nInside) << chain;
  }
  // The two membranes' normals point opposite ways, as the copies lie.
  const Vec3 a{placements[0].normal[0], placements[0].normal[1], placements[0].normal[2]};
  const Vec3 b{placements[1].normal[0], placements[1].normal[1], placements[1].normal[2]};
  EXPECT_LT(a.Dot(b), 0.0f);
}

TEST(MembraneSlab, ACrossingEndsWhereTheChainStopsRising) {
  // 1GZM's slab is thick enough to hold the extracellular hairpin (residues 177-190),
  // which lies flat along the slab's face after helix 4: it is no part of the helix
  // (helix 4 ends at 173-176 in rhodopsin's structures, Palczewski et al. 2000), and the
  // helix stands nearly upright, as it does in 1U19.
  const Protein rhodopsin = Analysed("1GZM.pdb.gz");
  const std::vector<MembranePlacement> placements = Placements(rhodopsin);
  ASSERT_EQ(placements.size(), 2u);
  for (char chain : {'A', 'B'}) {
    const SlabSegment* helix4 = SegmentAt(placements, ResidueAt(rhodopsin.structure, chain, 160));
    ASSERT_NE(helix4, nullptr) << chain;
    EXPECT_LE(rhodopsin.structure.residues[helix4->last].resSeq, 180) << chain;
    EXPECT_GE(rhodopsin.structure.residues[helix4->last].resSeq, 170) << chain;
    EXPECT_LT(helix4->tiltDegrees, 15.0f) << chain;
    // Helix 5 (residues 200-225) is found as before.
    EXPECT_NE(SegmentAt(placements, ResidueAt(rhodopsin.structure, chain, 210)), nullptr) << chain;
  }
}

TEST(MembraneSlab, GlycophorinsNormalRunsAlongItsTwoFold) {
  // Two parallel helices (NMR) related by a two-fold: identical chains sit alike in the
  // bilayer, so the axis is the normal, though the surface alone leaves it loose.
  const Protein glycophorin = Analysed("1AFO_tr.pdb");
  const Structure& s = glycophorin.structure;
  std::vector<char> helices(s.residues.size(), 0);
  for (size_t r = 0; r < s.residues.size(); ++r)
    helices[r] = s.residues[r].resSeq >= 74 && s.residues[r].resSeq <= 94;
  const SymmetryAxis twoFold = FindSymmetryAxis(s, {0, 1}, {}, helices);
  ASSERT_TRUE(twoFold.found);
  const Vec3 axis{static_cast<float>(twoFold.direction.x), static_cast<float>(twoFold.direction.y),
                  static_cast<float>(twoFold.direction.z)};
  SilentFeedback quiet;
  const std::vector<MembranePlacement> placements =
      PlaceMembranes(s, glycophorin.surface, SlabSearch{}, quiet);
  ASSERT_EQ(placements.size(), 1u);
  const MembranePlacement& m = placements.front();
  ASSERT_TRUE(m.placed);
  EXPECT_EQ(m.symmetryOrder, 2);
  // The placement compares the crossing helices and a turn beyond; the NMR model's axis
  // moves by about a degree with the residues compared.
  EXPECT_LT(AngleToAxis(m.normal, axis), 2.0);
  const std::vector<std::string> lines = MembraneLines(s, m);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Membrane normal along the chains' 2-fold symmetry axis"),
            lines.end());
  // Both helices still cross, each from outside in (glycophorin's N-terminus is outside).
  ASSERT_EQ(m.segments.size(), 2u);
  for (const SlabSegment& segment : m.segments) {
    EXPECT_EQ(segment.kind, SegmentKind::kCrossing);
    EXPECT_FALSE(segment.nInside);
  }
  // Without the axis the normal is the surface's and the segments', and no line says otherwise.
  SlabSearch alone;
  alone.maxSymmetryAngle = 0.0f;
  const MembranePlacement loose = PlaceMembrane(s, glycophorin.surface, alone, quiet);
  ASSERT_TRUE(loose.placed);
  EXPECT_EQ(loose.symmetryOrder, 0);
  const std::vector<std::string> looseLines = MembraneLines(s, loose);
  EXPECT_EQ(std::count_if(looseLines.begin(), looseLines.end(),
                          [](const std::string& line) { return line.find("symmetry") != std::string::npos; }),
            0);
}

TEST(MembraneSlab, LacYsNormalRunsAlongItsPseudoTwoFold) {
  // A monomer has no copies to take an axis from, but the major facilitator fold is two
  // six-helix halves related by a turn of 180 degrees about the membrane normal (Abramson et
  // al. 2003). The placement never looks for that turn, so its axis is an oracle of its own:
  // the span-derived frame of this file lies some 8.5 degrees from it.
  const Protein lacY = Analysed("2CFQ_tr.pdb");
  const Structure& s = lacY.structure;
  // The cores of helices I-VI and of VII-XII, residue k of helix h paired with residue k of
  // helix h + 6, each 16 residues about the helix's middle.
  const std::array<std::pair<int, int>, 12> helices = {std::pair{10, 34}, {43, 64},   {74, 96},   {104, 127},
                                                       {143, 162},        {166, 187}, {220, 247}, {258, 279},
                                                       {288, 309},        {313, 334}, {350, 372}, {381, 400}};
  std::vector<Vec3d> first, second;
  for (int h = 0; h < 6; ++h) {
    const int a = (helices[h].first + helices[h].second) / 2;
    const int b = (helices[h + 6].first + helices[h + 6].second) / 2;
    for (int k = -8; k < 8; ++k) {
      const int32_t ra = ResidueAt(s, 'A', a + k), rb = ResidueAt(s, 'A', b + k);
      ASSERT_GE(ra, 0);
      ASSERT_GE(rb, 0);
      const Atom& ca = s.atoms[static_cast<size_t>(s.residues[ra].caIndex)];
      const Atom& cb = s.atoms[static_cast<size_t>(s.residues[rb].caIndex)];
      first.push_back({ca.x, ca.y, ca.z});
      second.push_back({cb.x, cb.y, cb.z});
    }
  }
  const Superposition turn = Superpose(first, second);
  EXPECT_GT(turn.angle / kDegrees, 170.0);  // a two-fold, as the fold has
  const Vec3 axis{static_cast<float>(turn.axis.x), static_cast<float>(turn.axis.y),
                  static_cast<float>(turn.axis.z)};
  SilentFeedback quiet;
  const MembranePlacement m = PlaceMembrane(s, lacY.surface, SlabSearch{}, quiet);
  ASSERT_TRUE(m.placed);
  EXPECT_EQ(m.symmetryOrder, 0);
  EXPECT_LT(AngleToAxis(m.normal, axis), 4.0);
  EXPECT_GT(AngleToAxis({0, 0, 1}, axis), 7.0);  // the file's own frame is the looser one
  EXPECT_EQ(m.segments.size(), 12u);             // helix VI too, which the file's span list leaves out
}

// No placement says why: too little gained, or enough gained with nothing crossing the slab
// (a file of scattered residues).
TEST(MembraneSlab, NoPlacementSaysWhy) {
  const Structure none;
  MembranePlacement weak, unspanned;
  weak.score = 1.5f;
  weak.threshold = unspanned.threshold = 5.0f;
  unspanned.score = 11.6f;
  EXPECT_EQ(
      MembraneLines(none, weak),
      std::vector<std::string>{"Membrane: no membrane placement (score 1.5 kcal/mol, at least 5.0 needed)"});
  EXPECT_EQ(MembraneLines(none, unspanned),
            std::vector<std::string>{"Membrane: no membrane placement (score 11.6 kcal/mol, but no stretch "
                                     "of the chain crosses the slab)"});
}

TEST(MembraneSlab, OneChainOrParallelChainsShareOneMembrane) {
  for (const char* name : {"1U19_tr.pdb", "1QJP_opm.pdb"}) {
    const Protein protein = Analysed(name);
    SilentFeedback quiet;
    const std::vector<MembranePlacement> placements =
        PlaceMembranes(protein.structure, protein.surface, SlabSearch{}, quiet);
    ASSERT_EQ(placements.size(), 1u) << name;
    EXPECT_TRUE(placements.front().chains.empty()) << name;
  }
}

TEST(MembraneSlab, ResiduesOfLowConfidenceTakeNoPart) {
  Protein rhodopsin = Analysed("1U19_tr.pdb");
  SilentFeedback quiet;
  const MembranePlacement all = PlaceMembrane(rhodopsin.structure, rhodopsin.surface, SlabSearch{}, quiet);
  ASSERT_TRUE(all.placed);
  const SlabSegment first = all.segments.front();
  // A predicted model, confident everywhere but on the first segment and the residues
  // before it.
  rhodopsin.structure.confidence.assign(rhodopsin.structure.residues.size(), 90.0f);
  for (int32_t i = 0; i <= first.last; ++i) rhodopsin.structure.confidence[i] = 30.0f;
  const MembranePlacement model = PlaceMembrane(rhodopsin.structure, rhodopsin.surface, SlabSearch{}, quiet);
  ASSERT_TRUE(model.placed);
  EXPECT_EQ(model.lowConfidence, first.last + 1);
  for (const SlabSegment& s : model.segments) EXPECT_GT(s.first, first.last);
  EXPECT_EQ(model.segments.size() + 1, all.segments.size());
  // With the cut-off lowered below every confidence the segment is back.
  SlabSearch everything;
  everything.minConfidence = 0.0f;
  EXPECT_EQ(PlaceMembrane(rhodopsin.structure, rhodopsin.surface, everything, quiet).segments.size(),
            all.segments.size());
}

}  // namespace
}  // namespace tessmol
