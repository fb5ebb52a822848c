#include "document/tessmol_doc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>

#include "document/result_file.h"
#include "test_support.h"

namespace tessmol {
namespace {

namespace fs = std::filesystem;

// A program folder of its own for each test, with the data files it asks for.
fs::path MakeProgramFolder(const test::ScratchFolder& scratch, bool defaultTable = true, bool radii = true) {
  const fs::path folder = scratch.path() / "program";
  fs::create_directories(folder / "Tessmol_Files");
  fs::copy(test::ProgramFolder() + "/Sphere_Points", folder / "Sphere_Points", fs::copy_options::recursive);
  if (defaultTable) fs::copy(test::ProgramFolder() + "/Tessmol_Files/Default.stb", folder / "Tessmol_Files");
  if (radii) fs::copy(test::ProgramFolder() + "/Tessmol_Files/HETAtom_Radii.txt", folder / "Tessmol_Files");
  return folder;
}

// A table with every score one higher than the built-in one: every residue's score rises
// by exactly 1 when rescored with it.
void WriteShiftedTable(const std::string& path) {
  ScoreTable shifted;
  for (float& v : shifted.scores) v += 1.0f;
  shifted.gradient = 1.1f;
  ASSERT_TRUE(shifted.SaveTable(path).ok());
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A document over a program folder of its own, in a scratch folder that is the current
// folder while the test runs.
class DocumentFixture : public testing::Test {
 protected:
  test::ScratchFolder scratch;
  ProcessState state{MakeProgramFolder(scratch).string()};
  RecordingFeedback feedback;
  CTessmolDoc doc{state, feedback};
};
using DocumentPipelineDoc = DocumentFixture;
using MultipleAnalysisDoc = DocumentFixture;
using RecalculationDoc = DocumentFixture;
using DocumentStartUpDoc = DocumentFixture;

TEST(DocumentStartUp, DefaultTableRadiiAndLog) {
  test::ScratchFolder scratch;
  ProcessState state(MakeProgramFolder(scratch).string());
  state.scoringTable.fill(7.0f);
  RecordingFeedback feedback;
  CTessmolDoc doc(state, feedback);
  EXPECT_TRUE(feedback.messages.empty());
  EXPECT_EQ(doc.scoreTable().fileName, "Default.stb");
  EXPECT_EQ(state.scoringTable, BuiltInScores());
  EXPECT_FALSE(state.hetAtomRadii.empty());
  EXPECT_EQ(doc.workFolder(), state.programFolder() + "/temp/");
  EXPECT_NE(state.logFile(), nullptr);
  EXPECT_TRUE(fs::exists(doc.workFolder() + "Logfile.log"));
  EXPECT_EQ(doc.settings().sasaResolution, 2);
  EXPECT_FALSE(doc.structureLoaded());
}

TEST(DocumentStartUp, MissingFilesAndAnUnwritableLog) {
  test::ScratchFolder scratch;
  const fs::path folder = MakeProgramFolder(scratch, false, false);
  std::ofstream(folder / "temp") << "a file where the log folder should be";
  // Nor can the user's state folder take it.
  const std::string state_home = (folder / "temp" / "state").string();
  const std::string before = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  ::setenv("XDG_STATE_HOME", state_home.c_str(), 1);
  ProcessState state(folder.string());
  RecordingFeedback feedback;
  CTessmolDoc doc(state, feedback);
  ::setenv("XDG_STATE_HOME", before.c_str(), 1);
  // The built-in table is in force; the missing table, the radius file and the log are reported.
  EXPECT_EQ(state.scoringTable, BuiltInScores());
  EXPECT_FLOAT_EQ(doc.scoreTable().gradient, kBuiltInGradient);
  ASSERT_EQ(feedback.messages.size(), 3u);
  EXPECT_EQ(feedback.messages[0], "Warning: cannot read " + folder.string() +
                                      "/Tessmol_Files/Default.stb: no such file; the built-in Profiles-3D "
                                      "table is used instead");
  EXPECT_EQ(feedback.messages[1],
            "Error: Could not find file " + folder.string() +
                "/Tessmol_Files/HETAtom_Radii.txt  Heteroatoms will not be processed correctly");
  EXPECT_EQ(feedback.messages[2],
            "Error: Could not find LogFile.Log: " + state_home + "/tessmol/Logfile.log: Not a directory");
  EXPECT_EQ(state.logFile(), nullptr);
  // The work goes on without a log.
  EXPECT_EQ(doc.OpenStructure(test::DataPath("1UBQ.pdb")), CTessmolDoc::OpenResult::kOpened);
  EXPECT_EQ(doc.entries().size(), 1u);
}

TEST(DocumentStartUp, TheLogGoesToTheUsersStateFolderWhenTheProgramsIsClosed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a program folder another user cannot write";
  test::ScratchFolder scratch;
  const fs::path folder = MakeProgramFolder(scratch);
  fs::create_directories(folder / "temp");
  const fs::path home = scratch.path() / "home";
  fs::create_directories(home);
  fs::permissions(home, fs::perms::all);
  fs::permissions(scratch.path(), fs::perms::others_exec, fs::perm_options::add);
  const std::string before = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
  // As another user, who may read the program's folder but not write it.
  const int failed = test::WithoutRoot([&] {
    fs::current_path(home);  // where the result file may go
    ProcessState state(folder.string());
    RecordingFeedback feedback;
    {
      CTessmolDoc doc(state, feedback);
      if (doc.OpenStructure(test::DataPath("1CRN.pdb")) != CTessmolDoc::OpenResult::kOpened) return 1;
    }
    if (!feedback.messages.empty()) return 2;
    return ReadAll((home / "state/tessmol/Logfile.log").string()).rfind("Creating structure 1CRN.pdb", 0) == 0
               ? 0
               : 3;
  });
  ::setenv("XDG_STATE_HOME", before.c_str(), 1);
  EXPECT_EQ(failed, 0);
  EXPECT_FALSE(fs::exists(folder / "temp/Logfile.log"));
  EXPECT_EQ(fs::status(home / "state/tessmol").permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(ProcessStateLog, ARunningProcesssLogIsAppendedToNeverEmptied) {
  test::ScratchFolder scratch;
  WriteText("run.log", "a finished run's lines\n");
  // Each state opens the file on its own, as two processes do, and holds its lock.
  ProcessState first(".");
  ASSERT_TRUE(first.OpenLog("run.log").ok());
  *first.logFile() << "first run, line 1\n" << std::flush;
  ProcessState second(".");
  ASSERT_TRUE(second.OpenLog("run.log").ok());
  *second.logFile() << "second run\n" << std::flush;
  *first.logFile() << "first run, line 2\n";
  first.CloseLog();
  second.CloseLog();
  EXPECT_TRUE(first.logStatus().ok());
  EXPECT_EQ(ReadAll("run.log"), "first run, line 1\nsecond run\nfirst run, line 2\n");
  // With nobody logging into it, a new run starts it afresh.
  ProcessState third(".");
  ASSERT_TRUE(third.OpenLog("run.log").ok());
  third.CloseLog();
  EXPECT_EQ(ReadAll("run.log"), "");
}

TEST(ProcessStateLog, ASymlinkIsRefusedAndALostLineIsReported) {
  test::ScratchFolder scratch;
  WriteText("outside", "not a log");
  fs::create_symlink(fs::absolute("outside"), "planted.log");
  ProcessState state(".");
  const FileStatus opened = state.OpenLog("planted.log");
  EXPECT_EQ(opened.Describe(), "Error: cannot write planted.log: Too many levels of symbolic links");
  EXPECT_EQ(state.logFile(), nullptr);
  EXPECT_EQ(ReadAll("outside"), "not a log");
  ASSERT_TRUE(state.OpenLog("/dev/full").ok());
  *state.logFile() << "Creating structure 1CRN.pdb...\n";
  state.CloseLog();
  EXPECT_EQ(state.logStatus().Describe(), "Error: cannot write /dev/full: No space left on device");
}

TEST(DocumentStartUp, TheLogStaysOpenUntilTheLastDocumentCloses) {
  test::ScratchFolder scratch;
  ProcessState state(MakeProgramFolder(scratch).string());
  SilentFeedback quiet;
  auto first = std::make_unique<CTessmolDoc>(state, quiet);
  CTessmolDoc second(state, quiet);
  ASSERT_EQ(first->OpenStructure(test::DataPath("1CRN.pdb")), CTessmolDoc::OpenResult::kOpened);
  first.reset();
  ASSERT_EQ(second.OpenStructure(test::DataPath("1UBQ.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_NE(state.logFile(), nullptr);
  state.logFile()->flush();
  const std::string log = ReadAll(second.workFolder() + "Logfile.log");
  EXPECT_NE(log.find("Creating structure 1CRN.pdb...\n"), std::string::npos);
  EXPECT_NE(log.find("Creating structure 1UBQ.pdb...\n"), std::string::npos);
}

TEST_F(DocumentPipelineDoc, OpeningAStructureAddsARowAndAResultFile) {
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1CRN.pdb")), CTessmolDoc::OpenResult::kOpened);
  EXPECT_EQ(doc.title(), "1CRN.pdb");
  EXPECT_EQ(doc.logText(), "Opening " + test::DataPath("1CRN.pdb") + "... \nProcessing Structure...\n");
  EXPECT_TRUE(doc.structureLoaded());
  EXPECT_EQ(doc.currentEntry(), 0);
  ASSERT_EQ(doc.entries().size(), 1u);
  const AnalysisEntry& e = doc.entries()[0];
  EXPECT_EQ(e.resultName, "1CRN.tsm");
  EXPECT_EQ(e.resultPath, "./1CRN.tsm");
  EXPECT_EQ(e.scoreTableName, "Default.stb");
  EXPECT_EQ(e.averageScore, doc.protein().scores.averageScore);
  EXPECT_FLOAT_EQ(e.expectedScore, doc.scoreTable().ExpectedResidueScore(46));
  EXPECT_EQ(doc.protein().structure.residues.size(), 46u);
  EXPECT_EQ(feedback.documentChanges, 1);
  Protein stored;
  ASSERT_TRUE(ReadResult(stored, "1CRN.tsm").ok());
  EXPECT_EQ(stored.structure.residues.size(), 46u);
  // A file without atoms: the protein stays, the title and the flag change.
  EXPECT_EQ(doc.OpenStructure(test::DataPath("biopython_header.pdb")), CTessmolDoc::OpenResult::kNoAtoms);
  EXPECT_EQ(doc.title(), "biopython_header.pdb");
  EXPECT_EQ(doc.protein().fileName, "1CRN.pdb");
  EXPECT_EQ(doc.entries().size(), 1u);
  FileStatus status;
  EXPECT_EQ(doc.OpenStructure(test::DataPath("missing.pdb"), &status), CTessmolDoc::OpenResult::kFailed);
  EXPECT_EQ(status.problem, FileProblem::kMissing);
  // Ignore HeteroAtoms applies to the next structure opened.
  AnalysisSettings settings = doc.settings();
  settings.ignoreHeteroAtoms = true;
  ASSERT_FALSE(doc.SetSettings(settings));
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1UBQ.pdb")), CTessmolDoc::OpenResult::kOpened);
  EXPECT_TRUE(doc.protein().ignoreHeteroAtoms);
  EXPECT_EQ(doc.currentEntry(), 1);
}

TEST(DocumentPipeline, ResultNamesAlwaysEndInTsmAndNeverRepeatInARun) {
  EXPECT_EQ(ResultNameFor("1abc.pdb"), "1abc.tsm");
  EXPECT_EQ(ResultNameFor("1abc.pdb1"), "1abc.tsm");
  EXPECT_EQ(ResultNameFor("1abc.pdb.gz"), "1abc.tsm");
  EXPECT_EQ(ResultNameFor("UP.PDB.GZ"), "UP.tsm");  // compression told by content, named in either case
  EXPECT_EQ(ResultNameFor("br.fa"), "br.tsm");
  EXPECT_EQ(ResultNameFor("ab"), "ab.tsm");
  EXPECT_EQ(ResultNameFor(".hidden"), ".hidden.tsm");
  test::ScratchFolder scratch;
  ProcessState state(MakeProgramFolder(scratch).string());
  RecordingFeedback feedback;
  CTessmolDoc doc(state, feedback);
  fs::create_directories("d1");
  fs::create_directories("d2");
  fs::copy_file(test::DataPath("1CRN.pdb"), "d1/prot.pdb");
  fs::copy_file(test::DataPath("1UBQ.pdb"), "d2/prot.pdb");
  fs::copy_file(test::DataPath("5PTI.pdb"), "d2/prot.ent");
  MultipleAnalysisRequest request;
  request.filePaths = {"d1/prot.pdb", "d2/prot.pdb", "d2/prot.ent"};
  ASSERT_TRUE(doc.AnalyseMultiple(request).ok());
  std::set<std::string> names;
  for (const AnalysisEntry& e : doc.entries()) {
    names.insert(e.resultName);
    Protein stored;
    ASSERT_TRUE(ReadResult(stored, e.resultPath).ok());
    EXPECT_NEAR(stored.scores.averageScore, e.averageScore, 1e-6)
        << e.resultName;  // each row has its own file
  }
  EXPECT_EQ(names, (std::set<std::string>{"prot.tsm", "prot-2.tsm", "prot-3.tsm"}));
  // A new run starts the suffixes again, and a suffix a file's own name took is skipped.
  fs::create_directories("d3");
  fs::copy_file(test::DataPath("1CRN.pdb"), "d3/prot-2.pdb");
  request.filePaths = {"d1/prot.pdb", "d3/prot-2.pdb", "d2/prot.pdb", "d2/prot.ent"};
  ASSERT_TRUE(doc.AnalyseMultiple(request).ok());
  std::multiset<std::string> all;  // the list is sorted by score: both runs' rows mixed
  for (const AnalysisEntry& e : doc.entries()) all.insert(e.resultName);
  EXPECT_EQ(all, (std::multiset<std::string>{"prot.tsm", "prot.tsm", "prot-2.tsm", "prot-2.tsm", "prot-3.tsm",
                                             "prot-3.tsm", "prot-4.tsm"}));
}

TEST_F(DocumentPipelineDoc, FailedWritesAndResultFilesOpenedAsStructures) {
  fs::create_directory("1CRN.tsm");
  FileStatus status;
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1CRN.pdb"), &status), CTessmolDoc::OpenResult::kOpened);
  EXPECT_EQ(status.problem, FileProblem::kWriteFailed);
  EXPECT_EQ(feedback.messages,
            std::vector<std::string>{std::string(kResultFileFailed) +
                                     ": ./1CRN.tsm: it is a folder, not a file; nothing is written over it"});
  EXPECT_EQ(doc.entries().size(), 1u);  // the row stays
  // A result file is never read as a structure, and so never overwritten with one.
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1UBQ.pdb")), CTessmolDoc::OpenResult::kOpened);
  const std::string stored = ReadAll("1UBQ.tsm");
  EXPECT_EQ(doc.OpenStructure("1UBQ.tsm"), CTessmolDoc::OpenResult::kResultFile);
  EXPECT_EQ(ReadAll("1UBQ.tsm"), stored);
  EXPECT_EQ(doc.entries().size(), 2u);
  // A custom table that cannot be written is reported, and no run claims success.
  MultipleAnalysisRequest request{{test::DataPath("1CRN.pdb")}, true, "no/such/folder/custom.stb"};
  const MultipleAnalysisReport report = doc.AnalyseMultiple(request);
  EXPECT_EQ(report.customTable.problem, FileProblem::kWriteFailed);
  EXPECT_FALSE(report.ok());
}

TEST(DocumentPipeline, NoSpherePointsNoAnalysis) {
  test::ScratchFolder scratch;
  const fs::path folder = MakeProgramFolder(scratch);
  fs::remove_all(folder / "Sphere_Points");
  ProcessState state(folder.string());
  RecordingFeedback feedback;
  CTessmolDoc doc(state, feedback);
  EXPECT_EQ(doc.OpenStructure(test::DataPath("1CRN.pdb")), CTessmolDoc::OpenResult::kFailed);
  EXPECT_TRUE(doc.entries().empty());
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_NE(feedback.messages[0].find("Sphere_Points/maxvol.3.252.txt"), std::string::npos);
}

bool NonIncreasing(const std::vector<AnalysisEntry>& entries) {
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i - 1].averageScore < entries[i].averageScore) return false;
  }
  return true;
}

TEST_F(MultipleAnalysisDoc, RowsOfAllRunsSortedAndUnreadableFilesSkipped) {
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1U19.pdb")), CTessmolDoc::OpenResult::kOpened);
  MultipleAnalysisRequest request;
  request.filePaths = {test::DataPath("1CRN.pdb"), test::DataPath("biopython_header.pdb"),
                       test::DataPath("missing.pdb"), test::DataPath("1AKI.pdb")};
  const MultipleAnalysisReport report = doc.AnalyseMultiple(request);
  ASSERT_EQ(report.skipped.size(), 2u);
  EXPECT_EQ(report.skipped[0].path, request.filePaths[1]);
  EXPECT_EQ(report.skipped[1].problem, FileProblem::kMissing);
  EXPECT_EQ(doc.entries().size(), 3u);
  EXPECT_TRUE(NonIncreasing(doc.entries()));
  request.filePaths = {test::DataPath("1UBQ.pdb"), test::DataPath("4HHB.pdb")};
  doc.AnalyseMultiple(request);
  EXPECT_EQ(doc.entries().size(), 5u);
  EXPECT_TRUE(NonIncreasing(doc.entries()));
  EXPECT_EQ(doc.protein().fileName, "1U19.pdb");  // the shown protein is not touched
  EXPECT_EQ(doc.currentEntry(), 0);
  for (const AnalysisEntry& e : doc.entries()) EXPECT_TRUE(fs::exists(e.resultPath)) << e.resultPath;
  EXPECT_TRUE(feedback.messages.empty());
}

TEST(MultipleAnalysis, ParallelJobsGiveTheSameRowsFilesAndTable) {
  const std::vector<std::string> files = {test::DataPath("1CRN.pdb"), test::DataPath("1UBQ.pdb"),
                                          test::DataPath("1AKI.pdb"), test::DataPath("5PTI.pdb"),
                                          test::DataPath("2JO4.pdb")};
  auto run = [&](int jobs, std::vector<std::string>& fileTexts) {
    test::ScratchFolder scratch;
    ProcessState state(MakeProgramFolder(scratch).string());
    SilentFeedback quiet;
    CTessmolDoc doc(state, quiet);
    MultipleAnalysisRequest request{files, true, "custom.stb"};
    doc.AnalyseMultiple(request, jobs);
    fileTexts.clear();
    for (const AnalysisEntry& e : doc.entries()) fileTexts.push_back(ReadAll(e.resultPath));
    std::string table = ReadAll("custom.stb");
    // FILEPATH lines name the work folder, which differs between the two runs.
    table = table.substr(0, table.find("FILEPATH"));
    fileTexts.push_back(table);
    return doc.entries();
  };
  std::vector<std::string> one, two;
  const auto serial = run(1, one);
  const auto parallel = run(3, two);
  ASSERT_EQ(serial.size(), 5u);
  ASSERT_EQ(parallel.size(), serial.size());
  for (size_t i = 0; i < serial.size(); ++i) {
    EXPECT_EQ(serial[i].resultName, parallel[i].resultName);
    EXPECT_EQ(serial[i].averageScore, parallel[i].averageScore);
    EXPECT_EQ(serial[i].expectedScore, parallel[i].expectedScore);
  }
  EXPECT_EQ(one, two);
}

TEST(MultipleAnalysis, CustomTableIsTheLogOddsOfTheResiduesClasses) {
  test::ScratchFolder scratch;
  ProcessState state(MakeProgramFolder(scratch).string());
  SilentFeedback quiet;
  CTessmolDoc doc(state, quiet);
  const std::vector<std::string> names = {"1CRN.pdb", "1UBQ.pdb", "1AKI.pdb", "4HHB.pdb", "1U19.pdb"};
  MultipleAnalysisRequest request;
  for (size_t i = 0; i < 3; ++i) request.filePaths.push_back(test::DataPath(names[i]));
  request.createCustomTable = true;
  request.customTablePath = "first.stb";
  doc.AnalyseMultiple(request);
  request.filePaths = {test::DataPath(names[3]), test::DataPath(names[4])};
  request.customTablePath = "second.stb";
  doc.AnalyseMultiple(request);

  // Counts by hand from the stored residues of all five structures, each cell from 1.
  double counts[18][20];
  for (auto& row : counts) std::fill(std::begin(row), std::end(row), 1.0);
  std::vector<std::pair<double, double>> samples;  // (ln total score, ln residues)
  for (const AnalysisEntry& e : doc.entries()) {
    Protein stored;
    ASSERT_TRUE(ReadResult(stored, e.resultPath).ok());
    double total = 0;
    for (size_t k = 0; k < stored.structure.residues.size(); ++k) {
      const Residue& r = stored.structure.residues[k];
      const ResidueScore& score = stored.scores.residues[k];
      total += score.overallScore;
      if (r.type == kUnknownResidueType) continue;
      counts[stored.transmembrane.residues[k].transmembrane ? score.kavelinEnv : score.profEnv][r.type] += 1;
    }
    samples.emplace_back(std::log(total), std::log(double(stored.structure.residues.size())));
  }
  double row[18] = {}, column[20] = {}, all = 0;
  for (int r = 0; r < 18; ++r) {
    for (int c = 0; c < 20; ++c) {
      row[r] += counts[r][c];
      column[c] += counts[r][c];
      all += counts[r][c];
    }
  }
  ScoreTable derived;
  ASSERT_TRUE(derived.LoadTable("second.stb", "second.stb").ok());
  for (int r = 0; r < 18; ++r) {
    for (int c = 0; c < 20; ++c) {
      EXPECT_NEAR(derived.Score(r, c), std::log(counts[r][c] * all / (row[r] * column[c])), 2e-5)
          << r << " " << c;
    }
  }
  // Derived from five structures, the table leans the way the published one does (Luthy,
  // Bowie and Eisenberg 1992, derived alike from many): where both have a cell, their
  // signs agree far more often than by chance (the doubled column total gave 61 of 91).
  // Only cells seen five times or more count.
  const ScoreValues& published = BuiltInScores();
  int agree = 0, cells = 0;
  for (int r = 0; r < 18; ++r) {
    for (int c = 0; c < 20; ++c) {
      const float known = published[r * 20 + c];
      if (counts[r][c] < 6 || known == 0.0f) continue;
      ++cells;
      agree += (derived.Score(r, c) > 0) == (known > 0);
    }
  }
  ASSERT_GT(cells, 40);
  EXPECT_GT(agree, 0.7 * cells) << agree << " of " << cells;  // 71 of 91
  // The expected-score line fitted by least squares through the five structures.
  double mx = 0, my = 0;
  for (auto [x, y] : samples) {
    mx += x / 5;
    my += y / 5;
  }
  double sxy = 0, syy = 0;
  for (auto [x, y] : samples) {
    sxy += (x - mx) * (y - my);
    syy += (y - my) * (y - my);
  }
  EXPECT_NEAR(derived.gradient, sxy / syy, 1e-3);
  EXPECT_NEAR(derived.yIntercept, mx - sxy / syy * my, 1e-2);
  // Two runs accumulate: the second table names all five structures.
  const std::string text = ReadAll("second.stb");
  size_t filepaths = 0;
  for (size_t at = text.find("FILEPATH"); at != std::string::npos; at = text.find("FILEPATH", at + 1))
    ++filepaths;
  EXPECT_EQ(filepaths, 5u);
  EXPECT_NE(text.find("FILEPATH\t" + test::DataPath("1CRN.pdb") + "\n"), std::string::npos);  // as given
  // Scoring goes on with the loaded table until the new one is loaded.
  EXPECT_EQ(state.scoringTable, BuiltInScores());
  EXPECT_EQ(doc.scoreTable().fileName, "Default.stb");
}

TEST_F(RecalculationDoc, AnotherTableChangesRowsAndFiles) {
  MultipleAnalysisRequest request;
  request.filePaths = {test::DataPath("1CRN.pdb"), test::DataPath("1UBQ.pdb"), test::DataPath("1AKI.pdb")};
  doc.AnalyseMultiple(request);
  const std::vector<AnalysisEntry> before = doc.entries();
  ASSERT_TRUE(doc.LoadEntry(1, before[1].resultName));
  const float shownBefore = doc.protein().scores.averageScore;

  WriteShiftedTable("shifted.stb");
  ASSERT_TRUE(doc.LoadScoreTable("shifted.stb").ok());
  // Rows are not rescored by loading a table.
  EXPECT_EQ(doc.entries()[0].scoreTableName, "Default.stb");
  ASSERT_TRUE(doc.RecalculateProfiles({0, 2}).status.ok());
  for (int i : {0, 2}) {
    EXPECT_NEAR(doc.entries()[i].averageScore, before[i].averageScore + 1.0f, 1e-4);
    EXPECT_EQ(doc.entries()[i].scoreTableName, "shifted.stb");
    EXPECT_NE(doc.entries()[i].expectedScore, before[i].expectedScore);
    Protein stored;
    ASSERT_TRUE(ReadResult(stored, doc.entries()[i].resultPath).ok());
    EXPECT_NEAR(stored.scores.averageScore, doc.entries()[i].averageScore, 1e-5);
    // The atoms and the box are kept.
    EXPECT_FALSE(stored.structure.atoms.empty());
    EXPECT_NE(stored.structure.xyzExtremities[0].f2, 0.0f);
  }
  EXPECT_EQ(doc.entries()[1].averageScore, before[1].averageScore);  // not ticked
  // The shown protein keeps its scores until its row is loaded again.
  EXPECT_EQ(doc.protein().scores.averageScore, shownBefore);
  ASSERT_TRUE(doc.LoadEntry(0, doc.entries()[0].resultName));
  EXPECT_NEAR(doc.protein().scores.averageScore, doc.entries()[0].averageScore, 1e-5);
}

TEST_F(RecalculationDoc, AFormatErrorStopsAtThatRow) {
  MultipleAnalysisRequest request;
  request.filePaths = {test::DataPath("1CRN.pdb"), test::DataPath("1UBQ.pdb"), test::DataPath("1AKI.pdb")};
  doc.AnalyseMultiple(request);
  std::ofstream(doc.entries()[1].resultPath, std::ios::binary) << "STRUCTURE\t1\t2\nnonsense\nEND";
  WriteShiftedTable("shifted.stb");
  ASSERT_TRUE(doc.LoadScoreTable("shifted.stb").ok());
  const auto before = doc.entries();
  const int changes = feedback.documentChanges;
  const CTessmolDoc::RecalculateResult result = doc.RecalculateProfiles({0, 1, 2});
  EXPECT_EQ(result.done, 1u);
  EXPECT_EQ(result.status.line, 2);
  EXPECT_EQ(feedback.messages, std::vector<std::string>{"Error: Format error in .tsm file on line 2: " +
                                                        doc.entries()[1].resultPath + ": no record keyword"});
  EXPECT_NE(doc.entries()[0].averageScore, before[0].averageScore);  // done before the damaged row
  EXPECT_EQ(doc.entries()[2].averageScore, before[2].averageScore);  // never reached
  EXPECT_EQ(feedback.documentChanges, changes);
  // Loading the damaged row leaves the protein as it was.
  ASSERT_TRUE(doc.LoadEntry(0, "first"));
  EXPECT_FALSE(doc.LoadEntry(1, "damaged"));
  EXPECT_EQ(doc.protein().fileName, "first");
  EXPECT_FALSE(doc.LoadEntry(7, "no such row"));
}

TEST_F(RecalculationDoc, UnreadableOrMissingResultFilesAreLeftAlone) {
  ASSERT_EQ(doc.OpenStructure(test::DataPath("1CRN.pdb")), CTessmolDoc::OpenResult::kOpened);
  const int missing = doc.AddStoredEntry("./gone.tsm");
  EXPECT_FALSE(doc.LoadEntry(missing, "gone.tsm"));
  EXPECT_EQ(doc.RecalculateProfiles({missing}).status.problem, FileProblem::kMissing);
  EXPECT_FALSE(fs::exists("gone.tsm"));  // no empty file made in its place
  const std::string before = ReadAll("1CRN.tsm");
  fs::permissions("1CRN.tsm", fs::perms::none);
  // 0 when the file was found unreadable; a child process without root tells.
  const int outcome = test::WithoutRoot(
      [&]() { return doc.RecalculateProfiles({0}).status.problem == FileProblem::kUnreadable ? 0 : 1; });
  fs::permissions("1CRN.tsm", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(outcome, 0);
  EXPECT_EQ(ReadAll("1CRN.tsm"), before);
}

}  // namespace
}  // namespace tessmol
