#include "transmembrane/scan.h"

#include <gtest/gtest.h>

#include "model/protein.h"

namespace tessmol {
namespace {

// A chain of residues with given solvent and KAVELIN scores and side-chain areas.
Protein Profile(const std::vector<float>& solvent, const std::vector<float>& kavelin, float sasa = 10.0f) {
  Protein p;
  for (size_t i = 0; i < solvent.size(); ++i) {
    p.structure.residues.push_back(Residue("LEU", int32_t(i), 'A'));
    ResidueScore scores;
    scores.solventScore = solvent[i];
    scores.kavelinScore = kavelin[i];
    p.scores.residues.push_back(scores);
    ResidueSurface surface;
    surface.sideSASA = sasa;
    p.surface.residues.push_back(surface);
  }
  p.structure.chains.push_back({0, int32_t(solvent.size()) - 1, 'A'});
  return p;
}

// Parameters under which a hand-made profile's answer is easy to work out: moving
// average 1, so the averages are the scores themselves.
ScanParams Plain() {
  ScanParams p;
  p.movingAverage = 1;
  p.tmLengthMin = 4;
  p.tmLengthMax = 4;
  p.minAreaDifference = 1.0f;
  p.minDifference = 0.2f;
  p.kavelinMin = 0.3f;
  p.kavelinMax = 0.8f;
  p.profilesMin = -0.6f;
  p.profilesMax = 0.0f;
  p.lengthAreaMin = 0.8f;
  p.lengthAreaMax = 4.5f;
  return p;
}

// The scan on a profile, its flags kept with the profile.
void Scan(Protein& p, const ScanParams& params) {
  p.transmembrane = ScanTransmembrane(p.structure, p.surface, p.scores, params);
}

std::vector<int> Flags(const Protein& p) {
  std::vector<int> f;
  for (const ResidueMembrane& r : p.transmembrane.residues) f.push_back(r.transmembrane ? 1 : 0);
  return f;
}

TEST(Scan, MovingAveragesDivideByTheFullWidth) {
  const Protein p = Profile(std::vector<float>(6, 1.0f), std::vector<float>(6, 2.0f));
  const MovingScores r = ScanMovingAverages(p.scores, 4);
  EXPECT_FLOAT_EQ(r.solvent[0], 1.0f);
  EXPECT_FLOAT_EQ(r.solvent[2], 1.0f);
  EXPECT_FLOAT_EQ(r.solvent[3], 0.75f);  // three scores left, divided by 4
  EXPECT_FLOAT_EQ(r.kavelin[5], 0.5f);
  EXPECT_FLOAT_EQ(ScanMovingAverages(p.scores, 1).kavelin[4], 2.0f);
}

TEST(Scan, AWindowWorkedOutByHand) {
  // Eight residues; the window of length 4 at k = 1 covers residues 1..5 (5 residues,
  // 4 strips). Solvent -0.2 and KAVELIN 0.6 there: area 4 x 0.8 = 3.2 > 1, means over
  // 5 residues divided by 4: solvent -0.25, KAVELIN 0.75, ratio 4 / 3.2 = 1.25.
  std::vector<float> solvent = {1, -0.2f, -0.2f, -0.2f, -0.2f, -0.2f, 1, 1};
  std::vector<float> kavelin = {0, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0, 0};
  Protein p = Profile(solvent, kavelin);
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), (std::vector<int>{0, 1, 1, 1, 1, 1, 0, 0}));
  // The mean KAVELIN score 0.75 must stay below the maximum: 0.74 refuses the window.
  ScanParams tight = Plain();
  tight.kavelinMax = 0.74f;
  Scan(p, tight);
  EXPECT_EQ(Flags(p), std::vector<int>(8, 0));  // and the flags are cleared first
}

TEST(Scan, TheDifferenceTestPassesOnEqualityTheAreaTestDoesNot) {
  // Residue 3 has KAVELIN - solvent exactly 0.5.
  std::vector<float> solvent = {1, -0.25f, -0.25f, -0.25f, -0.25f, -0.25f, 1, 1};
  std::vector<float> kavelin = {0, 0.75f, 0.75f, 0.25f, 0.75f, 0.75f, 0, 0};
  Protein p = Profile(solvent, kavelin);
  ScanParams params = Plain();
  params.kavelinMax = 1.0f;
  params.minDifference = 0.5f;
  Scan(p, params);
  EXPECT_EQ(Flags(p)[3], 1);
  params.minDifference = 0.5001f;
  Scan(p, params);
  EXPECT_EQ(Flags(p)[3], 0);
  // Area of the window: strips (1,1), (1,0.5), (0.5,1), (1,1) -> 1 + 0.75 + 0.75 + 1 = 3.5.
  params.minDifference = 0.0f;
  params.minAreaDifference = 3.5f;
  Scan(p, params);
  EXPECT_EQ(Flags(p)[3], 0);
  params.minAreaDifference = 3.49f;
  Scan(p, params);
  EXPECT_EQ(Flags(p)[3], 1);
}

TEST(Scan, ShortChainsAndReversedLengthsMarkNothing) {
  // A chain needs L + 2 residues: the window may never reach its last residue.
  std::vector<float> solvent(5, -0.2f), kavelin(5, 0.6f);
  Protein p = Profile(solvent, kavelin);
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), std::vector<int>(5, 0));
  solvent.push_back(-0.2f);
  kavelin.push_back(0.6f);
  p = Profile(solvent, kavelin);
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), (std::vector<int>{1, 1, 1, 1, 1, 0}));
  ScanParams reversed = Plain();
  reversed.tmLengthMin = 5;
  reversed.tmLengthMax = 4;
  Scan(p, reversed);
  EXPECT_EQ(Flags(p), std::vector<int>(6, 0));
  ScanParams zero = Plain();
  zero.tmLengthMin = 0;
  zero.tmLengthMax = 0;
  Scan(p, zero);  // ends, marks nothing
  EXPECT_EQ(Flags(p), std::vector<int>(6, 0));
}

TEST(Scan, ASegmentBlocksWindowsStartingInsideIt) {
  // Fourteen good residues, L = 4: k = 0 takes 0..4, windows starting at 1..4 are blocked,
  // k = 5 takes 5..9, and no later window fits before the chain's last residue.
  std::vector<float> solvent(14, -0.2f), kavelin(14, 0.6f);
  Protein p = Profile(solvent, kavelin);
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(Scan, AWindowMayEndOnTheFirstResidueOfAnEarlierSegment) {
  // Chain one (6..13) is scanned first and takes 6..10. In chain two (0..13) residues 0
  // and 1 fail, and the window 2..6 ends on residue 6 of the earlier segment: allowed.
  std::vector<float> solvent(14, -0.2f), kavelin(14, 0.6f);
  solvent[0] = solvent[1] = 1.0f;
  kavelin[0] = kavelin[1] = 0.0f;
  Protein p = Profile(solvent, kavelin);
  p.structure.chains = {{6, 13, 'A'}, {0, 13, 'A'}};
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), (std::vector<int>{0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0}));
}

TEST(Scan, WindowsSpanChainsOnlyInTheirOwnChain) {
  std::vector<float> solvent(12, -0.2f), kavelin(12, 0.6f);
  Protein p = Profile(solvent, kavelin);
  p.structure.chains = {{0, 5, 'A'}, {6, 11, 'B'}};
  Scan(p, Plain());
  EXPECT_EQ(Flags(p), (std::vector<int>{1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0}));
}

}  // namespace
}  // namespace tessmol
