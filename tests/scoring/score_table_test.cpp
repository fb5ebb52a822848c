#include "scoring/score_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace tessmol {
namespace {

class ScoreTableFiles : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("tessmol_stb_" + std::to_string(::getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::filesystem::path folder_;
};

TEST_F(ScoreTableFiles, TheDefaultFileHoldsTheBuiltInTable) {
  ScoreTable table;
  table.scores.fill(99.0f);
  table.gradient = table.yIntercept = 99.0f;
  ASSERT_TRUE(table.LoadTable(test::ProgramFolder() + "/Tessmol_Files/Default.stb", "Default.stb"));
  EXPECT_EQ(table.scores, BuiltInScores());
  EXPECT_FLOAT_EQ(table.gradient, 1.008f);
  EXPECT_FLOAT_EQ(table.yIntercept, -0.83f);
  EXPECT_EQ(table.fileName, "Default.stb");
  // Published values: B1a TRP 1.11, E ARG -0.41, P1b CYS 1.28.
  EXPECT_FLOAT_EQ(table.Score(0, kTrp), 1.11f);
  EXPECT_FLOAT_EQ(table.Score(17, kArg), -0.41f);
  EXPECT_FLOAT_EQ(table.Score(10, kCys), 1.28f);
}

TEST_F(ScoreTableFiles, WriteAndReadBack) {
  ScoreTable written;
  for (int i = 0; i < kScoreCells; ++i) written.scores[i] = std::sin(float(i)) * 3.0f;
  written.scores[7] = 1.5e-05f;
  written.samples = {{std::log(40.0f), 100, "/data/a.pdb"},
                     {std::log(70.0f), 200, "/data/b.pdb"},
                     {std::log(150.0f), 400, "/data/c.pdb"}};
  const std::string path = (folder_ / "round.stb").string();
  ASSERT_TRUE(written.SaveTable(path));
  ScoreTable read;
  ASSERT_TRUE(read.LoadTable(path, "round.stb"));
  for (int i = 0; i < kScoreCells; ++i)
    EXPECT_NEAR(read.scores[i], written.scores[i], 5e-6f * std::abs(written.scores[i]) + 1e-9f);
  EXPECT_NEAR(read.gradient, written.gradient, 1e-5f);
  EXPECT_NEAR(read.yIntercept, written.yIntercept, 1e-5f);
  EXPECT_TRUE(read.samples.empty());  // FILEPATH lines are written, never read
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("FILEPATH\t/data/b.pdb\n"), std::string::npos);
  EXPECT_NE(text.find("1.5e-05"), std::string::npos);
  EXPECT_EQ(text.substr(0, 7), "SCORES\t");
}

TEST_F(ScoreTableFiles, RegressionOfLogTotalOnLogLength) {
  // Totals that follow ln S = -0.5 + 0.9 ln L exactly give back that line.
  ScoreTable table;
  for (int n : {50, 120, 300, 800}) {
    table.samples.push_back({float(-0.5 + 0.9 * std::log(double(n))), n, "x"});
  }
  table.FitExpectedScoreCurve();
  EXPECT_NEAR(table.gradient, 0.9f, 1e-5f);
  EXPECT_NEAR(table.yIntercept, -0.5f, 1e-5f);
  // ExpectedResidueScore: e^(ln S) / n.
  EXPECT_NEAR(table.ExpectedResidueScore(300), std::exp(-0.5 + 0.9 * std::log(300.0)) / 300.0, 1e-6);
  // With one sample, or all of one length, there is no line to fit: the curve stays.
  ScoreTable single;
  single.samples.push_back({1.0f, 100, "x"});
  single.samples.push_back({2.0f, 100, "y"});
  single.FitExpectedScoreCurve();
  EXPECT_FLOAT_EQ(single.gradient, kBuiltInGradient);
  EXPECT_FLOAT_EQ(single.yIntercept, kBuiltInYIntercept);
}

TEST_F(ScoreTableFiles, PublishedExpectedScoreCurve) {
  // Profiles-3D: ln S_ideal = -0.83 + 1.008 ln L; for L = 100, S = e^3.8121 = 45.24.
  ScoreTable table;
  EXPECT_NEAR(table.ExpectedResidueScore(100), std::exp(-0.83 + 1.008 * std::log(100.0)) / 100, 1e-6);
  EXPECT_NEAR(table.ExpectedResidueScore(100), 0.4524, 1e-4);
  EXPECT_EQ(table.ExpectedResidueScore(0), 0.0f);
}

TEST_F(ScoreTableFiles, ShortLinesCrlfAndCaseSensitiveKeywords) {
  ScoreTable table;
  const ScoreValues before = table.scores;
  const std::string path = Write("odd.stb",
                                 "SCORES\t1\t2\t3\t4\t5\r\n"
                                 "scores\t9\t9\t9\r\n"
                                 " SCORES\t9\t9\r\n"
                                 "FILEPATH\t/x\r\n"
                                 "\r\n"
                                 "SCORES\t-1.5\tabc\t\r\n"
                                 "GRADIENT\r\n"
                                 "YINTERCEPT\t-2.25\r\n");
  ASSERT_TRUE(table.LoadTable(path, "odd.stb"));
  for (int c = 0; c < 5; ++c) EXPECT_EQ(table.Score(0, c), float(c + 1));
  for (int c = 5; c < 20; ++c) EXPECT_EQ(table.Score(0, c), before[c]);
  EXPECT_EQ(table.Score(1, 0), -1.5f);
  EXPECT_EQ(table.Score(1, 1), 0.0f);        // no number reads as 0
  EXPECT_EQ(table.Score(1, 2), before[22]);  // the empty field after the last TAB is no value
  for (int r = 2; r < 18; ++r) EXPECT_EQ(table.Score(r, 0), before[r * 20]);
  EXPECT_EQ(table.gradient, kBuiltInGradient);  // a GRADIENT line without a value counts not
  EXPECT_EQ(table.yIntercept, -2.25f);
}

TEST_F(ScoreTableFiles, OverlongTablesAreCutToEighteenRowsOfTwenty) {
  std::string text;
  for (int r = 0; r < 25; ++r) {
    text += "SCORES";
    for (int c = 0; c < 30; ++c) text += "\t" + std::to_string(r);
    text += "\t\n";
  }
  ScoreTable table;
  ASSERT_TRUE(table.LoadTable(Write("long.stb", text), "long.stb"));
  EXPECT_EQ(table.Score(17, 19), 17.0f);
}

TEST_F(ScoreTableFiles, FailuresLeaveEverythingButTheName) {
  ScoreTable table;
  table.counts[3] = 7;
  table.samples.push_back({1.0f, 10, "keep"});
  const ScoreValues before = table.scores;
  EXPECT_FALSE(table.LoadTable((folder_ / "missing.stb").string(), "missing.stb"));
  EXPECT_EQ(table.fileName, "missing.stb");
  EXPECT_EQ(table.scores, before);
  EXPECT_FALSE(table.LoadTable(folder_.string(), "folder"));  // a folder is no table
  EXPECT_EQ(table.scores, before);
  EXPECT_EQ(table.fileName, "folder");
  ASSERT_TRUE(table.LoadTable(Write("g.stb", "GRADIENT\t0.5\n"), "g.stb"));
  EXPECT_EQ(table.gradient, 0.5f);
  EXPECT_EQ(table.yIntercept, kBuiltInYIntercept);
  EXPECT_EQ(table.scores, before);
  EXPECT_EQ(table.counts[3], 7);
  EXPECT_EQ(table.samples.size(), 1u);
  EXPECT_FALSE(table.SaveTable((folder_ / "no_such_folder" / "x.stb").string()));
}

TEST_F(ScoreTableFiles, BinaryGarbageReadsWithoutHarm) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  ScoreTable table;
  EXPECT_TRUE(table.LoadTable(Write("junk.stb", junk), "junk.stb"));
}

TEST(CustomScores, LogOddsOfTheCounts) {
  ScoreTable table;
  table.ComputeScores();
  for (float v : table.scores) EXPECT_NEAR(v, std::log(360.0 / 324.0), 1e-6);
  Structure s;
  s.residues.emplace_back("TRP", 1, 'A');
  s.residues[0].type = kTrp;
  s.residues[0].profEnv = 0;
  s.residues[0].kavelinEnv = 5;
  s.residues.emplace_back("HOH", 2, 'A');  // type 21: counted in the length only
  s.totalScore = 2.0f;
  ScoreTable custom;
  custom.AddStructure(s, "/w/one.pdb");
  custom.ComputeScores();
  EXPECT_NEAR(custom.Score(0, 0), std::log(2.0), 1e-6);
  EXPECT_NEAR(custom.Score(1, 0), 0.0, 1e-6);
  EXPECT_NEAR(custom.Score(0, 1), std::log(361.0 / 324.0), 1e-6);
  ASSERT_EQ(custom.samples.size(), 1u);
  EXPECT_EQ(custom.samples[0].residueCount, 2);
  EXPECT_NEAR(custom.samples[0].logTotalScore, std::log(2.0), 1e-6);
  // A transmembrane residue counts in the row of its KAVELIN class.
  s.residues[0].transmembrane = true;
  custom.AddStructure(s, "/w/two.pdb");
  EXPECT_EQ(custom.counts[5 * 20 + 0], 2);
}

}  // namespace
}  // namespace tessmol

namespace tessmol {
namespace {

TEST(CustomScores, StructuresWithoutAPositiveTotalStayOutOfTheFit) {
  test::ScratchFolder scratch;
  ScoreTable table;
  Structure s;
  for (int n : {50, 200}) {
    s.residues.assign(n, Residue("ALA", 1, 'A'));
    s.totalScore = static_cast<float>(std::exp(-0.5 + 0.9 * std::log(double(n))));
    table.AddStructure(s, "good" + std::to_string(n));
  }
  s.residues.assign(120, Residue("ALA", 1, 'A'));
  s.totalScore = -3.0f;
  table.AddStructure(s, "negative");
  s.totalScore = 0.0f;
  table.AddStructure(s, "zero");
  ASSERT_TRUE(table.SaveTable("fit.stb"));
  EXPECT_NEAR(table.gradient, 0.9f, 1e-4f);
  EXPECT_NEAR(table.yIntercept, -0.5f, 1e-4f);
  std::ifstream in("fit.stb");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("FILEPATH\tnegative\nFILEPATH\tzero\n"), std::string::npos);
  // Only one usable structure: the previous curve stays.
  ScoreTable lone;
  s.totalScore = 10.0f;
  lone.AddStructure(s, "one");
  s.totalScore = -1.0f;
  lone.AddStructure(s, "other");
  lone.FitExpectedScoreCurve();
  EXPECT_EQ(lone.gradient, kBuiltInGradient);
  EXPECT_EQ(lone.yIntercept, kBuiltInYIntercept);
}

}  // namespace
}  // namespace tessmol
