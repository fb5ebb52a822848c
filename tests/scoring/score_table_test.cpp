#include "scoring/score_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

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
  ASSERT_TRUE(table.LoadTable(test::ProgramFolder() + "/Tessmol_Files/Default.stb", "Default.stb").ok());
  EXPECT_EQ(table.scores, BuiltInScores());
  EXPECT_FLOAT_EQ(table.gradient, kBuiltInGradient);
  EXPECT_FLOAT_EQ(table.yIntercept, kBuiltInYIntercept);
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
  ASSERT_TRUE(written.SaveTable(path).ok());
  ScoreTable read;
  ASSERT_TRUE(read.LoadTable(path, "round.stb").ok());
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

std::string Row(const std::string& value, int count = 20) {
  std::string line = "SCORES";
  for (int c = 0; c < count; ++c) line += "\t" + value;
  return line + "\t\r\n";
}

std::string Rows(int rows, const std::string& value) {
  std::string text;
  for (int r = 0; r < rows; ++r) text += Row(value);
  return text;
}

TEST_F(ScoreTableFiles, CrlfAndCaseSensitiveKeywords) {
  ScoreTable table;
  const std::string path =
      Write("odd.stb", Row("1") + "scores\t9\t9\t9\r\n SCORES\t9\t9\r\nFILEPATH\t/x\r\n\r\n" + Row("-1.5") +
                           "GRADIENT\r\nYINTERCEPT\t-2.25\r\n" + Rows(16, "0.5") + "GRADIENT\t1.25\r\n");
  ASSERT_TRUE(table.LoadTable(path, "odd.stb").ok());
  EXPECT_EQ(table.Score(0, 19), 1.0f);
  EXPECT_EQ(table.Score(1, 0), -1.5f);
  EXPECT_EQ(table.Score(17, 0), 0.5f);
  EXPECT_EQ(table.gradient, 1.25f);  // a GRADIENT line without a value counts not
  EXPECT_EQ(table.yIntercept, -2.25f);
}

// Files that are no score table are refused with their line, and the table stays whole:
// an empty file, random bytes, a PDB file, a truncated table, a row with a word in it, a
// row of 21 values (one too many shifts the later residue types), a table of 17 rows (the 18th would keep the
// earlier table's scores under the new name), a table cut after its rows or after its
// GRADIENT line (its expected score would be the earlier table's, or half of it).
TEST_F(ScoreTableFiles, AnythingButAWholeTableIsRefused) {
  std::ifstream in(test::ProgramFolder() + "/Tessmol_Files/Default.stb", std::ios::binary);
  const std::string full((std::istreambuf_iterator<char>(in)), {});
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  std::ifstream pdb(test::DataPath("1CRN.pdb"), std::ios::binary);
  const std::string structure((std::istreambuf_iterator<char>(pdb)), {});
  const size_t cut = full.find("SCORES", 500) + 30;
  const size_t gradient = full.find("GRADIENT"), intercept = full.find("YINTERCEPT");
  ASSERT_TRUE(gradient != std::string::npos && intercept != std::string::npos && gradient < intercept);
  const int cutLine =
      static_cast<int>(std::count(full.begin(), full.begin() + static_cast<long>(cut), '\n')) + 1;
  const std::pair<std::string, int> cases[] = {{"", 0},
                                               {junk, 0},
                                               {structure, 0},
                                               {full.substr(0, cut), cutLine},
                                               {full.substr(0, gradient), 18},
                                               {full.substr(0, intercept), 19},
                                               {Row("1") + Row("1", 5), 2},
                                               {Row("1") + Row("1", 21) + Rows(16, "1"), 2},
                                               {Rows(17, "1") + "GRADIENT\t1\n", 18},
                                               {Rows(19, "1"), 19},
                                               {Row("1") + Row("abc"), 2}};
  for (const auto& [text, line] : cases) {
    ScoreTable table;
    table.counts[3] = 7;
    const FileStatus status = table.LoadTable(Write("bad.stb", text), "bad.stb");
    EXPECT_EQ(status.problem, FileProblem::kFormat);
    if (line > 0) {
      EXPECT_EQ(status.line, line);
    }
    EXPECT_EQ(table.scores, BuiltInScores());
    EXPECT_EQ(table.gradient, kBuiltInGradient);
    EXPECT_EQ(table.counts[3], 7);
  }
  ScoreTable table;
  EXPECT_EQ(table.LoadTable((folder_ / "missing.stb").string(), "missing.stb").problem,
            FileProblem::kMissing);
  EXPECT_EQ(table.LoadTable(folder_.string(), "folder").problem, FileProblem::kUnreadable);
  EXPECT_EQ(table.SaveTable((folder_ / "no_such_folder" / "x.stb").string()).problem,
            FileProblem::kWriteFailed);
}

// Values no table holds are refused with their line, and the real table still reads:
// otherwise they read as 0 or make averages and expected scores infinite.
TEST_F(ScoreTableFiles, NumbersOutOfTheirRangeAreRefused) {
  std::ifstream in(test::ProgramFolder() + "/Tessmol_Files/Default.stb", std::ios::binary);
  const std::string full((std::istreambuf_iterator<char>(in)), {});
  const size_t gradientAt = full.find("GRADIENT");
  const int gradientLine =
      static_cast<int>(std::count(full.begin(), full.begin() + static_cast<long>(gradientAt), '\n')) + 1;
  const std::string rows = full.substr(0, gradientAt);
  const std::pair<std::string, int> cases[] = {
      {rows + "GRADIENT\tnan\nYINTERCEPT\t-0.83\n", gradientLine},
      {rows + "GRADIENT\tinf\nYINTERCEPT\t-0.83\n", gradientLine},
      {rows + "GRADIENT\t1.008\nYINTERCEPT\t1e308\n", gradientLine + 1},
      {rows + "GRADIENT\t1.008\nYINTERCEPT\t-1e3\n", gradientLine + 1},
      {Row("1") + Row("1e38"), 2},
      {Row("1") + Row("-inf"), 2}};
  for (const auto& [text, line] : cases) {
    ScoreTable table;
    const FileStatus status = table.LoadTable(Write("bad.stb", text), "bad.stb");
    EXPECT_EQ(status.problem, FileProblem::kFormat) << text.substr(text.size() - 40);
    EXPECT_EQ(status.line, line);
    EXPECT_EQ(table.gradient, kBuiltInGradient);
  }
  ScoreTable table;
  ASSERT_TRUE(table.LoadTable(Write("good.stb", rows + "GRADIENT\t10\nYINTERCEPT\t-100\n"), "good.stb").ok());
  // The steepest curve a table may hold still gives a finite expected score.
  EXPECT_TRUE(std::isfinite(table.ExpectedResidueScore(2000000000)));
}

TEST_F(ScoreTableFiles, CountsOutOfTheirRangeAreRefused) {
  std::string head = "TESSMOLCOUNTS\t1\n";
  for (int r = 0; r < 17; ++r) {
    head += "COUNTS";
    for (int c = 0; c < 20; ++c) head += "\t3";
    head += "\n";
  }
  auto last = [](const std::string& first) {
    std::string t = "COUNTS\t" + first;
    for (int c = 1; c < 20; ++c) t += "\t3";
    return t + "\n";
  };
  const std::string sample = "SAMPLE\t0\t5.5\t100\t/data/x.pdb\n";
  const std::pair<std::string, int> cases[] = {
      {head + last("99999999999999999999"), 19},
      {head + last("nan"), 19},
      {head + last("-1"), 19},
      {head + last("9007199254740993"), 19},
      {head + last("3") + "SAMPLE\t0\tinf\t100\t/x\n", 20},
      {head + last("3") + "SAMPLE\t99999999999999999999\t1\t100\t/x\n", 20},
      {head + last("3") + "SAMPLE\t0\t1\t-5\t/x\n", 20},
      // A version this program does not know; a version 2 file whose END miscounts its
      // samples or has a record after it.
      {"TESSMOLCOUNTS\t3\n" + head.substr(head.find('\n') + 1) + last("3"), 1},
      {"TESSMOLCOUNTS\t2\n" + head.substr(head.find('\n') + 1) + last("3") + sample + "END\t2\n", 21},
      {"TESSMOLCOUNTS\t2\n" + head.substr(head.find('\n') + 1) + last("3") + "END\t0\n" + sample, 21}};
  for (const auto& [text, line] : cases) {
    ScoreTable table;
    const FileStatus status = table.AddCounts(Write("bad.counts", text));
    EXPECT_EQ(status.problem, FileProblem::kFormat) << text.substr(text.size() - 50);
    EXPECT_EQ(status.line, line);
    EXPECT_EQ(table.counts[0], 1);  // the initial 1 of every cell
  }
  // Counts that are fine alone but whose sum would leave the range are refused too.
  ScoreTable table;
  const std::string big =
      Write("big.counts", head + last("9007199254740000") + sample + "SAMPLE\t1\tnone\t7\t/y\n");
  ASSERT_TRUE(table.AddCounts(big).ok());
  EXPECT_EQ(table.counts[17 * 20], 9007199254740001);
  EXPECT_TRUE(std::isnan(table.samples[1].logTotalScore));
  EXPECT_EQ(table.AddCounts(big).line, 19);
}

// Two writers of one table never leave a mixed or partial file behind.
TEST_F(ScoreTableFiles, ConcurrentWritersNeverInterleave) {
  const std::string path = (folder_ / "shared.stb").string();
  auto writer = [&](float value) {
    ScoreTable table;
    table.scores.fill(value);
    for (int i = 0; i < 200; ++i) table.samples.push_back({1.0f, 10, std::string(200, 'x')});
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(table.SaveTable(path).ok());
  };
  std::thread a(writer, 1.0f), b(writer, 2.0f);
  for (int i = 0; i < 100; ++i) {
    ScoreTable read;
    if (!std::filesystem::exists(path)) continue;
    ASSERT_TRUE(read.LoadTable(path, "shared.stb").ok());
    EXPECT_TRUE(read.scores[0] == read.scores[359]);
  }
  a.join();
  b.join();
}

// Each cell is ln(P(type | class) / P(type)) = ln(n T / (R C)), with R the class's and C
// the type's total: with every count at 1, R = 20, C = 18 and T = 360, and no cell says
// anything (0).
TEST(CustomScores, LogOddsOfTheCounts) {
  ScoreTable table;
  table.ComputeScores();
  for (float v : table.scores) EXPECT_NEAR(v, 0.0, 1e-6);
  Protein s;
  s.structure.residues.emplace_back("TRP", 1, 'A');
  s.structure.residues[0].type = kTrp;
  s.structure.residues.emplace_back("HOH", 2, 'A');  // type 21: counted in the length only
  s.ClearResults();
  s.scores.residues[0].profEnv = 0;
  s.scores.residues[0].kavelinEnv = 5;
  s.scores.totalScore = 2.0f;
  ScoreTable custom;
  custom.AddStructure(s, "/w/one.pdb");
  custom.ComputeScores();
  // One more TRP in class 0: n = 2, R = 21, C = 19, T = 361.
  EXPECT_NEAR(custom.Score(0, 0), std::log(2.0 * 361.0 / (21.0 * 19.0)), 1e-6);
  EXPECT_NEAR(custom.Score(1, 0), std::log(361.0 / (20.0 * 19.0)), 1e-6);
  EXPECT_NEAR(custom.Score(0, 1), std::log(361.0 / (21.0 * 18.0)), 1e-6);
  ASSERT_EQ(custom.samples.size(), 1u);
  EXPECT_EQ(custom.samples[0].residueCount, 2);
  EXPECT_NEAR(custom.samples[0].logTotalScore, std::log(2.0), 1e-6);
  // A transmembrane residue counts in the row of its KAVELIN class.
  s.transmembrane.residues[0].transmembrane = true;
  custom.AddStructure(s, "/w/two.pdb");
  EXPECT_EQ(custom.counts[5 * 20 + 0], 2);
}

TEST(CustomScores, StructuresWithoutAPositiveTotalStayOutOfTheFit) {
  test::ScratchFolder scratch;
  ScoreTable table;
  Protein s;
  for (int n : {50, 200}) {
    s.structure.residues.assign(n, Residue("ALA", 1, 'A'));
    s.ClearResults();
    s.scores.totalScore = static_cast<float>(std::exp(-0.5 + 0.9 * std::log(double(n))));
    table.AddStructure(s, "good" + std::to_string(n));
  }
  s.structure.residues.assign(120, Residue("ALA", 1, 'A'));
  s.ClearResults();
  s.scores.totalScore = -3.0f;
  table.AddStructure(s, "negative");
  s.scores.totalScore = 0.0f;
  table.AddStructure(s, "zero");
  ASSERT_TRUE(table.SaveTable("fit.stb").ok());
  EXPECT_NEAR(table.gradient, 0.9f, 1e-4f);
  EXPECT_NEAR(table.yIntercept, -0.5f, 1e-4f);
  std::ifstream in("fit.stb");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("FILEPATH\tnegative\nFILEPATH\tzero\n"), std::string::npos);
  // Only one usable structure: the previous curve stays.
  ScoreTable lone;
  s.scores.totalScore = 10.0f;
  lone.AddStructure(s, "one");
  s.scores.totalScore = -1.0f;
  lone.AddStructure(s, "other");
  lone.FitExpectedScoreCurve();
  EXPECT_EQ(lone.gradient, kBuiltInGradient);
  EXPECT_EQ(lone.yIntercept, kBuiltInYIntercept);
}

}  // namespace
}  // namespace tessmol
