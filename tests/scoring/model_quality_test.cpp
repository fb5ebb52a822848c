// The 3D-1D window test and the confident scores against sums worked by hand.
#include "scoring/model_quality.h"

#include <gtest/gtest.h>

namespace tessmol {
namespace {

// Residues with the given solvent scores (their overall scores too), in chains of the given
// lengths.
struct Made {
  Structure structure;
  ScoreResult scores;
};

Made Chains(const std::vector<std::pair<char, std::vector<float>>>& chains) {
  Made m;
  for (const auto& [id, solvent] : chains) {
    m.structure.OpenChain(static_cast<int32_t>(m.structure.residues.size()), id);
    for (size_t k = 0; k < solvent.size(); ++k) {
      m.structure.residues.emplace_back("ALA", static_cast<int32_t>(k + 1), id);
      ResidueScore score;
      score.solventScore = solvent[k];
      score.overallScore = solvent[k];
      m.scores.residues.push_back(score);
    }
    m.structure.CloseLastChain(static_cast<int32_t>(m.structure.residues.size()) - 1);
  }
  return m;
}

TEST(ProfileWindow, WindowsKeepToTheirChainAndShrinkAtItsEnds) {
  // Chain B: five residues averaging 0.18, below 0.2 whatever chain A holds. Chain A: 25
  // residues, the first five -2 and the rest 1. By hand, the window of A's residue i runs
  // over A's residues max(0, i-10) to min(24, i+10):
  //   i = 0: (5 x -2 + 6 x 1) / 11 = -0.364 ... i = 7: (-10 + 13) / 18 = 0.167 (fail)
  //   i = 8: (-10 + 14) / 19 = 0.2105 (pass); i = 14: (-2 + 20) / 21 = 0.857; all later 1.
  std::vector<float> a(25, 1.0f);
  for (int i = 0; i < 5; ++i) a[i] = -2.0f;
  const Made m = Chains({{'B', {0.1f, 0.1f, 0.1f, 0.1f, 0.5f}}, {'A', a}});
  const ProfileVerdict v = JudgeProfile(m.structure, m.scores);
  ASSERT_EQ(v.windowScores.size(), 30u);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(v.windowScores[i], 0.18f, 1e-6f);
  EXPECT_NEAR(v.windowScores[5 + 0], -4.0f / 11.0f, 1e-6f);
  EXPECT_NEAR(v.windowScores[5 + 7], 3.0f / 18.0f, 1e-6f);
  EXPECT_NEAR(v.windowScores[5 + 8], 4.0f / 19.0f, 1e-6f);
  EXPECT_NEAR(v.windowScores[5 + 11], 9.0f / 21.0f, 1e-6f);
  EXPECT_NEAR(v.windowScores[5 + 24], 1.0f, 1e-6f);
  EXPECT_EQ(v.counted, 30);
  EXPECT_EQ(v.passing, 17);  // A's residues 8 to 24
  EXPECT_NEAR(v.passFraction, 17.0f / 30.0f, 1e-6f);
  EXPECT_FALSE(v.passes);
  // Two runs, though their indices meet: a run never crosses from one chain into the next.
  ASSERT_EQ(v.lowRuns.size(), 2u);
  EXPECT_EQ(v.lowRuns[0].first, 0);
  EXPECT_EQ(v.lowRuns[0].last, 4);
  EXPECT_EQ(v.lowRuns[1].first, 5);
  EXPECT_EQ(v.lowRuns[1].last, 12);
}

// A membrane protein's helices are judged as they sit, in the bilayer: within a
// transmembrane segment the overall score is KAVELIN's, and the window averages it, not the
// Profiles-3D score that takes the lipid for a cavity.
TEST(ProfileWindow, TransmembraneResiduesAreJudgedByTheirOverallScore) {
  Made m = Chains({{'A', std::vector<float>(11, -1.0f)}});
  for (int i = 0; i < 11; ++i) m.scores.residues[i].overallScore = i < 8 ? 1.0f : -1.0f;
  const ProfileVerdict v = JudgeProfile(m.structure, m.scores);
  // Every window of a chain of 11 holds the whole chain: (8 - 3) / 11 for every residue.
  for (const float w : v.windowScores) EXPECT_NEAR(w, 5.0f / 11.0f, 1e-6f);
  EXPECT_TRUE(v.passes);
}

TEST(ProfileWindow, EightyPercentPasses) {
  // Residues of chain A at 0.2 exactly (a pass: "at least") and, in a chain of their own so
  // that no window mixes them, residues at 0: 8 of 10 pass, then 7 of 10 do not.
  const Made pass = Chains({{'A', std::vector<float>(8, 0.2f)}, {'B', {0.0f, 0.0f}}});
  const ProfileVerdict p = JudgeProfile(pass.structure, pass.scores);
  EXPECT_EQ(p.passing, 8);
  EXPECT_TRUE(p.passes);
  const Made fail = Chains({{'A', std::vector<float>(7, 0.2f)}, {'B', {0.0f, 0.0f, 0.0f}}});
  EXPECT_FALSE(JudgeProfile(fail.structure, fail.scores).passes);
  // No residues: nothing passes.
  EXPECT_FALSE(JudgeProfile(Structure{}, ScoreResult{}).passes);
}

TEST(ConfidentScores, AveragesOnlyResiduesAtTheThreshold) {
  Made m = Chains({{'A', {1.0f, 2.0f, 3.0f, 4.0f, 5.0f}}});
  EXPECT_FALSE(ScoreConfident(m.structure, m.scores, 70.0f).model);  // no pLDDT: no model
  m.structure.confidence = {90.0f, 80.0f, 70.0f, 69.9f, 40.0f};
  const ConfidentScores c = ScoreConfident(m.structure, m.scores, 70.0f);
  EXPECT_TRUE(c.model);
  EXPECT_EQ(c.confident, 3);
  EXPECT_EQ(c.leftOut, 2);
  EXPECT_EQ(c.lowConfidence, 1);
  EXPECT_NEAR(c.averageScore, 2.0f, 1e-6f);  // (1 + 2 + 3) / 3
  EXPECT_NEAR(c.meanPlddt, 349.9f / 5.0f, 1e-4f);
  // A threshold above every value leaves all out and averages nothing.
  const ConfidentScores none = ScoreConfident(m.structure, m.scores, 95.0f);
  EXPECT_EQ(none.confident, 0);
  EXPECT_EQ(none.averageScore, 0.0f);
}

}  // namespace
}  // namespace tessmol
