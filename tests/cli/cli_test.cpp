// The command-line program as a user runs it.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli_support.h"
#include "scoring/score_table.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::Cli;
using test::ReadAll;

const testing::Environment* const kScratch = testing::AddGlobalTestEnvironment(new test::ScratchEnvironment);

TEST(CliRead, DescribesTheBundledRhodopsin) {
  const auto result = test::RunCommand(Cli("read " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(result.status, 0);
  const std::string& out = result.out;
  EXPECT_NE(out.find("Read as NMR: no"), std::string::npos);
  EXPECT_NE(out.find("Chains: 2"), std::string::npos);
  // Counted in the file: ATOM and HETATM lines of the first conformer, HELIX records.
  EXPECT_NE(out.find("chain A: residues 1-348"), std::string::npos) << out;
  EXPECT_NE(out.find("Atoms: 5492"), std::string::npos);
  EXPECT_NE(out.find("Heteroatoms: 456"), std::string::npos);
  EXPECT_NE(out.find("Helices: 29"), std::string::npos);
  EXPECT_NE(out.find("Sheets: 8"), std::string::npos);
  EXPECT_NE(out.find("Bounding box: x ["), std::string::npos);
}

TEST(CliRead, AFileOfHeteroatomsAloneIsRefusedAlikeByEveryCommand) {
  // Rhodopsin's ligands, sugars and waters without the protein: nothing to analyse, and
  // every command says why in the same words.
  // So does a file of DNA alone (1LCD's operator, its protein cut away), in its own words,
  // and a file of sequences.
  {
    std::ifstream in(test::DataPath("1U19.pdb"));
    std::ofstream out("hetero.pdb");
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("HETATM", 0) == 0) out << line << '\n';
    std::ifstream dna(test::DataPath("1LCD_model1.pdb"));
    std::ofstream dnaOut("dna.pdb");
    while (std::getline(dna, line))
      if (line.rfind("ATOM", 0) == 0 && line[17] == ' ' && line[18] == 'D') dnaOut << line << '\n';
    // And a FASTA file given where a structure goes.
    std::ofstream("seq.fasta") << "\n>sarcolipin\nMGINTRELFLNFTIVLITVILMWLLVRSYQY\n";
  }
  for (const auto& [file, why] : {std::pair<std::string, std::string>{
                                      "hetero.pdb", "it holds heteroatoms only (HETATM records), no protein"},
                                  {"dna.pdb", "it holds DNA or RNA and no protein"},
                                  {"seq.fasta", "it is a FASTA file of sequences, which spanner2d reads"}}) {
    const std::string expected = "Error: no atoms could be read from " + file + ": " + why;
    for (const std::string command : {"read", "analyse", "membrane"}) {
      const auto run = test::RunCommand(Cli(command + " " + file + " 2>err.txt"));
      EXPECT_EQ(run.status, 1) << command;
      const std::string err = ReadAll("err.txt");
      EXPECT_EQ(err, expected + "\n") << command;
    }
  }
  const auto multi = test::RunCommand(Cli("multi hetero.pdb " + test::DataPath("1CRN.pdb") + " 2>/dev/null"));
  EXPECT_NE(multi.out.find("no atoms could be read: it holds heteroatoms only"), std::string::npos)
      << multi.out;
}

TEST(CliRead, SaysWhatWasLeftOutMappedAndAssigned) {
  const auto mse =
      test::RunCommand(Cli("read " + test::DataPath("1A8O.pdb") + " " + test::DataPath("mmcif/5PTI.cif")));
  ASSERT_EQ(mse.status, 0);
  EXPECT_NE(mse.out.find("Modified residue MSE read as MET"), std::string::npos);
  EXPECT_NE(mse.out.find("Format: mmCIF\n"), std::string::npos);
  EXPECT_NE(mse.out.find("Hydrogen and deuterium atoms left out: "), std::string::npos);
  EXPECT_NE(mse.out.find("Secondary structure: from the file's records"), std::string::npos);
  const auto computed = test::RunCommand(
      Cli("read --residues --secondary-structure computed " + test::DataPath("mmcif/4HHB.cif.gz")));
  ASSERT_EQ(computed.status, 0);
  EXPECT_NE(computed.out.find("Format: mmCIF, gzip-compressed"), std::string::npos);
  EXPECT_NE(computed.out.find("Secondary structure: assigned from coordinates"), std::string::npos);
  EXPECT_NE(computed.out.find("\nA\t10\tVAL\tH\n"), std::string::npos);  // in haemoglobin's helix A
  // An assembly's copies are named in full in the helix list as in the chain list.
  const auto assembly = test::RunCommand(Cli("read " + test::DataPath("mmcif/1E0P_assembly1.cif.gz")));
  ASSERT_EQ(assembly.status, 0);
  const std::string helices = assembly.out.substr(assembly.out.find("Helices: "));
  EXPECT_NE(helices.find("  chain A-2 "), std::string::npos) << helices;
  EXPECT_EQ(helices.find("  chain B "), std::string::npos) << helices;
}

// Asked to read B-factors as pLDDT, the program says why it does not where they are no
// confidence, rather than quietly analyse a crystal structure: rhodopsin's file names the
// experiment (EXPDTA X-RAY DIFFRACTION); OmpA's OPM copy names none, but its CA B-factors
// run to 117.43 (in the file), beyond pLDDT's 0 to 100.
TEST(CliRead, BFactorsThatAreNoPlddtAreSaidToBeNoConfidence) {
  const std::string rhodopsin = " " + test::DataPath("1U19.pdb");
  const std::string frame = " " + test::DataPath("1QJP_opm.pdb");
  const auto read = test::RunCommand(Cli("read --confidence plddt" + rhodopsin));
  ASSERT_EQ(read.status, 0);
  EXPECT_NE(
      read.out.find("Confidence: none (the file names the experiment that measured it, X-RAY DIFFRACTION)"),
      std::string::npos)
      << read.out;
  EXPECT_EQ(read.out.find("predicted model"), std::string::npos) << read.out;
  const auto readFrame = test::RunCommand(Cli("read --confidence plddt" + frame));
  EXPECT_NE(readFrame.out.find("Confidence: none (the values read as pLDDT run to 117.43, beyond 0 to 100)"),
            std::string::npos)
      << readFrame.out;
  const auto analysed = test::RunCommand(Cli("analyse --confidence plddt" + frame + " 2>&1 >/dev/null"));
  EXPECT_EQ(analysed.status, 0);
  EXPECT_NE(analysed.out.find(
                "Warning: the pLDDT read from 1QJP_opm.pdb runs to 117.43, beyond 0 to 100: 1QJP_opm.pdb "
                "is analysed as an experimental structure, without confidence"),
            std::string::npos)
      << analysed.out;
  // A list that mixes models with crystal structures says it of each crystal, in its order:
  // crambin's B-factors lie within 0 to 100 and were once taken for pLDDT.
  const std::string model = " " + test::DataPath("predicted/P76011_no_header.pdb");
  const auto list = test::RunCommand(Cli("multi --format json --confidence plddt" + rhodopsin + " " +
                                         test::DataPath("1CRN.pdb") + model + " 2>&1 >/dev/null"));
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("Warning: 1U19.pdb names the experiment that measured it (X-RAY DIFFRACTION): its "
                          "B-factors are not read as pLDDT, and 1U19.pdb is analysed as an experimental "
                          "structure, without confidence\n"
                          "Warning: 1CRN.pdb names the experiment"),
            std::string::npos)
      << list.out;
  EXPECT_EQ(list.out.find("P76011"), std::string::npos) << list.out;
  const auto ranked = test::RunCommand(Cli("multi --format json --confidence plddt" + rhodopsin + " " +
                                           test::DataPath("1CRN.pdb") + model + " 2>/dev/null"));
  const auto json = nlohmann::json::parse(ranked.out);
  ASSERT_EQ(json["analysis_list"].size(), 3u);
  EXPECT_FALSE(json["analysis_list"][0].contains("confident_count")) << json["analysis_list"][0];
  EXPECT_FALSE(json["analysis_list"][1].contains("confident_count")) << json["analysis_list"][1];
  EXPECT_EQ(json["analysis_list"][2].value("confident_count", -1), 66) << json["analysis_list"][2];
  // A model's own pLDDT says nothing of the kind.
  const auto single = test::RunCommand(Cli(
      "analyse --confidence plddt " + test::DataPath("predicted/P76011_no_header.pdb") + " 2>&1 >/dev/null"));
  EXPECT_EQ(single.out.find("Warning"), std::string::npos) << single.out;
}

TEST(CliRead, BadFilesAreNamedAndTheOthersStillRead) {
  const std::string missing = test::DataPath("missing.pdb");
  const auto result = test::RunCommand(Cli("read " + missing + " " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(missing), std::string::npos);
  EXPECT_NE(result.out.find("Atoms: 327"), std::string::npos);  // crambin's ATOM lines
  const auto empty = test::RunCommand(Cli("read " + test::DataPath("biopython_header.pdb") + " 2>&1"));
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("no atoms"), std::string::npos);
}

TEST(CliRead, BadUsageExitsWithTwo) {
  EXPECT_EQ(test::RunCommand(Cli("read")).status, 2);
  EXPECT_EQ(test::RunCommand(Cli("frobnicate")).status, 2);
  EXPECT_EQ(test::RunCommand(Cli("--help >/dev/null")).status, 0);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The whole of what a user sees of a stored crambin, against a file checked by hand
// (tests/data/SOURCES.md).
TEST(CliAnalyse, TheResidueTableOfCrambinIsTheCheckedOne) {
  ASSERT_EQ(test::RunCommand(Cli("analyse --resolution 5 --ignore-het " + test::DataPath("1CRN.pdb"))).status,
            0);
  const auto shown = test::RunCommand(Cli("show --residues 1CRN.tsm"));
  ASSERT_EQ(shown.status, 0);
  std::ifstream golden(test::DataPath("golden/1CRN_show_residues.txt"), std::ios::binary);
  const auto expected = Lines(std::string((std::istreambuf_iterator<char>(golden)), {}));
  const auto lines = Lines(shown.out);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(CliAnalyse, UnreadableFilesAreNamedAndTheRestAnalysed) {
  const std::string missing = test::DataPath("missing.pdb");
  const std::string empty = test::DataPath("freesasa_empty_model.pdb");
  const auto result =
      test::RunCommand(Cli("analyse " + missing + " " + empty + " " + test::DataPath("1CRN.pdb") + " " +
                           test::DataPath("1UBQ.pdb") + " 2>&1"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(missing), std::string::npos);
  EXPECT_NE(result.out.find(empty), std::string::npos);
  EXPECT_NE(result.out.find("Protein summary for 1CRN.pdb:"), std::string::npos);
  EXPECT_NE(result.out.find("Protein summary for 1UBQ.pdb:"), std::string::npos);
}

// A small file that unpacks to 200 MB is refused past the user's limit, and the run goes
// on to the next file, in multi and analyse alike.
TEST(CliAnalyse, ACompressedFileThatUnpacksTooFarIsRefusedAndTheRunGoesOn) {
  ASSERT_EQ(test::RunCommand("head -c 200000000 /dev/zero | gzip -1 > bomb.pdb.gz").status, 0);
  const std::string next = test::DataPath("1CRN.pdb");
  for (const std::string command : {"multi", "analyse"}) {
    SCOPED_TRACE(command);
    const auto result =
        test::RunCommand(Cli(command + " --max-unpacked-mib 16 bomb.pdb.gz " + next + " 2>&1"));
    // multi says with 3 that only inputs failed.
    EXPECT_EQ(result.status, command == "multi" ? 3 : 1);
    EXPECT_NE(result.out.find("bomb.pdb.gz: it unpacks to more than 16 MiB; raise --max-unpacked-mib"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("1CRN"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists("1CRN.tsm"));
    std::filesystem::remove("1CRN.tsm");
  }
  EXPECT_EQ(test::RunCommand(Cli("read --max-unpacked-mib 0 " + next + " 2>/dev/null")).status, 2);
}

TEST(CliAnalyse, BadOptionsExitWithTwo) {
  const std::string file = " " + test::DataPath("1CRN.pdb") + " 2>&1";
  for (const char* bad : {"--resolution 7", "--resolution -1", "--resolution x", "--threads -2", "--bogus"}) {
    const auto result = test::RunCommand(Cli(std::string("analyse ") + bad + file));
    EXPECT_EQ(result.status, 2) << bad;
    EXPECT_EQ(result.out.find("Protein summary"), std::string::npos) << bad;
  }
}

TEST(CliAnalyse, WritesTheWarningsToTheLogFile) {
  const std::string log =
      std::filesystem::temp_directory_path() / ("tessmol_log_" + std::to_string(::getpid()));
  std::filesystem::remove(log);
  // 1A8O's selenomethionines are HETATM, so its ATOM residues are all standard; 2JO4
  // carries acetyl and amide caps as residues of no standard type.
  const auto result = test::RunCommand(Cli("analyse --log " + log + " " + test::DataPath("2JO4.pdb")));
  ASSERT_EQ(result.status, 0);
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.rfind("Creating structure 2JO4.pdb...\n", 0), 0u);
  std::filesystem::remove(log);
}

std::vector<std::vector<std::string>> Table(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    std::string cell;
    while (std::getline(row, cell, '\t')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

TEST(CliMulti, ListsTheRunSortedAndNamesSkippedFiles) {
  const std::string files = test::DataPath("1CRN.pdb") + " " + test::DataPath("biopython_header.pdb") + " " +
                            test::DataPath("1UBQ.pdb") + " " + test::DataPath("1AKI.pdb") + " " +
                            test::DataPath("1CRN.pdb");
  const auto result =
      test::RunCommand(Cli("multi --jobs 2 --custom-table custom.stb " + files + " 2>err.txt"));
  EXPECT_EQ(result.status, 3);  // only an input failed
  auto rows = Table(result.out);
  ASSERT_EQ(rows.size(), 8u);
  // After a blank line, the file that was not analysed.
  EXPECT_EQ(rows[6], (std::vector<std::string>{"Not analysed", "Reason"}));
  EXPECT_EQ(rows[7],
            (std::vector<std::string>{test::DataPath("biopython_header.pdb"), "no atoms could be read"}));
  rows.resize(5);
  // Workers write the files; the second crambin gets the next free name, the same text,
  // and no temporary is left behind.
  auto text = [](const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  EXPECT_EQ(text("1CRN-2.tsm"), text("1CRN.tsm"));
  EXPECT_GT(text("1CRN.tsm").size(), 1000u);
  for (const auto& entry : std::filesystem::directory_iterator("."))
    EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos) << entry.path();
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Index", "Structure", "Score Table", "Average Residue Score",
                                               "Expected Residue Score", "Compatible Residue Score",
                                               "Window Pass %", "Confident Average", "Confident Compatible",
                                               "Confident Residues", "Left Out"}));
  for (size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 11u);
    EXPECT_EQ(rows[i][7], "-");  // crystal structures have no confident residues
    EXPECT_EQ(rows[i][0], std::to_string(i - 1));
    EXPECT_EQ(rows[i][2], "Default.stb");
    EXPECT_NEAR(std::stod(rows[i][5]), std::stod(rows[i][4]) * 0.45, 1e-6);
    if (i > 1) {
      EXPECT_GE(std::stod(rows[i - 1][3]), std::stod(rows[i][3]));
    }
    EXPECT_TRUE(std::filesystem::exists(rows[i][1]));
  }
  std::ifstream err("err.txt");
  const std::string errors((std::istreambuf_iterator<char>(err)), {});
  EXPECT_NE(errors.find("biopython_header.pdb"), std::string::npos);
  ScoreTable custom;
  EXPECT_TRUE(custom.LoadTable("custom.stb", "custom.stb").ok());
  EXPECT_NE(custom.scores, BuiltInScores());
}

TEST(CliStored, ShowAndRecalcReadResultFiles) {
  const auto analysed =
      test::RunCommand(Cli("analyse --resolution 1 --format json " + test::DataPath("1CRN.pdb")));
  ASSERT_EQ(analysed.status, 0);
  // show gives the row the analysis gave: its table, and the expected and compatible scores
  // for it.
  const auto row = nlohmann::json::parse(analysed.out)["structures"][0];
  const auto stored =
      nlohmann::json::parse(test::RunCommand(Cli("show --format json 1CRN.tsm")).out)["structures"][0];
  for (const char* key : {"score_table", "average_score", "expected_score", "compatible_score"})
    EXPECT_EQ(stored.value(key, nlohmann::json()), row[key]) << key;
  EXPECT_NE(test::RunCommand(Cli("show 1CRN.tsm")).out.find("Expected"), std::string::npos);
  // An option show does not take is named as such, not counted as a second result file;
  // two result files are refused with what takes several.
  for (const auto& [arguments, says] : std::vector<std::pair<std::string, std::string>>{
           {"--log l.log 1CRN.tsm", "The following argument was not expected: --log"},
           {"1CRN.tsm 1CRN.tsm", "Error: show takes one result file (2 given): recalc takes several"}}) {
    const auto refused = test::RunCommand(Cli("show " + arguments + " 2>err.txt"));
    EXPECT_EQ(refused.status, 2) << arguments;
    const std::string err = ReadAll("err.txt");
    EXPECT_NE(err.find(says), std::string::npos) << arguments << err;
  }
  const auto shown = test::RunCommand(Cli("show --residues 1CRN.tsm"));
  ASSERT_EQ(shown.status, 0);
  EXPECT_EQ(
      shown.out.rfind("Protein summary for 1CRN.tsm:\n\nNumber of chains: 1\nNumber of Residues: 46\n", 0),
      0u);
  // The summary, then the heading and 46 rows of the residue table.
  const auto shownRows = Table(shown.out);
  const auto heading =
      std::find_if(shownRows.begin(), shownRows.end(),
                   [](const std::vector<std::string>& row) { return !row.empty() && row[0] == "Index"; });
  EXPECT_EQ(shownRows.end() - heading, 1 + 46);
  // Rescore against a table in which every score is one higher.
  ScoreTable shifted;
  for (float& v : shifted.scores) v += 1.0f;
  ASSERT_TRUE(shifted.SaveTable("plus_one.stb").ok());
  const auto before = Table(test::RunCommand(Cli("recalc 1CRN.tsm")).out);
  const auto after = Table(test::RunCommand(Cli("recalc --score-table plus_one.stb 1CRN.tsm")).out);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1][2], "plus_one.stb");
  EXPECT_NEAR(std::stod(after[1][3]), std::stod(before[1][3]) + 1.0, 1e-5);
  // Scored with a table not loaded now: the table is named, its expected score not guessed.
  const auto rescored =
      nlohmann::json::parse(test::RunCommand(Cli("show --format json 1CRN.tsm")).out)["structures"][0];
  EXPECT_EQ(rescored["score_table"], "plus_one.stb");
  EXPECT_FALSE(rescored.contains("expected_score"));
  // ... and the user is told which table gives it, which show then takes.
  const auto note = test::RunCommand(Cli("show 1CRN.tsm 2>&1 >/dev/null"));
  EXPECT_NE(note.out.find("Note: 1CRN.tsm was scored with plus_one.stb, not Default.stb: its expected and "
                          "compatible scores need that table (--score-table plus_one.stb)"),
            std::string::npos)
      << note.out;
  const auto given = nlohmann::json::parse(
      test::RunCommand(Cli("show --format json --score-table plus_one.stb 1CRN.tsm")).out)["structures"][0];
  ASSERT_TRUE(given.contains("expected_score"));
  EXPECT_NEAR(given["expected_score"].get<double>(), std::stod(after[1][4]), 1e-6);
  // A damaged result file is reported with its line, and the exit status says so.
  std::ofstream("bad.tsm") << "STRUCTURE\t1\t1\nwhat\n";
  const auto bad = test::RunCommand(Cli("recalc bad.tsm 2>&1"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("Error: Format error in .tsm file on line 2: bad.tsm"), std::string::npos);
  // The written file with its first RESIDUE's overall score an infinity: refused, with the
  // line and the field, never shown as inf.
  {
    std::ifstream in("1CRN.tsm", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t residue = text.find("\nRESIDUE\t") + 1;
    const int line = static_cast<int>(std::count(text.begin(), text.begin() + residue, '\n')) + 1;
    size_t field = residue;
    for (int k = 0; k < 20; ++k) field = text.find('\t', field) + 1;
    text.replace(field, text.find('\t', field) - field, "inf");
    std::ofstream("infinite.tsm", std::ios::binary) << text;
    const auto refused = test::RunCommand(Cli("show infinite.tsm 2>&1"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("Error: Format error in .tsm file on line " + std::to_string(line) +
                               ": infinite.tsm: RESIDUE record: field 20 (overall score is not a number"),
              std::string::npos)
        << refused.out;
    EXPECT_EQ(refused.out.find("inf\t"), std::string::npos);
  }
  EXPECT_EQ(test::RunCommand(Cli("show missing.tsm")).status, 1);
  EXPECT_EQ(test::RunCommand(Cli("recalc --score-table missing.stb 1CRN.tsm")).status, 1);
}

TEST(CliSpanner, Spanner2DPrintsTheModelAndItsRow) {
  const auto result = test::RunCommand(Cli("spanner2d " + test::DataPath("bacteriorhodopsin_4xxjA.fasta")));
  ASSERT_EQ(result.status, 0);
  const auto lines = Lines(result.out);
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[0], "Protein summary for bacteriorhodopsin_4xxjA.fasta:");
  EXPECT_EQ(lines[3], "Number of Residues: 269");  // the letters of the FASTA record
  EXPECT_EQ(lines[6].rfind("Expected Residue Score: ", 0), 0u);
  EXPECT_EQ(lines[7].rfind("Compatible Residue Score: ", 0), 0u);
  EXPECT_EQ(lines[10], "           Chain           Residues");
  // Domain lines: 13 blanks, the chain, 21 blanks, first "  -  " last.
  EXPECT_EQ(lines[11].substr(0, 35), std::string(13, ' ') + "A" + std::string(21, ' '));
  EXPECT_NE(lines[11].find("  -  "), std::string::npos);
  const size_t heading = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& line) { return line.rfind("Index\t", 0) == 0; }) -
                         lines.begin();
  ASSERT_LT(heading + 1, lines.size());
  EXPECT_EQ(lines[heading].rfind("Index\tStructure", 0), 0u);
  EXPECT_EQ(lines[heading + 1].rfind("0\tbacteriorhodopsin_4xxjA.tsm\tDefault.stb\t", 0), 0u);
  EXPECT_EQ(lines[heading - 2], "FASTA record: 4xxjA");    // the record the model was made from
  EXPECT_EQ(lines[heading - 3].rfind("Tessmol ", 0), 0u);  // the line of the run's parameters
  EXPECT_TRUE(std::filesystem::exists("bacteriorhodopsin_4xxjA.tsm"));
  EXPECT_FALSE(std::filesystem::exists("helixtest.pdb"));  // only with --inspection
  // The stored model names its record when shown again, as text and as JSON.
  const auto shown = test::RunCommand(Cli("show bacteriorhodopsin_4xxjA.tsm"));
  ASSERT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("\nFASTA record: 4xxjA\n"), std::string::npos) << shown.out;
  const auto json =
      nlohmann::json::parse(test::RunCommand(Cli("show --format json bacteriorhodopsin_4xxjA.tsm")).out);
  EXPECT_EQ(json["structures"][0]["record"], "4xxjA");
  // A structure has no record.
  ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb") + " >/dev/null")).status, 0);
  EXPECT_EQ(test::RunCommand(Cli("show 1CRN.tsm")).out.find("FASTA record"), std::string::npos);
}

TEST(CliSpanner, ParametersAreValidatedLikeTheOptionsPage) {
  const std::string fasta = " " + test::DataPath("rhodopsin_1gzmA.fasta") + " >/dev/null";
  for (const char* bad :
       {"--minAreaDifference 0.5", "--minAreaDifference 11", "--movingAverage 0", "--movingAverage 101",
        "--tmLengthMin -3", "--kavelinMin abc", "--tmLengthMin 40 --tmLengthMax 12",
        // a pair with nothing strictly between it: no window could ever pass
        "--kavelin-min 0.9", "--profiles-min 0.5 --profiles-max -0.5", "--length-area-min 1.8",
        "--kavelin-max nan"}) {
    EXPECT_EQ(test::RunCommand(Cli(std::string("spanner2d --method window ") + bad + fasta)).status, 2)
        << bad;
  }
  for (const char* good : {"--minAreaDifference 1", "--minAreaDifference 10", "--movingAverage 1",
                           "--movingAverage 100 --tmLengthMin 12 --tmLengthMax 12"}) {
    EXPECT_EQ(test::RunCommand(Cli(std::string("spanner2d --method window ") + good + fasta)).status, 0)
        << good;
  }
  EXPECT_EQ(test::RunCommand(Cli("analyse --spanner3d --method window --movingAverage 0" + fasta)).status, 2);
}

TEST(CliSpanner, SegmentsInTheThreeLineLayoutAndWithTopology) {
  const auto three = test::RunCommand(
      Cli("spanner2d --method segments --format 3line " + test::DataPath("bacteriorhodopsin_4xxjA.fasta")));
  ASSERT_EQ(three.status, 0);
  const auto lines = Lines(three.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], ">4xxjA");
  EXPECT_EQ(lines[1].size(), lines[2].size());
  EXPECT_EQ(lines[2].find_first_not_of("Mio"), std::string::npos);  // membrane, inside, outside
  // No model is built: X is read as unknown, not modelled as alanine.
  std::ofstream("unknown.fasta") << ">u\n" << std::string(60, 'X') << "\n";
  const auto unknown = test::RunCommand(Cli("spanner2d --format 3line unknown.fasta 2>&1"));
  EXPECT_NE(unknown.out.find("holds X: read as unknown"), std::string::npos) << unknown.out;
  EXPECT_NE(unknown.out.find(std::string(60, '-')), std::string::npos) << unknown.out;
  // Nor in the formats that build a model, which the builder gives alanines.
  const auto json = nlohmann::json::parse(test::RunCommand(Cli("spanner2d --format json unknown.fasta")).out);
  EXPECT_TRUE(json["structures"][0]["transmembrane_segments"].empty()) << json.dump();
  // None found is an empty list, not a missing key, whichever the method (Python's
  // signal_peptides is a list for every method too).
  ASSERT_TRUE(json["structures"][0].contains("signal_peptides")) << json.dump();
  EXPECT_TRUE(json["structures"][0]["signal_peptides"].empty());
  const auto window = nlohmann::json::parse(
      test::RunCommand(Cli("spanner2d --method window --format json unknown.fasta")).out);
  ASSERT_TRUE(window["structures"][0].contains("signal_peptides")) << window.dump();
  EXPECT_TRUE(window["structures"][0]["signal_peptides"].empty());
  const auto structure =
      test::RunCommand(Cli("analyse --spanner3d --method segments " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(structure.status, 0);
  size_t oriented = 0;
  for (const std::string& line : Lines(structure.out)) {
    oriented +=
        line.find("in\u2192out") != std::string::npos || line.find("out\u2192in") != std::string::npos;
  }
  EXPECT_EQ(oriented, 14u);  // seven helices in each of rhodopsin's two chains
}

TEST(CliSpanner, SignalPeptidesInTheThreeLineLayoutAndInJson) {
  // Q07699 of topology_examples.3line: a signal peptide of 17 residues, then the
  // N-terminal domain outside, one helix, the C-terminus inside.
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels)) {
    if (header.rfind(">Q07699 ", 0) == 0) break;
  }
  std::ofstream("q07699.fasta") << ">Q07699\n" << sequence << '\n';
  const auto three = test::RunCommand(Cli("spanner2d --method segments --format 3line q07699.fasta"));
  ASSERT_EQ(three.status, 0);
  const auto lines = Lines(three.out);
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_EQ(lines[2].size(), sequence.size());
  const std::string& predicted = lines[2];
  // S first, then outside, one helix, then inside: the labels' own order.
  const size_t signalEnd = predicted.find_first_not_of('S');
  EXPECT_GT(signalEnd, 12u);
  EXPECT_EQ(predicted[signalEnd], 'o');
  const size_t helix = predicted.find('M');
  ASSERT_NE(helix, std::string::npos);
  EXPECT_EQ(predicted.find_first_not_of('o', signalEnd), helix);
  EXPECT_EQ(predicted.back(), 'i');
  const auto json = test::RunCommand(Cli("spanner2d --method segments --format json q07699.fasta"));
  ASSERT_EQ(json.status, 0);
  const auto parsed = nlohmann::json::parse(json.out);
  const auto& structure = parsed["structures"][0];
  EXPECT_EQ(structure["record"], "Q07699");
  ASSERT_EQ(structure["signal_peptides"].size(), 1u);
  EXPECT_EQ(structure["signal_peptides"][0]["first_number"], 1);
  EXPECT_EQ(structure["signal_peptides"][0]["last_number"], static_cast<int>(signalEnd));
  EXPECT_EQ(structure["transmembrane_segments"].size(), 1u);
  const auto text = test::RunCommand(Cli("spanner2d --method segments q07699.fasta"));
  EXPECT_NE(text.out.find("signal peptide"), std::string::npos);
}

// P13806 of topology_examples.3line (labels from the data set): a signal peptide, an
// outside domain of a thousand residues with weakly hydrophobic stretches (455-472 and
// 932-952), one anchor at 1077-1097. Its only helix is the anchor.
TEST(CliSpanner, ASingleAnchorsOutsideDomainHoldsNoHelix) {
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels)) {
    if (header.rfind(">P13806 ", 0) == 0) break;
  }
  ASSERT_EQ(labels.size(), sequence.size());
  const size_t anchor = labels.find('M'), anchorEnd = labels.find_last_of('M');
  ASSERT_EQ(labels.find_first_not_of('M', anchor), anchorEnd + 1);  // one helix in the data
  std::ofstream("p13806.fasta") << ">P13806\n" << sequence << '\n';
  const auto three = test::RunCommand(Cli("spanner2d --format 3line p13806.fasta"));
  ASSERT_EQ(three.status, 0);
  const std::string predicted = Lines(three.out).at(2);
  const size_t helix = predicted.find('M'), helixEnd = predicted.find_last_of('M');
  ASSERT_NE(helix, std::string::npos);
  EXPECT_EQ(predicted.find_first_not_of('M', helix), helixEnd + 1) << predicted;  // one helix
  EXPECT_GE(std::min(helixEnd, anchorEnd) + 1, std::max(helix, anchor) + 5);      // on the anchor
  // The domain before it lies outside, after the signal peptide.
  EXPECT_EQ(predicted[0], 'S') << predicted;
  EXPECT_EQ(predicted.back(), 'i');
}

// A sequence's model is an ideal helix: the 3D-1D window test, which judges folds, is not
// reported for it (text, JSON, chart legend), while a structure keeps it.
TEST(CliSpanner, ASequencesModelIsNoFoldForTheWindowTest) {
  const std::string fasta = test::DataPath("bacteriorhodopsin_4xxjA.fasta");
  const auto text = test::RunCommand(Cli("spanner2d --chart model.svg " + fasta));
  ASSERT_EQ(text.status, 0);
  EXPECT_EQ(text.out.find("3D-1D Window Test"), std::string::npos) << text.out;
  std::ifstream svg("model.svg");
  const std::string drawn((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.find("window test"), std::string::npos);
  const auto json = nlohmann::json::parse(test::RunCommand(Cli("spanner2d --format json " + fasta)).out);
  EXPECT_FALSE(json["structures"][0].contains("window_pass_fraction"));
  EXPECT_FALSE(json["structures"][0].contains("below_window_test"));
  EXPECT_FALSE(json["analysis_list"][0].contains("window_pass_fraction"));
  // Nor in the analysis list's row (as merge-lists shows it): its Window Pass % cell is empty.
  ASSERT_EQ(test::RunCommand(Cli("spanner2d --format json " + fasta + " > list.json")).status, 0);
  const auto merged = test::RunCommand(Cli("merge-lists list.json"));
  ASSERT_EQ(merged.status, 0) << merged.err;
  const auto lines = Lines(merged.out);
  const auto heading = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("Window Pass %") != std::string::npos;
  });
  ASSERT_NE(heading, lines.end());
  ASSERT_NE(heading + 1, lines.end());
  const auto tabs = [](const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
    return cells;
  };
  const std::vector<std::string> names = tabs(*heading), cells = tabs(*(heading + 1));
  const size_t column = std::find(names.begin(), names.end(), "Window Pass %") - names.begin();
  ASSERT_LT(column, cells.size());
  EXPECT_EQ(cells[column], "-");
  const auto structure = test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb")));
  EXPECT_NE(structure.out.find("3D-1D Window Test"), std::string::npos);
}

TEST(CliSpanner, SegmentsReadEachRecordOnItsOwn) {
  // The real proteins of topology_examples.3line (a secreted protein, signal peptides with
  // anchors, single-pass anchors, a GPI-anchored protein) and bacteriorhodopsin, in one file and each in a
  // file of its own, in both orders: every record gets the same labels.
  std::vector<std::string> records;
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels))
    records.push_back(">" + header.substr(1, header.find(' ') - 1) + "\n" + sequence + "\n");
  std::ifstream br(test::DataPath("bacteriorhodopsin_4xxjA.fasta"));
  records.push_back(std::string((std::istreambuf_iterator<char>(br)), std::istreambuf_iterator<char>()));
  ASSERT_EQ(records.size(), 7u);
  std::string alone, together, reversed;
  for (size_t k = 0; k < records.size(); ++k) {
    const std::string name = "record" + std::to_string(k) + ".fasta";
    std::ofstream(name) << records[k];
    const auto one = test::RunCommand(Cli("spanner2d --method segments --format 3line " + name));
    ASSERT_EQ(one.status, 0);
    alone += one.out;
    together += records[k];
    reversed = records[k] + reversed;
  }
  std::ofstream("together.fasta") << together;
  std::ofstream("reversed.fasta") << reversed;
  const auto all = test::RunCommand(Cli("spanner2d --method segments --format 3line together.fasta"));
  ASSERT_EQ(all.status, 0);
  EXPECT_EQ(all.out, alone);
  const auto back = test::RunCommand(Cli("spanner2d --method segments --format 3line reversed.fasta"));
  const auto forward = Lines(alone), backward = Lines(back.out);
  ASSERT_EQ(backward.size(), forward.size());
  for (size_t k = 0; k < forward.size(); ++k)
    EXPECT_EQ(backward[k], forward[(forward.size() / 3 - 1 - k / 3) * 3 + k % 3]);
  // Something was found: the signal peptide, the anchors and the seven helices.
  EXPECT_NE(alone.find('S'), std::string::npos);
  EXPECT_NE(alone.find("MMMMMMMMMMMMMMMM"), std::string::npos);
}

TEST(CliSpanner, FastaInAnyCaseGivesTheSameLabelsAndAnErrorFailsTheRun) {
  std::ifstream in(test::DataPath("bacteriorhodopsin_4xxjA.fasta"));
  std::string header, sequence, line;
  std::getline(in, header);
  while (std::getline(in, line)) sequence += line;
  std::string lower = sequence;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::ofstream(" upper.fasta") << header << '\n' << sequence << '\n';
  std::ofstream(" lower.fasta") << header << "\n  1 " << lower << "*\n";
  for (const char* method : {"window", "segments"}) {
    const std::string command = std::string("spanner2d --format 3line --method ") + method;
    const auto upper = test::RunCommand(Cli(command + " ' upper.fasta'"));
    const auto low = test::RunCommand(Cli(command + " ' lower.fasta' 2>&1"));
    ASSERT_EQ(upper.status, 0) << method;
    EXPECT_EQ(low.status, 0) << method;
    EXPECT_EQ(low.out, upper.out) << method;  // nothing on stderr either
    EXPECT_NE(Lines(upper.out)[2].find("MMMMMMMMMM"), std::string::npos) << method;
    // A stream of labels writes no result file beside it, whichever method made them.
    EXPECT_FALSE(std::filesystem::exists(" upper.tsm")) << method;
    EXPECT_FALSE(std::filesystem::exists(" lower.tsm")) << method;
  }
  // auto, as the desktop's default names it, segments a sequence.
  EXPECT_EQ(test::RunCommand(Cli("spanner2d --format 3line --method auto ' upper.fasta'")).out,
            test::RunCommand(Cli("spanner2d --format 3line --method segments ' upper.fasta'")).out);
  std::ofstream("bad.fasta") << ">a\nMKV\n>b\nMKLL\nLL-LL\n";
  for (const char* method : {"window", "segments"}) {
    const auto bad =
        test::RunCommand(Cli(std::string("spanner2d --format 3line --method ") + method + " bad.fasta 2>&1"));
    EXPECT_EQ(bad.status, 1) << method;
    EXPECT_NE(bad.out.find("Error: format error in bad.fasta on line 5: '-' is no residue letter"),
              std::string::npos)
        << bad.out;
  }
}

TEST(CliSpanner, FaultyRecordsAreNamedAndSkippedInEveryFormat) {
  std::ofstream("mixed.fasta") << ">one\nMKVLLAGW\n>empty\n>two\nmkvllagw\n>bad\nMKV*L\n>three\nWWLLKKAA\n";
  const auto shows = [](const std::string& format, const std::string& name) {
    return format == "3line"  ? ">" + name + "\n"
           : format == "json" ? "\"record\": \"" + name
                              : "FASTA record: " + name;
  };
  for (const std::string format : {"text", "json", "3line"}) {
    const auto run = test::RunCommand(Cli("spanner2d --format " + format + " mixed.fasta 2>err.txt"));
    EXPECT_EQ(run.status, 1) << format;
    const std::string err = ReadAll("err.txt");
    EXPECT_NE(
        err.find(
            "Error: Could not process FASTA file: mixed.fasta (empty, line 3): the record has no sequence"),
        std::string::npos)
        << format << err;
    EXPECT_NE(err.find("on line 7: 'L' after the '*' that ends the sequence; record bad is not modelled"),
              std::string::npos)
        << format << err;
    for (const char* good : {"one", "two", "three"})
      EXPECT_NE(run.out.find(shows(format, good)), std::string::npos) << format << good;
    // JSON lists the records it left out under failures; no other format shows them as results.
    for (const char* bad : {"empty", "bad"})
      EXPECT_EQ(run.out.find(shows(format, bad)) != std::string::npos, format == "json") << format << bad;
  }
  const auto json = nlohmann::json::parse(test::RunCommand(Cli("spanner2d --format json mixed.fasta")).out);
  ASSERT_EQ(json.at("failures").size(), 2u);
  EXPECT_EQ(json["failures"][1]["record"], "bad");
  EXPECT_EQ(json["structures"].size(), 3u);
  // A file that is no FASTA file gets the reason stderr gives, in JSON too.
  std::ofstream("headless.fasta") << "MKVLLLAVLLL\n>late\nMKV\n";
  const auto headless = test::RunCommand(Cli("spanner2d --format json headless.fasta 2>err.txt"));
  EXPECT_EQ(headless.status, 1);
  const auto failure = nlohmann::json::parse(headless.out).at("failures").at(0);
  EXPECT_EQ(failure.at("message"), "Error: file not in FASTA format: headless.fasta") << failure;
  const std::string err = ReadAll("err.txt");
  EXPECT_NE(err.find("Error: file not in FASTA format: headless.fasta"), std::string::npos) << err;
  // A file that cannot be read, or is no FASTA file, fails the run but not the files after
  // it; a header without a name gives its record one from its line, and its model is a
  // sequence's (no window test).
  std::ofstream("empty.fasta");
  std::ofstream("unnamed.fasta") << ">\nMKVLLAGWLLLLLAVLLLAGWKKR\n>   spaced  name\nMKVLLAGW\n";
  for (const std::string format : {"text", "json", "3line"}) {
    const auto run =
        test::RunCommand(Cli("spanner2d --format " + format +
                             " empty.fasta missing.fasta headless.fasta unnamed.fasta 2>err.txt"));
    EXPECT_EQ(run.status, 1) << format;
    for (const char* name : {"unnamed_line_1", "spaced"})
      EXPECT_NE(run.out.find(shows(format, name)), std::string::npos) << format << name << run.out;
    EXPECT_EQ(run.out.find("3D-1D Window Test"), std::string::npos) << format;
  }
  const auto all = nlohmann::json::parse(
      test::RunCommand(Cli("spanner2d --format json empty.fasta missing.fasta unnamed.fasta")).out);
  EXPECT_EQ(all.at("structures").size(), 2u);
  ASSERT_EQ(all.at("failures").size(), 2u);
  EXPECT_EQ(all["failures"][0]["file"], "empty.fasta");
  EXPECT_EQ(all["failures"][1]["file"], "missing.fasta");
  EXPECT_FALSE(all["structures"][0].contains("window_pass_fraction"));
}

TEST(CliSpanner, ANucleotideSequenceIsReadAsProteinWithAWarning) {
  // DNA reads as a valid protein of A, C, G and T: it is modelled, but not silently. A
  // protein rich in those residues (a 20-residue stretch of 15 of them) is no DNA.
  std::ofstream("dna.fasta") << ">dna\nACGTACGTTAGCATCGATCGATCGATCGATCGTAGCTAGC\n"
                             << ">protein\nMKVLLAGWLLAVLLAGWKKR\n>rich\nGATTACAGATTACAGKWKWL\n";
  for (const std::string format : {"text", "3line"}) {
    const auto run = test::RunCommand(Cli("spanner2d --format " + format + " dna.fasta 2>err.txt"));
    EXPECT_EQ(run.status, 0) << format;
    const std::string err = ReadAll("err.txt");
    EXPECT_NE(err.find("Warning: dna.fasta (dna, line 1) looks like a nucleotide sequence (100 % A, C, G, T, "
                       "U and N): it is read as protein"),
              std::string::npos)
        << format << err;
    EXPECT_EQ(err.find("(protein, line"), std::string::npos) << format << err;
    EXPECT_EQ(err.find("(rich, line"), std::string::npos) << format << err;
  }
}

TEST(CliSpanner, ACompressedFastaIsUnpackedWithinTheLimitTheMessageNames) {
  // 2.2 MB of sequence in a few kilobytes of gzip: refused under a 1 MiB limit in every
  // format, with advice that the command takes, and read under a larger one.
  {
    std::ofstream big("big.fasta");
    big << ">big\n";
    for (int i = 0; i < 200000; ++i) big << "MKVLLAGWLLA";
    big << '\n';
  }
  ASSERT_EQ(std::system("gzip -f big.fasta"), 0);
  for (const std::string format : {"text", "json", "3line"}) {
    const auto refused = test::RunCommand(
        Cli("spanner2d --max-unpacked-mib 1 --format " + format + " big.fasta.gz 2>err.txt"));
    EXPECT_EQ(refused.status, 1) << format;
    const std::string err = ReadAll("err.txt");
    EXPECT_NE(err.find("unpacks to more than 1 MiB; raise --max-unpacked-mib to read it"), std::string::npos)
        << format << err;
  }
  const auto read = test::RunCommand(Cli("spanner2d --max-unpacked-mib 3 --format 3line big.fasta.gz"));
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out.rfind(">big\nMKVLLAGWLLA", 0), 0u);
}

TEST(CliSpanner, SegmentsAreSpanner2DsDefaultAndTheWindowScanIsAskedFor) {
  const std::string fasta = test::DataPath("bacteriorhodopsin_4xxjA.fasta");
  const auto byDefault = test::RunCommand(Cli("spanner2d --format 3line " + fasta));
  const auto segments = test::RunCommand(Cli("spanner2d --format 3line --method segments " + fasta));
  const auto window = test::RunCommand(Cli("spanner2d --format 3line --method window " + fasta));
  ASSERT_EQ(byDefault.status, 0);
  ASSERT_EQ(window.status, 0);
  EXPECT_EQ(byDefault.out, segments.out);
  // Only the segmentation orients its loops (i and o); the scan leaves them unknown.
  EXPECT_NE(Lines(byDefault.out)[2].find_first_of("io"), std::string::npos) << byDefault.out;
  EXPECT_EQ(Lines(window.out)[2].find_first_of("io"), std::string::npos) << window.out;
  const auto json = test::RunCommand(Cli("spanner2d --format json " + fasta));
  EXPECT_NE(json.out.find("\"method\": \"segments\""), std::string::npos);
}

TEST(CliSpanner, Spanner3DMarksTheHelicesOfRhodopsin) {
  const auto result = test::RunCommand(Cli("analyse --spanner3d --residues " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(result.status, 0);
  const auto lines = Lines(result.out);
  size_t domains = 0, flagged = 0;
  for (const std::string& line : lines) {
    if (line.rfind(std::string(13, ' '), 0) == 0) ++domains;
    if (line.size() > 2 && line.substr(line.size() - 2) == "\t1") ++flagged;
  }
  EXPECT_GE(domains, 10u);  // seven helices in each of the two chains, some merged
  EXPECT_GT(flagged, 300u);
}

TEST(CliSpanner, TheListRowShowsTheSpanner3DResultWrittenOrNot) {
  // The analysis list's row and the structure's summary give one average and one window
  // test: those with the segments' scores, whether the result file could be written or not.
  const std::string receptor = test::DataPath("2RH1.pdb");
  for (const bool writable : {true, false}) {
    std::filesystem::remove_all("2RH1.tsm");
    if (!writable) std::filesystem::create_directory("2RH1.tsm");  // no file can take its place
    const auto run = test::RunCommand(Cli("analyse --spanner3d --format json " + receptor + " 2>err.txt"));
    EXPECT_EQ(run.status, writable ? 0 : 1);
    const auto json = nlohmann::json::parse(run.out);
    const auto& structure = json.at("structures").at(0);
    const auto& row = json.at("analysis_list").at(0);
    EXPECT_EQ(row.at("average_score"), structure.at("average_score")) << writable;
    EXPECT_EQ(row.at("window_pass_fraction"), structure.at("window_pass_fraction")) << writable;
    EXPECT_EQ(row.at("result_file").is_null(), !writable);
    // The status's failure is in the JSON too, and the segments were found: no other error.
    EXPECT_EQ(json.contains("failures"), !writable);
    if (!writable) {
      EXPECT_EQ(json["failures"][0]["file"], receptor);
    }
    const std::string err = ReadAll("err.txt");
    EXPECT_EQ(err.find("Spanner3D failed"), std::string::npos) << err;
  }
  std::filesystem::remove_all("2RH1.tsm");
}

// The three numbers after a label such as "Membrane normal: ".
std::array<double, 3> Triple(const std::string& out, const std::string& label) {
  std::array<double, 3> v{};
  const size_t at = out.find(label);
  if (at != std::string::npos) std::istringstream(out.substr(at + label.size())) >> v[0] >> v[1] >> v[2];
  return v;
}

// Validates `file` against the repository's schema with Debian's python3-jsonschema.
int ValidatesAgainstTheSchema(const std::string& file) {
  const std::string schema = std::string(TESSMOL_TEST_SOURCE) + "/../schema/tessmol-output.schema.json";
  return test::RunCommand(
             "python3 -c 'import json, sys, jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), "
             "json.load(open(sys.argv[2])))' " +
             file + " " + schema + " 2>&1")
      .status;
}

TEST(CliMembrane, PlacesTheSlabWritesItsPlanesAndReadsThemBack) {
  const auto placed = test::RunCommand(Cli("membrane --write slab.pdb " + test::DataPath("1U19_tr.pdb")));
  ASSERT_EQ(placed.status, 0);
  const auto n = Triple(placed.out, "Membrane normal: ");
  const auto c = Triple(placed.out, "Membrane centre: ");
  const size_t at = placed.out.find("Membrane half-thickness: ");
  ASSERT_NE(at, std::string::npos);
  const double h = std::stod(placed.out.substr(at + 25));
  EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-3);
  EXPECT_GE(std::count(placed.out.begin(), placed.out.end(), '\n'), 12);  // seven helices and more
  // Every DUM pseudo-atom lies on a boundary plane: N on the cytoplasmic side, O beyond.
  std::ifstream written("slab.pdb");
  std::string line;
  int dummies = 0, atoms = 0;
  while (std::getline(written, line)) {
    if (line.rfind("ATOM  ", 0) == 0) ++atoms;
    if (line.rfind("HETATM", 0) != 0 || line.substr(17, 3) != "DUM") continue;
    ++dummies;
    const double d = (std::stod(line.substr(30, 8)) - c[0]) * n[0] +
                     (std::stod(line.substr(38, 8)) - c[1]) * n[1] +
                     (std::stod(line.substr(46, 8)) - c[2]) * n[2];
    EXPECT_NEAR(d, line[13] == 'N' ? -h : h, 0.05) << line;
  }
  EXPECT_GT(dummies, 400);
  // Beside the planes, the file is the input as it was: every line kept, in order, only the
  // B-factor column (61-66) of the analysed residues set (1 in a segment, 0 elsewhere).
  {
    std::ifstream input(test::DataPath("1U19_tr.pdb")), output("slab.pdb");
    std::vector<std::string> kept;
    for (std::string l; std::getline(output, l);)
      if (l.rfind("HETATM", 0) != 0 || l.substr(17, 3) != "DUM") kept.push_back(l);
    size_t k = 0, flagged = 0;
    for (std::string l; std::getline(input, l); ++k) {
      ASSERT_LT(k, kept.size());
      const bool atom = l.rfind("ATOM  ", 0) == 0;
      EXPECT_EQ(kept[k].substr(0, atom ? 60 : std::string::npos), l.substr(0, atom ? 60 : std::string::npos));
      if (atom) {
        EXPECT_EQ(kept[k].substr(66), l.substr(66));
        flagged += std::stod(kept[k].substr(60, 6)) == 1.0;
      }
    }
    EXPECT_EQ(k, kept.size());
    EXPECT_GT(flagged, 1000u);  // seven helices' atoms
  }
  // gemmi reads them as atoms of a non-polymer residue DUM.
  ASSERT_TRUE(test::ToolInstalled("gemmi", "gemmi"));
  const auto converted =
      test::RunCommand("gemmi convert slab.pdb slab.cif && grep -c '^[0-9]* [NO] [NO] . DUM ' slab.cif");
  EXPECT_EQ(converted.status, 0);
  EXPECT_EQ(std::atoi(converted.out.c_str()), dummies);
  EXPECT_EQ(test::RunCommand("grep -c '^DUM! non-polymer' slab.cif").out, "1\n");
  // Read again, the planes are no atoms of the structure and move nothing.
  const auto read = test::RunCommand(Cli("read slab.pdb"));
  EXPECT_NE(read.out.find("Membrane pseudo-atoms (DUM) left out: " + std::to_string(dummies)),
            std::string::npos);
  const auto again = test::RunCommand(Cli("membrane slab.pdb"));
  ASSERT_EQ(again.status, 0);
  EXPECT_NEAR(std::stod(again.out.substr(again.out.find("Membrane half-thickness: ") + 25)), h, 0.5);
  EXPECT_GT(atoms, 2000);
}

TEST(CliMembrane, WrittenPlanesJoinTheFirstModelWithSerialsOfTheirOwn) {
  // An AlphaFold file wraps its atoms in MODEL 1 ... ENDMDL: the planes go inside that model
  // (a viewer would show them as a second state otherwise), numbered after the largest
  // serial, TER's included. Written with CRLF line ends and without a final line break,
  // the file keeps its line ends and loses no line to the one appended.
  const std::string model = test::DataPath("predicted/AF-P76011-F1-model_v4.pdb.gz");
  ASSERT_EQ(test::RunCommand(Cli("membrane --write planes.pdb " + model + " >/dev/null")).status, 0);
  std::ifstream in("planes.pdb");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::set<int> serials;
  size_t firstDummy = 0, lastDummy = 0, endModel = 0, dummies = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& l = lines[k];
    if (l.rfind("ATOM  ", 0) == 0 || l.rfind("HETATM", 0) == 0 || l.rfind("TER", 0) == 0) {
      EXPECT_TRUE(serials.insert(std::stoi(l.substr(6, 5))).second) << l;
    }
    if (l.rfind("HETATM", 0) == 0 && l.substr(17, 3) == "DUM") {
      if (dummies++ == 0) firstDummy = k;
      lastDummy = k;
    }
    if (l.rfind("ENDMDL", 0) == 0) endModel = k;
  }
  ASSERT_GT(dummies, 100u);
  EXPECT_EQ(lines.at(firstDummy - 1).rfind("TER", 0), 0u);  // after the chain's TER
  EXPECT_EQ(lastDummy + 1, endModel);

  std::string text = ReadAll("planes.pdb");
  std::string crlf;
  for (char c : text.substr(0, text.find("HETATM")))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.pop_back(), crlf.pop_back();  // no line break after the last atom line, no END
  std::ofstream("crlf.pdb", std::ios::binary) << crlf;
  ASSERT_EQ(test::RunCommand(Cli("membrane --write crlf-planes.pdb crlf.pdb >/dev/null")).status, 0);
  const std::string written = ReadAll("crlf-planes.pdb");
  EXPECT_EQ(written.substr(0, crlf.size()), crlf);
  size_t bare = 0, lineBreaks = 0, added = 0;
  for (size_t k = 0; k < written.size(); ++k) {
    if (written.compare(k, 6, "HETATM") == 0 && written.compare(k + 17, 3, "DUM") == 0) ++added;
    if (written[k] != '\n') continue;
    ++lineBreaks;
    bare += k == 0 || written[k - 1] != '\r';
  }
  EXPECT_EQ(bare, 0u);
  ASSERT_GT(added, 100u);
  EXPECT_EQ(lineBreaks, static_cast<size_t>(std::count(crlf.begin(), crlf.end(), '\n')) + 1 + added);
  // A TER record without a serial (as many programs write it) is read past.
  std::ofstream("bare-ter.pdb") << text.substr(0, text.find("\nTER") + 1) << "TER\nEND\n";
  ASSERT_EQ(test::RunCommand(Cli("membrane --write bare-ter-planes.pdb bare-ter.pdb >/dev/null")).status, 0);
  EXPECT_NE(ReadAll("bare-ter-planes.pdb").find("TER\nHETATM"), std::string::npos);
  // The planes are PDB records: a name that promises mmCIF or gzip is refused.
  EXPECT_EQ(test::RunCommand(Cli("membrane --write planes.cif " + model + " 2>/dev/null")).status, 2);
  EXPECT_EQ(test::RunCommand(Cli("membrane --write planes.pdb.gz " + model + " 2>/dev/null")).status, 2);
}

TEST(CliMembrane, CrystalCopiesGetAMembraneEachAndBothSetsOfPlanes) {
  // Rhodopsin 1U19: two chains lying antiparallel in the crystal.
  const auto placed = test::RunCommand(Cli("membrane --write slabs.pdb " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(placed.status, 0);
  EXPECT_NE(
      placed.out.find("The chains cannot share one membrane (crystal copies lying apart or antiparallel): 2 "
                      "placements"),
      std::string::npos)
      << placed.out;
  const size_t first = placed.out.find("Membrane 1 of 2, chains ");
  const size_t second = placed.out.find("Membrane 2 of 2, chains ");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  // Each set of planes lies at its own membrane's boundaries: every DUM atom is on one of
  // the four planes, and both membranes have theirs.
  struct Slab {
    std::array<double, 3> n, c;
    double h = 0;
  };
  std::vector<Slab> slabs;
  for (size_t at : {first, second}) {
    const std::string block = placed.out.substr(at);
    Slab slab{Triple(block, "Membrane normal: "), Triple(block, "Membrane centre: ")};
    slab.h = std::stod(block.substr(block.find("Membrane half-thickness: ") + 25));
    slabs.push_back(slab);
  }
  std::ifstream written("slabs.pdb");
  std::string line;
  std::array<int, 2> onPlanes{};
  int dummies = 0, coordinates = 0, masterCount = -1;
  bool afterConnections = false;
  while (std::getline(written, line)) {
    // The planes are coordinates: before the file's CONECT and MASTER records, and counted
    // by MASTER (columns 51-55).
    if (line.rfind("CONECT", 0) == 0) afterConnections = true;
    if (line.rfind("MASTER", 0) == 0) masterCount = std::stoi(line.substr(50, 5));
    if (line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0) {
      ++coordinates;
      EXPECT_FALSE(afterConnections) << line;
    }
    if (line.rfind("HETATM", 0) != 0 || line.substr(17, 3) != "DUM") continue;
    ++dummies;
    const std::array<double, 3> p = {std::stod(line.substr(30, 8)), std::stod(line.substr(38, 8)),
                                     std::stod(line.substr(46, 8))};
    for (size_t k = 0; k < slabs.size(); ++k) {
      const Slab& s = slabs[k];
      const double d = (p[0] - s.c[0]) * s.n[0] + (p[1] - s.c[1]) * s.n[1] + (p[2] - s.c[2]) * s.n[2];
      if (std::fabs(d - (line[13] == 'N' ? -s.h : s.h)) < 0.05) ++onPlanes[k];
    }
  }
  EXPECT_GT(onPlanes[0], 200);
  EXPECT_GT(onPlanes[1], 200);
  EXPECT_LE(onPlanes[0] + onPlanes[1], dummies + dummies / 10);  // few lie on both by chance
  EXPECT_EQ(masterCount, coordinates);
}

TEST(CliMembrane, MembraneAndSpanner3DGiveOnePlacement) {
  // The beta2-adrenergic receptor with its lipids, ligand and waters, its heteroatoms
  // analysed by `analyse` (the default) and left out by `membrane`.
  const std::string file = test::DataPath("2RH1.pdb");
  const auto placed = test::RunCommand(Cli("membrane " + file));
  const auto analysed = test::RunCommand(Cli("analyse --spanner3d --method slab " + file));
  const auto byDefault = test::RunCommand(Cli("analyse --spanner3d " + file));
  ASSERT_EQ(placed.status, 0);
  ASSERT_EQ(analysed.status, 0);
  ASSERT_EQ(byDefault.status, 0);
  // The placement's lines, up to the blank line after its segments.
  auto placement = [](const std::string& out) {
    const size_t at = out.find("Membrane normal: ");
    if (at == std::string::npos) return std::string();
    std::string lines = out.substr(at, out.find("\n\n", at) - at);
    while (!lines.empty() && lines.back() == '\n') lines.pop_back();
    return lines;
  };
  ASSERT_FALSE(placement(placed.out).empty());
  EXPECT_EQ(placement(analysed.out), placement(placed.out));
  EXPECT_EQ(placement(byDefault.out), placement(placed.out));
  // A model file without a header, its B-factors read as pLDDT by both commands: its
  // residues of low confidence take no part in either placement.
  const std::string model = " --confidence plddt " + test::DataPath("predicted/P76011_no_header.pdb");
  const auto modelPlaced = test::RunCommand(Cli("membrane" + model));
  const auto modelAnalysed = test::RunCommand(Cli("analyse --spanner3d" + model));
  ASSERT_EQ(modelPlaced.status, 0) << modelPlaced.err;
  ASSERT_EQ(modelAnalysed.status, 0) << modelAnalysed.err;
  ASSERT_FALSE(placement(modelPlaced.out).empty());
  EXPECT_EQ(placement(modelAnalysed.out), placement(modelPlaced.out));
  // Scripts get the same placement from either command's JSON, and it is the text's.
  const auto placedJson = test::RunCommand(Cli("membrane --format json " + file));
  const auto analysedJson = test::RunCommand(Cli("analyse --spanner3d --format json " + file));
  ASSERT_EQ(placedJson.status, 0);
  ASSERT_EQ(analysedJson.status, 0);
  const nlohmann::json membranes = nlohmann::json::parse(placedJson.out)["structures"][0]["membranes"];
  EXPECT_EQ(nlohmann::json::parse(analysedJson.out)["structures"][0]["membranes"], membranes);
  // The rest of the structure's record is the slab method's, heteroatoms counted as analyse
  // counts them: the same scores and segments, not an analysis of its own beside them.
  for (const char* key : {"average_score", "transmembrane_segments", "total_sasa"})
    EXPECT_EQ(nlohmann::json::parse(placedJson.out)["structures"][0][key],
              nlohmann::json::parse(analysedJson.out)["structures"][0][key])
        << key;
  ASSERT_EQ(membranes.size(), 1u);
  const auto normal = Triple(placed.out, "Membrane normal: ");
  for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(membranes[0]["normal"][k].get<double>(), normal[k], 5e-5);
  EXPECT_EQ(membranes[0]["segments"].size(), 7u);  // the receptor's seven helices
}

TEST(CliMembrane, TheTextKeepsItsColumnsAndWritesNoNegativeZero) {
  // KcsA's re-entrant pore helix has the longest orientation text; the tilts still stand
  // in one column, under their heading.
  const auto kcsa = test::RunCommand(Cli("membrane " + test::DataPath("1K4C.pdb")));
  ASSERT_EQ(kcsa.status, 0);
  std::vector<size_t> tilts;
  for (const std::string& line : Lines(kcsa.out))
    if (line.find("Tilt (") != std::string::npos || line.find("\u2192") != std::string::npos)
      tilts.push_back(line.rfind("  ") + 2);
  ASSERT_EQ(tilts.size(), 4u);  // the heading and three segments
  for (size_t k = 2; k < tilts.size(); ++k) EXPECT_EQ(tilts[k], tilts[1]) << kcsa.out;
  // The bacteriorhodopsin trimer's normal runs along z: no component reads -0.0000.
  const auto trimer = test::RunCommand(Cli("membrane " + test::DataPath("mmcif/1E0P_assembly1.cif.gz")));
  ASSERT_EQ(trimer.status, 0);
  EXPECT_NE(trimer.out.find("Membrane normal: 0.0000 0.0000 -1.0000"), std::string::npos) << trimer.out;
}

TEST(CliMembrane, JsonNamesReEntrantSegmentsAndEachPlacementsChains) {
  // KcsA's pore helix dips into the membrane from outside and leaves on that side.
  const auto kcsa = test::RunCommand(Cli("membrane --format json " + test::DataPath("1K4C.pdb")));
  ASSERT_EQ(kcsa.status, 0);
  const nlohmann::json segments =
      nlohmann::json::parse(kcsa.out)["structures"][0]["membranes"][0]["segments"];
  std::vector<std::string> kinds;
  for (const auto& s : segments)
    kinds.push_back(s["kind"].get<std::string>() + " " + s["orientation"].get<std::string>());
  EXPECT_EQ(kinds, (std::vector<std::string>{"crossing in-out", "re-entrant out-out", "crossing out-in"}));
  // The file holds one of the four copies of its chains the channel is made of (REMARK
  // 350): said in the document and in the text, and not for the porin's whole trimer.
  EXPECT_EQ(nlohmann::json::parse(kcsa.out)["structures"][0]["assembly_missing_chains"], 9);
  EXPECT_NE(test::RunCommand(Cli("membrane " + test::DataPath("1K4C.pdb")))
                .out.find("Placed on the file's 3 chains alone: its first biological assembly has 12"),
            std::string::npos);
  // One protomer cut out of it with the header kept: one chain, said as one.
  {
    std::ifstream in(test::DataPath("1K4C.pdb"));
    std::ofstream out("1K4C_C.pdb");
    std::string line;
    while (std::getline(in, line)) {
      const bool coordinates = line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0 ||
                               line.rfind("ANISOU", 0) == 0 || line.rfind("TER", 0) == 0;
      if (!coordinates || (line.size() > 21 && line[21] == 'C')) out << line << '\n';
    }
  }
  const auto protomer = test::RunCommand(Cli("membrane 1K4C_C.pdb"));
  EXPECT_NE(protomer.out.find("Placed on the file's 1 chain alone: its first biological assembly has 12"),
            std::string::npos)
      << protomer.out;
  const auto porin =
      test::RunCommand(Cli("membrane --format json " + test::DataPath("2POR_tr.pdb") + " > p.json"));
  ASSERT_EQ(porin.status, 0);
  EXPECT_FALSE(nlohmann::json::parse(ReadAll("p.json"))["structures"][0].contains("assembly_missing_chains"));
  std::ofstream("k.json") << kcsa.out;
  EXPECT_EQ(ValidatesAgainstTheSchema("k.json"), 0);
  // Rhodopsin's crystal copies: one membrane each, each naming its chain.
  const auto copies =
      test::RunCommand(Cli("membrane --format json " + test::DataPath("1U19.pdb") + " x.pdb > m.json"));
  EXPECT_EQ(copies.status, 1);  // x.pdb does not exist, and the document says so
  EXPECT_EQ(ValidatesAgainstTheSchema("m.json"), 0);
  const nlohmann::json document = nlohmann::json::parse(ReadAll("m.json"));
  EXPECT_EQ(document["command"], "membrane");
  EXPECT_EQ(document["failures"][0]["file"], "x.pdb");
  const nlohmann::json& both = document["structures"][0]["membranes"];
  ASSERT_EQ(both.size(), 2u);
  std::set<std::string> chains;
  for (const auto& m : both) {
    ASSERT_EQ(m["chains"].size(), 1u);
    chains.insert(m["chains"][0].get<std::string>());
  }
  EXPECT_EQ(chains, (std::set<std::string>{"A", "B"}));
  for (const auto& m : both) EXPECT_TRUE(m["placed"].get<bool>());
}

TEST(CliMembrane, SolubleProteinsAndTheSlabMethodOfSpanner3D) {
  const auto soluble = test::RunCommand(Cli("membrane --write none.pdb " + test::DataPath("1UBQ.pdb")));
  EXPECT_EQ(soluble.status, 0);
  EXPECT_NE(soluble.out.find("Membrane: no membrane placement (score "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("none.pdb"));
  // What was asked for and not written is said on stderr.
  const auto crambin =
      test::RunCommand(Cli("membrane --write none.pdb " + test::DataPath("1CRN.pdb") + " 2>&1 >/dev/null"));
  EXPECT_EQ(crambin.status, 0);
  EXPECT_EQ(crambin.out, "Note: no membrane placement found for " + test::DataPath("1CRN.pdb") +
                             "; nothing written to none.pdb\n");
  EXPECT_FALSE(std::filesystem::exists("none.pdb"));
  const auto analysed =
      test::RunCommand(Cli("analyse --spanner3d --method slab --residues " + test::DataPath("1U19_tr.pdb")));
  ASSERT_EQ(analysed.status, 0);
  EXPECT_NE(analysed.out.find("Membrane normal: "), std::string::npos);
  size_t oriented = 0, flagged = 0;
  for (const std::string& l : Lines(analysed.out)) {
    if (l.rfind(std::string(13, ' '), 0) == 0 && l.find("\u2192") != std::string::npos) ++oriented;
    if (l.size() > 2 && l.substr(l.size() - 2) == "\t1") ++flagged;
  }
  EXPECT_GE(oriented, 14u);  // the domain list and the membrane's segments, seven each
  EXPECT_GT(flagged, 140u);
  EXPECT_EQ(test::RunCommand(Cli("spanner2d --method slab x.fasta")).status, 2);
}

TEST(CliAnalyse, ResultFilesGoToTheOutputFolder) {
  const auto made = test::RunCommand(Cli("analyse --out-dir out/sub " + test::DataPath("1CRN.pdb")));
  EXPECT_EQ(made.status, 0);
  EXPECT_TRUE(std::filesystem::exists("out/sub/1CRN.tsm"));
  EXPECT_FALSE(std::filesystem::exists("1CRN.tsm"));
  std::ofstream("plain-file") << "x";
  const auto refused =
      test::RunCommand(Cli("analyse --out-dir plain-file/sub " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("Error: --out-dir: cannot make the folder plain-file/sub: Not a directory"),
            std::string::npos)
      << refused.out;
  const auto file =
      test::RunCommand(Cli("analyse --out-dir plain-file " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(file.status, 2);
  EXPECT_NE(file.out.find("Working Directory: not a folder: plain-file"), std::string::npos) << file.out;
  // A name longer than the system takes is said to be, not thrown at the user.
  const auto tooLong = test::RunCommand(
      Cli("analyse --out-dir " + std::string(300, 'y') + " " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(tooLong.status, 2);
  EXPECT_NE(tooLong.out.find(": File name too long"), std::string::npos) << tooLong.out;
}

TEST(CliChart, TheProgramNeedsNoToolkitUntilAPngIsAsked) {
  const auto needed = test::RunCommand("readelf -d " + std::string(TESSMOL_CLI) + " | grep NEEDED");
  ASSERT_EQ(needed.status, 0);
  EXPECT_NE(needed.out.find("libc.so"), std::string::npos);
  EXPECT_EQ(needed.out.find("Qt"), std::string::npos) << needed.out;
}

// A predicted model's chart: its pLDDT bands in AlphaFold's colours, named in the legend.
TEST(CliChart, APredictedModelShowsItsConfidence) {
  const auto svg =
      test::RunCommand(Cli("analyse --chart model.svg " +
                           test::DataPath("predicted/AF-P76011-F1-model_v4.pdb.gz") + " >/dev/null"));
  ASSERT_EQ(svg.status, 0);
  std::ifstream in("model.svg");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  for (const char* entry : {">pLDDT 70-90</text>", ">pLDDT 50-70</text>", ">pLDDT &lt; 50</text>"})
    EXPECT_NE(text.find(entry), std::string::npos) << entry;
  EXPECT_EQ(text.find("pLDDT &gt;= 90"), std::string::npos);  // no residue reaches 90
  for (const char* colour : {"rgb(101,203,243)", "rgb(255,219,19)", "rgb(255,125,69)"})
    EXPECT_NE(text.find(colour), std::string::npos) << colour;
}

TEST(CliChart, SvgAndPngCharts) {
  const auto svg =
      test::RunCommand(Cli("analyse --chart chart.svg --chart-size 800x400 " + test::DataPath("1CRN.pdb")));
  ASSERT_EQ(svg.status, 0);
  std::ifstream in("chart.svg");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("width=\"800\" height=\"400\""), std::string::npos);
  EXPECT_NE(text.find("stroke=\"rgb(0,0,255)\""), std::string::npos);  // Profiles-3D in blue
  EXPECT_NE(text.find("> Chain A --&gt;</text>"), std::string::npos);
  // Crambin fails the 3D-1D window test over residues 5-24: a row and its legend entry,
  // and no confidence for an experimental structure.
  EXPECT_NE(text.find(">Below the 3D-1D window test (&lt; 0.2 over 21 residues)</text>"), std::string::npos);
  EXPECT_EQ(text.find("pLDDT"), std::string::npos);
  // Several structures: one chart each, named after them.
  const auto two = test::RunCommand(
      Cli("analyse --chart many.png " + test::DataPath("1CRN.pdb") + " " + test::DataPath("1UBQ.pdb")));
  ASSERT_EQ(two.status, 0);
  for (const char* name : {"many-1CRN.png", "many-1UBQ.png"}) {
    std::ifstream png(name, std::ios::binary);
    char magic[8] = {};
    png.read(magic, 8);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG") << name;
  }
  // Spanner2D draws its models too, with the predicted segments along the top.
  ASSERT_EQ(test::RunCommand(Cli("spanner2d --method segments --chart br.svg " +
                                 test::DataPath("bacteriorhodopsin_4xxjA.fasta") + " >/dev/null"))
                .status,
            0);
  std::ifstream br("br.svg");
  const std::string brText((std::istreambuf_iterator<char>(br)), {});
  EXPECT_NE(brText.find("stroke-width=\"3\""), std::string::npos);  // the transmembrane bar
  // One file of two records: both charts are named after their models, the first too.
  {
    std::ofstream pair("pair.fasta");
    pair << ">first\nMLLLLAVLLLALLVLAILLVGKKEEDDKKEEDDK\n>second\nMKKEEDDKKEEDDLLLLAVLLLALLVLAILLVG\n";
  }
  ASSERT_EQ(test::RunCommand(Cli("spanner2d --chart p.svg pair.fasta >/dev/null")).status, 0);
  for (const char* name : {"p-pair.svg", "p-pair-2.svg"}) EXPECT_TRUE(std::filesystem::exists(name)) << name;
  EXPECT_FALSE(std::filesystem::exists("p.svg"));
  // ... and each is titled with its record, which the file's name alone cannot tell.
  for (const auto& [name, record] : {std::pair{"p-pair.svg", "first"}, std::pair{"p-pair-2.svg", "second"}}) {
    std::ifstream chart(name);
    const std::string text((std::istreambuf_iterator<char>(chart)), {});
    EXPECT_NE(text.find(">pair  " + std::string(record) + "  (Default.stb)<"), std::string::npos) << name;
  }
  // Below 600x400 a membrane protein's legend leaves the axis labels outside the picture.
  for (const char* bad :
       {"--chart-size 12", "--chart-size 100x100", "--chart-size axb", "--chart-size 400x300"}) {
    EXPECT_EQ(test::RunCommand(Cli(std::string("analyse --chart c.svg ") + bad + " " +
                                   test::DataPath("1CRN.pdb") + " >/dev/null"))
                  .status,
              2)
        << bad;
  }
}

// What the chart options cannot do is refused before any structure is analysed (status 2)
// or, for a chain the structure lacks, for that structure with its reason (status 1).
TEST(CliChart, RefusalsNameWhatIsAllowed) {
  const std::string crambin = " " + test::DataPath("1CRN.pdb") + " 2>&1";
  const auto jpg = test::RunCommand(Cli("analyse --chart x.jpg" + crambin));
  EXPECT_EQ(jpg.status, 2);
  EXPECT_NE(jpg.out.find(".svg, .png or .pdf"), std::string::npos) << jpg.out;
  EXPECT_FALSE(std::filesystem::exists("x.jpg"));
  const auto huge = test::RunCommand(Cli("analyse --chart c.svg --chart-size 100000x100000" + crambin));
  EXPECT_EQ(huge.status, 2);
  EXPECT_NE(huge.out.find("up to 20000x20000"), std::string::npos) << huge.out;
  for (const char* range : {"330-30", "30", "a-b", "30-"}) {
    const auto bad =
        test::RunCommand(Cli(std::string("analyse --chart c.svg --chart-range ") + range + crambin));
    EXPECT_EQ(bad.status, 2) << range;
    EXPECT_NE(bad.out.find("--chart-range takes FROM-TO"), std::string::npos) << bad.out;
  }
  const auto chain = test::RunCommand(Cli("analyse --chart nochain.svg --chart-chains Z" + crambin));
  EXPECT_EQ(chain.status, 1);
  EXPECT_NE(chain.out.find("the structure has no chain Z"), std::string::npos) << chain.out;
  EXPECT_FALSE(std::filesystem::exists("nochain.svg"));
}

TEST(CliChart, ChainsRangeAndPdf) {
  // The chains' one value does not take the structure file after it.
  ASSERT_EQ(test::RunCommand(Cli("analyse --chart hb.svg --chart-range 10-60 --chart-chains B,D " +
                                 test::DataPath("4HHB.pdb") + " >/dev/null"))
                .status,
            0);
  std::ifstream in("hb.svg");
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("> Chain B --&gt;</text>"), std::string::npos);
  EXPECT_NE(text.find("> Chain D --&gt;</text>"), std::string::npos);
  EXPECT_EQ(text.find("Chain A"), std::string::npos);
  EXPECT_EQ(text.find(">80</text>"), std::string::npos);  // beyond the range
  EXPECT_NE(text.find(">4HHB  ("), std::string::npos);    // the structure's name as title
  // As on a cluster node or in cron, with no runtime folder: the toolkit's notice about it
  // is no message for the user, so nothing reaches stderr.
  const auto pdfRun = test::RunCommand("env -u XDG_RUNTIME_DIR " +
                                       Cli("analyse --chart hb.pdf " + test::DataPath("4HHB.pdb")));
  ASSERT_EQ(pdfRun.status, 0);
  EXPECT_EQ(pdfRun.err, "");
  std::ifstream pdf("hb.pdf", std::ios::binary);
  char magic[5] = {};
  pdf.read(magic, 5);
  EXPECT_EQ(std::string(magic, 5), "%PDF-");
}

// ---- failures are never reported as success --------------------------------------

// The command as the unprivileged user nobody when the tests run as root (as CI does), so
// that file permissions hold.
std::string AsNobody(const std::string& command) {
  return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " + command : command;
}

TEST(CliFailures, AResultFileIsNeverAnalysedAsAStructure) {
  ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb"))).status, 0);
  const std::string stored = ReadAll("1CRN.tsm");
  std::filesystem::copy_file("1CRN.tsm", "copy.tsm");
  const auto result = test::RunCommand(Cli("analyse copy.tsm 2>&1"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("copy.tsm is a Tessmol result file"), std::string::npos) << result.out;
  EXPECT_EQ(ReadAll("copy.tsm"), stored);
}

TEST(CliFailures, NamesNeverCollideInARun) {
  std::filesystem::create_directories("d1");
  std::filesystem::create_directories("d2");
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "d1/prot.pdb");
  std::filesystem::copy_file(test::DataPath("1UBQ.pdb"), "d2/prot.pdb");
  std::filesystem::copy_file(test::DataPath("5PTI.pdb"), "d2/prot.ent");
  const auto result = test::RunCommand(Cli("multi d1/prot.pdb d2/prot.pdb d2/prot.ent"));
  ASSERT_EQ(result.status, 0);
  std::set<std::string> names;
  for (const auto& row : Table(result.out)) {
    if (row[0] == "Index") continue;
    names.insert(row[1]);
    // Each row's file holds that row's structure.
    const auto shown = Table(test::RunCommand(Cli("show " + row[1])).out);
    EXPECT_EQ(shown[5][0], "Average Residue Score: " + row[3]);
  }
  EXPECT_EQ(names, (std::set<std::string>{"prot.tsm", "prot-2.tsm", "prot-3.tsm"}));
}

// In a folder of its own: the commands run there, and the names they write are the test's.
std::string In(const std::string& folder, const std::string& command) {
  std::filesystem::create_directories(folder);
  return "cd " + folder + " && " + command;
}

TEST(CliFailures, OutputsNamedAfterTheStructureNeverCollideInARun) {
  // Crambin as PDB and as mmCIF: two inputs of one name, each option's second file gets -2.
  const std::string pdb = test::DataPath("1CRN.pdb"), cif = test::DataPath("mmcif/1CRN.cif");
  const auto analysed = test::RunCommand(
      In("twins", Cli("analyse --residues-out r.tsv --chart ch.svg --bfactor-out b.pdb " + pdb + " " + cif)));
  ASSERT_EQ(analysed.status, 0) << analysed.err;
  for (const char* written : {"r-1CRN", "r-1CRN-2", "ch-1CRN", "ch-1CRN-2", "b-1CRN", "b-1CRN-2"})
    ASSERT_EQ(test::RunCommand(std::string("ls twins/") + written + ".* >/dev/null").status, 0) << written;
  EXPECT_EQ(Table(ReadAll("twins/r-1CRN.tsv"))[1][0], "1CRN.pdb");
  EXPECT_EQ(Table(ReadAll("twins/r-1CRN-2.tsv"))[1][0], "1CRN.cif");
  // The B-factor file from the PDB input keeps that file's own revision records, which the
  // mmCIF input lacks; both hold crambin's 327 atoms.
  auto count = [](const std::string& record, const std::string& path) {
    return test::RunCommand("grep -c '^" + record + "' " + path).out;
  };
  EXPECT_EQ(count("REVDAT", "twins/b-1CRN.pdb"), count("REVDAT", pdb));
  EXPECT_EQ(count("REVDAT", "twins/b-1CRN-2.pdb"), "0\n");
  EXPECT_EQ(count("ATOM", "twins/b-1CRN.pdb"), "327\n");
  EXPECT_EQ(count("ATOM", "twins/b-1CRN-2.pdb"), "327\n");
  // A compressed input is named without its compression suffix and extension, as its result.
  ASSERT_EQ(test::RunCommand("gzip -c " + pdb + " > twins/crn.pdb.gz").status, 0);
  ASSERT_EQ(test::RunCommand(In("twins", Cli("analyse --residues-out z.tsv crn.pdb.gz " + cif))).status, 0);
  EXPECT_TRUE(std::filesystem::exists("twins/z-crn.tsv"));
  // Rhodopsin's two crystal chains and its single chain in the membrane frame, under one name.
  std::filesystem::create_directories("twins/m1");
  std::filesystem::create_directories("twins/m2");
  std::filesystem::copy_file(test::DataPath("1U19_tr.pdb"), "twins/m1/rho.pdb");
  std::filesystem::copy_file(test::DataPath("1U19.pdb"), "twins/m2/rho.pdb");
  const auto rho = test::RunCommand(In("twins", Cli("membrane --write s.pdb m1/rho.pdb m2/rho.pdb")));
  ASSERT_EQ(rho.status, 0);
  EXPECT_EQ(count("ATOM", "twins/s-rho.pdb"), count("ATOM", "twins/m1/rho.pdb"));
  EXPECT_EQ(count("ATOM", "twins/s-rho-2.pdb"), count("ATOM", "twins/m2/rho.pdb"));
  EXPECT_NE(count("ATOM", "twins/m1/rho.pdb"), count("ATOM", "twins/m2/rho.pdb"));
  // Both are "rho.pdb": the output says which file holds whose planes, in that order.
  const size_t first = rho.out.find("Planes written to s-rho.pdb\n");
  EXPECT_NE(first, std::string::npos) << rho.out;
  EXPECT_GT(rho.out.find("Planes written to s-rho-2.pdb\n"), first) << rho.out;
  const auto json =
      test::RunCommand(In("twins", Cli("membrane --format json --write j.pdb m1/rho.pdb m2/rho.pdb")));
  const auto run = nlohmann::json::parse(json.out);
  EXPECT_EQ(run["structures"][0]["planes_file"], "j-rho.pdb");
  EXPECT_EQ(run["structures"][1]["planes_file"], "j-rho-2.pdb");
  EXPECT_FALSE(run.contains("failures"));
  // A file that could not be written fails the run in the JSON as on stderr.
  std::filesystem::create_directories("twins/f-rho.pdb");
  const auto failed = test::RunCommand(
      In("twins", Cli("membrane --format json --write f.pdb m1/rho.pdb m2/rho.pdb 2>/dev/null")));
  EXPECT_EQ(failed.status, 1);
  const auto failedRun = nlohmann::json::parse(failed.out);
  ASSERT_EQ(failedRun["failures"].size(), 1u);
  EXPECT_EQ(failedRun["failures"][0]["input_index"], 0);
  EXPECT_NE(failedRun["failures"][0]["message"].get<std::string>().find("f-rho.pdb: it is a folder"),
            std::string::npos);
  EXPECT_TRUE(failedRun["structures"][0]["planes_file"].is_null());
  EXPECT_EQ(failedRun["structures"][1]["planes_file"], "f-rho-2.pdb");
}

TEST(CliFailures, AnOutputNeverReplacesAnInput) {
  std::filesystem::create_directories("inputs");
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "inputs/x.pdb");
  const std::string crambin = ReadAll("inputs/x.pdb");
  const auto same = test::RunCommand(In("inputs", Cli("analyse --bfactor-out x.pdb x.pdb 2>&1")));
  EXPECT_EQ(same.status, 2);
  EXPECT_EQ(same.out, "Error: --bfactor-out names the input file x.pdb, which is never overwritten\n");
  EXPECT_EQ(test::RunCommand(In("inputs", Cli("membrane --write ./x.pdb x.pdb 2>/dev/null"))).status, 2);
  EXPECT_EQ(test::RunCommand(
                In("inputs", Cli("analyse --residues-out o.pdb --bfactor-out o.pdb x.pdb 2>/dev/null")))
                .status,
            2);
  // Nor the run's result file: x.tsm is written before the residue table would be.
  const auto result = test::RunCommand(In("inputs", Cli("analyse --residues-out x.tsm x.pdb 2>&1")));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out,
            "Error: --residues-out names a result file (x.tsm), which only the analysis writes\n");
  EXPECT_EQ(ReadAll("inputs/x.pdb"), crambin);
  EXPECT_FALSE(std::filesystem::exists("inputs/1CRN.tsm"));  // refused before any work
  EXPECT_FALSE(std::filesystem::exists("inputs/x.tsm"));
  // A second run over every .pdb of the folder meets the first run's output among its inputs.
  std::filesystem::copy_file(test::DataPath("1UBQ.pdb"), "inputs/b-x.pdb");
  const std::string ubiquitin = ReadAll("inputs/b-x.pdb");
  const auto derived =
      test::RunCommand(In("inputs", Cli("analyse --bfactor-out b.pdb b-x.pdb x.pdb 2>&1 >/dev/null")));
  EXPECT_EQ(derived.status, 1);
  EXPECT_EQ(derived.out,
            "Error: cannot write b-x.pdb: it is one of the input files, which are never overwritten\n");
  EXPECT_EQ(ReadAll("inputs/b-x.pdb"), ubiquitin);
  EXPECT_TRUE(std::filesystem::exists("inputs/b-b-x.pdb"));
  // A structure or sequence file named NAME.tsm is its own result's name: kept, the result
  // refused, the run failed, with every command that writes results.
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "inputs/crn.tsm");
  std::ofstream("inputs/seq.tsm") << ">a\nMKLLVLLLAVLLAGGGLLVAAW\n";
  const std::string sequence = ReadAll("inputs/seq.tsm");
  for (const char* command : {"analyse crn.tsm", "multi crn.tsm", "spanner2d seq.tsm"}) {
    const auto run = test::RunCommand(In("inputs", Cli(std::string(command) + " 2>&1 >/dev/null")));
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_NE(run.out.find("./" + std::string(command).substr(std::string(command).find(' ') + 1) +
                           ": it is one of the input files, which are never overwritten"),
              std::string::npos)
        << command << ": " << run.out;
  }
  EXPECT_EQ(ReadAll("inputs/crn.tsm"), crambin);
  EXPECT_EQ(ReadAll("inputs/seq.tsm"), sequence);
}

// Files written once for a whole run (the log, which is opened before anything is read, a
// custom table or counts, the helix model) never name an input, whichever of several.
TEST(CliFailures, ARunsOwnFilesNeverReplaceAnInput) {
  std::filesystem::create_directories("run");
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "run/x.pdb");
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "run/helixtest.pdb");
  std::ofstream("run/q.fasta") << ">q\nMKLLVLLLAVLLAGGGLLVAAWLLGGK\n";
  std::ofstream("run/list.txt") << "x.pdb\n";
  std::filesystem::copy_file("run/q.fasta", "run/q.svg");  // a FASTA file, whatever its name
  const std::string crambin = ReadAll("run/x.pdb"), sequence = ReadAll("run/q.fasta");
  for (const char* command :
       {"analyse --log x.pdb x.pdb", "analyse --log ./x.pdb q.fasta x.pdb", "membrane --log x.pdb x.pdb",
        "multi --log x.pdb x.pdb", "multi --custom-table x.pdb x.pdb", "multi --custom-counts x.pdb x.pdb",
        "multi --custom-table list.txt --file-list list.txt",
        "multi --custom-table t.stb --custom-counts ./t.stb x.pdb",
        "merge-counts q.fasta --custom-table q.fasta", "spanner2d --log q.fasta q.fasta",
        "spanner2d --chart q.svg q.svg", "analyse --spanner3d --method window --inspection helixtest.pdb",
        "spanner2d --method window --inspection helixtest.pdb",
        "analyse --log r.tsv --residues-out r.tsv x.pdb", "analyse --log x.tsm x.pdb",
        "multi --custom-table X.TSM x.pdb", "merge-counts q.fasta ./q.fasta --custom-table m.stb"}) {
    const auto run = test::RunCommand(In("run", Cli(std::string(command) + " 2>&1 >/dev/null")));
    EXPECT_EQ(run.status, 2) << command << ": " << run.out;
    EXPECT_EQ(run.out.rfind("Error: ", 0), 0u) << command << ": " << run.out;
  }
  EXPECT_EQ(ReadAll("run/x.pdb"), crambin);
  EXPECT_EQ(ReadAll("run/helixtest.pdb"), crambin);
  EXPECT_EQ(ReadAll("run/q.fasta"), sequence);
  EXPECT_EQ(ReadAll("run/q.svg"), sequence);
  EXPECT_EQ(ReadAll("run/list.txt"), "x.pdb\n");
  EXPECT_FALSE(std::filesystem::exists("run/x.tsm"));  // refused before any work
}

TEST(CliFailures, Spanner3DDomainsAreInTheRowsResultFile) {
  const auto analysed = test::RunCommand(Cli("analyse --spanner3d " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(analysed.status, 0);
  const auto shown = test::RunCommand(Cli("show 1U19.tsm"));
  const size_t domains = analysed.out.find("Predicted Transmembrane Domains:");
  ASSERT_NE(domains, std::string::npos);
  // The domain list (the membrane's placement, which follows it, is not stored).
  auto domainList = [](std::string text) {
    text = text.substr(0, text.find("\n\n"));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  };
  const std::string listed = domainList(analysed.out.substr(domains));
  EXPECT_EQ(domainList(shown.out.substr(shown.out.find("Predicted"))), listed);
  EXPECT_NE(listed.find("\u2192"), std::string::npos);
}

TEST(CliFailures, WritesThatFailExitWithOne) {
  std::filesystem::create_directory("1CRN.tsm");  // the result file cannot take its place
  const auto analysed = test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(analysed.status, 1);
  EXPECT_NE(analysed.out.find("./1CRN.tsm"), std::string::npos);
  const auto multi = test::RunCommand(
      Cli("multi --custom-table no/such/folder/t.stb " + test::DataPath("1UBQ.pdb") + " 2>&1"));
  EXPECT_EQ(multi.status, 1);
  EXPECT_NE(multi.out.find("no/such/folder/t.stb"), std::string::npos);
  // A B-factor file is text: a name that promises gzip, in either case, is refused before
  // any work.
  for (const std::string name : {"b.pdb.gz", "b.pdb.GZ"}) {
    const auto gz =
        test::RunCommand(Cli("analyse --bfactor-out " + name + " " + test::DataPath("1CRN.pdb") + " 2>&1"));
    EXPECT_EQ(gz.status, 2);
    EXPECT_NE(gz.out.find("Error: --bfactor-out " + name + ": the file is written uncompressed"),
              std::string::npos)
        << gz.out;
    EXPECT_FALSE(std::filesystem::exists(name));
  }
  // recalc in a folder it may read but not write: the stored file stays, nothing is printed
  // as a result.
  ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath("1UBQ.pdb"))).status, 0);
  const std::string before = ReadAll("1UBQ.tsm");
  std::filesystem::permissions(".", std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  const auto recalc = test::RunCommand(AsNobody(Cli("recalc --log /dev/null 1UBQ.tsm 2>&1")));
  EXPECT_EQ(recalc.status, 1) << recalc.out;
  EXPECT_NE(recalc.out.find("Error: cannot write 1UBQ.tsm"), std::string::npos) << recalc.out;
  EXPECT_EQ(recalc.out.find("1UBQ.tsm\tDefault.stb"), std::string::npos);
  EXPECT_EQ(ReadAll("1UBQ.tsm"), before);
}

TEST(CliFailures, RecalcPrintsOnlyWhatItDid) {
  for (const char* name : {"1CRN.pdb", "1UBQ.pdb"})
    ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath(name))).status, 0);
  std::ofstream("bad.tsm") << "STRUCTURE\t1\t1\nRESIDUE\tGLY\n";
  const auto result = test::RunCommand(Cli("recalc 1CRN.tsm bad.tsm 1UBQ.tsm"));
  EXPECT_EQ(result.status, 1);
  const auto rows = Table(result.out);
  ASSERT_EQ(rows.size(), 2u);  // the heading and 1CRN
  EXPECT_EQ(rows[1][1], "1CRN.tsm");
  EXPECT_NE(result.err.find("on line 2: bad.tsm"), std::string::npos) << result.err;
  // JSON names the file it stopped at and the one it never reached (it named neither).
  const auto json = test::RunCommand(Cli("recalc --format json 1CRN.tsm bad.tsm 1UBQ.tsm"));
  EXPECT_EQ(json.status, 1);
  const auto document = nlohmann::json::parse(json.out);
  EXPECT_EQ(document["analysis_list"].size(), 1u);
  ASSERT_EQ(document["failures"].size(), 2u) << document;
  EXPECT_EQ(document["failures"][0]["file"], "bad.tsm");
  EXPECT_NE(document["failures"][0]["message"].get<std::string>().find("line 2"), std::string::npos);
  EXPECT_EQ(document["failures"][1]["file"], "1UBQ.tsm");
  EXPECT_EQ(document["failures"][1]["input_index"], 2);
}

TEST(CliFailures, TheLogGoesWhereTheUserAsked) {
  // A program folder of its own whose log folder cannot be made: "temp" is a file.
  namespace fs = std::filesystem;
  const fs::path program = fs::current_path() / "program";
  fs::create_directories(program);
  fs::copy_file(TESSMOL_CLI, program / "tessmol-cli");
  for (const char* data : {"Sphere_Points", "Tessmol_Files"})
    fs::copy(fs::path(TESSMOL_PROGRAM_FOLDER) / data, program / data, fs::copy_options::recursive);
  std::ofstream(program / "temp") << "not a folder";
  const std::string cli = (program / "tessmol-cli").string() + " analyse " + test::DataPath("1CRN.pdb");
  // Nor can the user's state folder hold it.
  const auto without =
      test::RunCommand("XDG_STATE_HOME=" + (program / "temp").string() + " " + cli + " 2>&1");
  EXPECT_NE(without.out.find("Error: Could not find LogFile.Log: " + (program / "temp").string() +
                             "/tessmol/Logfile.log: Not a directory"),
            std::string::npos)
      << without.out;
  const auto with = test::RunCommand(cli + " --log my.log 2>&1");
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(with.out.find("LogFile.Log"), std::string::npos);
  EXPECT_EQ(ReadAll("my.log").rfind("Creating structure 1CRN.pdb", 0), 0u);
  EXPECT_EQ(ReadAll((program / "temp").string()), "not a folder");
  EXPECT_EQ(test::RunCommand(cli + " --log no/such/folder/my.log").status, 1);
}

TEST(CliFailures, ARunWithNothingToLogLeavesTheLastRunsLog) {
  // The default log beside a program of its own: show and a 3-line stream emptied it.
  namespace fs = std::filesystem;
  const fs::path program = fs::current_path() / "logged";
  fs::create_directories(program / "temp");
  fs::copy_file(TESSMOL_CLI, program / "tessmol-cli");
  for (const char* data : {"Sphere_Points", "Tessmol_Files"})
    fs::copy(fs::path(TESSMOL_PROGRAM_FOLDER) / data, program / data, fs::copy_options::recursive);
  const std::string cli = (program / "tessmol-cli").string();
  ASSERT_EQ(test::RunCommand(cli + " analyse " + test::DataPath("1CRN.pdb")).status, 0);
  const std::string log = ReadAll((program / "temp" / "Logfile.log").string());
  ASSERT_NE(log.find("Creating structure 1CRN.pdb"), std::string::npos);
  ASSERT_EQ(test::RunCommand(cli + " show 1CRN.tsm").status, 0);
  ASSERT_EQ(
      test::RunCommand(cli + " spanner2d --format 3line " + test::DataPath("rhodopsin_1gzmA.fasta")).status,
      0);
  EXPECT_EQ(ReadAll((program / "temp" / "Logfile.log").string()), log);
}

TEST(CliFailures, MissingMainChainsAreSaidOnStderr) {
  std::ofstream ca("ca_only.pdb");
  std::ifstream full(test::DataPath("1CRN.pdb"));
  for (std::string line; std::getline(full, line);) {
    if (line.rfind("ATOM", 0) == 0 && line.substr(12, 4) == " CA ") ca << line << '\n';
  }
  ca.close();
  // multi ranked such a file among the others without a word.
  for (const char* command : {"analyse", "multi", "multi --format json"}) {
    const auto result = test::RunCommand(Cli(std::string(command) + " ca_only.pdb 2>&1 >/dev/null"));
    EXPECT_NE(result.out.find("Warning: 46 of 46 residues of ca_only.pdb lack main-chain atoms"),
              std::string::npos)
        << command << ": " << result.out;
  }
}

// ---- JSON for scripts ----------------------------------------------------------------

TEST(CliJson, EveryCommandWritesValidJsonThatAgreesWithTheText) {
  ASSERT_TRUE(test::Installed("python3 -c 'import jsonschema'", "python3-jsonschema"));
  const std::string files = test::DataPath("1CRN.pdb") + " " + test::DataPath("mmcif/1E0P_assembly1.cif.gz");
  ASSERT_EQ(test::RunCommand(Cli("analyse --format json --residues --spanner3d --method segments " + files +
                                 " > analyse.json"))
                .status,
            0);
  EXPECT_EQ(ValidatesAgainstTheSchema("analyse.json"), 0);
  const std::string json = ReadAll("analyse.json");
  EXPECT_NE(json.find("\"name\": \"A-2\""), std::string::npos);  // full chain names
  // The text's average score, to its six decimals, is the JSON's number.
  const auto text = Lines(test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb"))).out);
  const std::string average = text[5].substr(text[5].find(": ") + 2);
  const size_t at = json.find("\"average_score\": ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(json.substr(at + 17)), std::stod(average), 5e-7);
  const std::vector<std::string> commands = {
      "show --residues 1CRN.tsm", "multi " + test::DataPath("1UBQ.pdb"), "recalc 1CRN.tsm",
      "spanner2d --method segments " + test::DataPath("rhodopsin_1gzmA.fasta")};
  for (const std::string& command : commands) {
    ASSERT_EQ(test::RunCommand(Cli(command + " --format json > out.json")).status, 0) << command;
    EXPECT_EQ(ValidatesAgainstTheSchema("out.json"), 0) << command;
  }
}

TEST(CliBFactors, EveryAtomCarriesItsResiduesValue) {
  const auto analysed =
      test::RunCommand(Cli("analyse --residues --bfactor-out scored.pdb " + test::DataPath("1CRN.pdb")));
  ASSERT_EQ(analysed.status, 0);
  std::map<int, double> overall;  // residue number -> overall score, from the residue table
  for (const auto& row : Table(analysed.out)) {
    if (row.size() == 16 && row[0] != "Index") overall[std::stoi(row[3])] = std::stod(row[14]);
  }
  ASSERT_EQ(overall.size(), 46u);
  // gemmi reads it (as mmCIF too), and every atom has its residue's value.
  ASSERT_TRUE(test::ToolInstalled("gemmi", "gemmi"));
  ASSERT_EQ(test::RunCommand("gemmi convert scored.pdb scored.cif").status, 0);
  ASSERT_EQ(
      test::RunCommand(Cli("analyse --bfactor-out scored2.cif " + test::DataPath("1CRN.pdb") + " >/dev/null"))
          .status,
      0);
  ASSERT_EQ(test::RunCommand("gemmi convert scored2.cif back.pdb").status, 0);
  for (const char* file : {"scored.pdb", "back.pdb"}) {
    std::ifstream in(file);
    int atoms = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("ATOM", 0) != 0) continue;
      ++atoms;
      EXPECT_NEAR(std::stod(line.substr(60, 6)), overall.at(std::stoi(line.substr(22, 4))), 0.0051)
          << file << line;
    }
    EXPECT_EQ(atoms, 327) << file;  // crambin's atoms, as analysed
  }
}

// A structure's name goes into one field of record-per-line files: a line break or TAB
// in it must not add a record to the custom table, the counts or the list.
TEST(CliMulti, ANameCannotStartARecordOrAField) {
  for (const char* folder : {"odd", "plain"}) std::filesystem::create_directories(folder);
  std::filesystem::copy_file(test::DataPath("1UBQ.pdb"), "odd/x\nGRADIENT\t5\nYINTERCEPT\t9\r.pdb",
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(test::DataPath("1UBQ.pdb"), "plain/x.pdb",
                             std::filesystem::copy_options::overwrite_existing);
  const std::string crambin = " " + test::DataPath("1CRN.pdb");
  const auto odd = test::RunCommand(
      Cli("multi --custom-table odd.stb --custom-counts odd.counts odd/*" + crambin + " 2>/dev/null"));
  const auto plain =
      test::RunCommand(Cli("multi --custom-table plain.stb plain/*" + crambin + " 2>/dev/null"));
  ASSERT_EQ(odd.status, 0);
  ASSERT_EQ(plain.status, 0);
  const std::string oddTable = ReadAll("odd.stb"), plainTable = ReadAll("plain.stb");
  EXPECT_EQ(oddTable.substr(0, oddTable.find("FILEPATH")), plainTable.substr(0, plainTable.find("FILEPATH")));
  EXPECT_EQ(Lines(oddTable).size(), 18u + 2u + 2u);  // SCORES, the curve, one FILEPATH per structure
  EXPECT_NE(oddTable.find("FILEPATH\todd/x?GRADIENT?5?YINTERCEPT?9?.pdb\n"), std::string::npos);
  ScoreTable read, reference;
  ASSERT_TRUE(read.LoadTable("odd.stb", "odd.stb").ok());
  ASSERT_TRUE(reference.LoadTable("plain.stb", "plain.stb").ok());
  EXPECT_EQ(read.gradient, reference.gradient);
  EXPECT_EQ(read.yIntercept, reference.yIntercept);
  EXPECT_NEAR(read.ExpectedResidueScore(76), reference.ExpectedResidueScore(76), 1e-6);
  ScoreTable counts;
  ASSERT_TRUE(counts.AddCounts("odd.counts").ok());
  EXPECT_EQ(counts.samples.size(), 2u);
  const auto rows = Table(odd.out);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_EQ(row.size(), 11u);
  // Nor in the list of files not analysed.
  std::ofstream("odd/bad\tname\n.pdb") << "no structure\n";
  const auto bad = test::RunCommand(Cli("multi --out-dir badout odd/bad*" + crambin + " 2>/dev/null"));
  EXPECT_EQ(bad.status, 3);
  const std::string notAnalysed = bad.out.substr(bad.out.find("Not analysed\tReason\n"));
  ASSERT_EQ(Lines(notAnalysed).size(), 2u) << notAnalysed;
  EXPECT_EQ(Lines(notAnalysed)[1].rfind("odd/bad?name?.pdb\t", 0), 0u) << notAnalysed;
}

TEST(CliShards, MergedShardsEqualOneRunByteForByte) {
  const std::string files = test::DataPath("1CRN.pdb") + " " + test::DataPath("1UBQ.pdb") + " " +
                            test::DataPath("5PTI.pdb") + " " + test::DataPath("biopython_header.pdb") + " " +
                            test::DataPath("1AKI.pdb");
  const auto single = test::RunCommand(Cli("multi --custom-table one.stb " + files));
  EXPECT_EQ(single.status, 3);  // biopython_header.pdb has no atoms: listed, not analysed
  const std::string table = ReadAll("one.stb");
  ASSERT_FALSE(table.empty());
  for (int parts : {1, 2, 3, 7}) {
    SCOPED_TRACE(parts);
    std::string counts, lists;
    for (int part = 1; part <= parts; ++part) {
      const std::string name = "shard" + std::to_string(part);
      test::RunCommand(Cli("multi --shard " + std::to_string(part) + "/" + std::to_string(parts) +
                           " --custom-counts " + name + ".counts --format json " + files + " > " + name +
                           ".json"));
      counts += " " + name + ".counts";
      lists += " " + name + ".json";
    }
    ASSERT_EQ(test::RunCommand(Cli("merge-counts --custom-table merged.stb" + counts)).status, 0);
    EXPECT_EQ(ReadAll("merged.stb"), table);
    const auto merged = test::RunCommand(Cli("merge-lists" + lists));
    EXPECT_EQ(merged.out, single.out);
    EXPECT_EQ(merged.status, 3);  // as the run's: a file not analysed is no success
  }
  ASSERT_EQ(
      test::RunCommand(Cli("multi --format json " + test::DataPath("1CRN.pdb") + " > clean.json")).status, 0);
  EXPECT_EQ(test::RunCommand(Cli("merge-lists clean.json")).status, 0);
  // A shard given twice would count its structures twice.
  const auto twice = test::RunCommand(Cli("merge-lists shard1.json shard1.json 2>&1"));
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.out.find("is in more than one list"), std::string::npos) << twice.out;
  // A list that is missing, no JSON, or another document is named in words, not in the
  // JSON library's ("[json.exception.parse_error.101] ...").
  std::ofstream("other.json") << "{}";
  std::ofstream("text.json") << "x";
  for (const auto& [list, why] : {std::pair<std::string, std::string>{"gone.json", "no such file"},
                                  {"text.json", "it is no JSON document"},
                                  {"other.json", "it holds no analysis_list"}}) {
    const auto refused = test::RunCommand(Cli("merge-lists clean.json " + list + " 2>&1"));
    EXPECT_EQ(refused.status, 1) << list;
    EXPECT_NE(refused.out.find("Error: cannot read " + list + ": " + why), std::string::npos) << refused.out;
  }
  // So would a copy of a shard's counts, or the whole run's counts beside its shards; and
  // a counts file cut short (its last samples lost at a line's end) is no whole file.
  std::filesystem::copy_file("shard2.counts", "copy.counts");
  ASSERT_EQ(test::RunCommand(Cli("multi --custom-counts all.counts " + files + " >/dev/null 2>&1")).status,
            3);
  for (const char* given : {" shard1.counts shard2.counts copy.counts", " all.counts shard3.counts"}) {
    const auto again =
        test::RunCommand(Cli(std::string("merge-counts --custom-table m.stb") + given + " 2>&1"));
    EXPECT_EQ(again.status, 1) << given;
    EXPECT_NE(again.out.find("is in more than one counts file"), std::string::npos) << again.out;
  }
  const std::string whole = ReadAll("all.counts");
  const size_t lastSample = whole.rfind("SAMPLE");
  ASSERT_NE(lastSample, std::string::npos);
  for (const std::string& cut : {whole.substr(0, lastSample), whole.substr(0, whole.rfind("END"))}) {
    std::ofstream("cut.counts", std::ios::binary) << cut;
    const auto shortened = test::RunCommand(Cli("merge-counts --custom-table m.stb cut.counts 2>&1"));
    EXPECT_EQ(shortened.status, 1);
    EXPECT_NE(shortened.out.find("it was cut short"), std::string::npos) << shortened.out;
  }
  EXPECT_FALSE(std::filesystem::exists("m.stb"));
}

// Two files of one name in different folders: a run names their results x.tsm and x-2.tsm,
// and shards writing into one folder name them alike, so that neither replaces the other
// and the merged list points at the right files.
TEST(CliShards, FilesOfOneNameKeepTheirOwnResults) {
  for (const char* folder : {"a", "b"}) std::filesystem::create_directories(folder);
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "a/x.pdb");
  std::filesystem::copy_file(test::DataPath("1UBQ.pdb"), "b/x.pdb");
  const auto single = test::RunCommand(Cli("multi --format json --out-dir one a/x.pdb b/x.pdb"));
  ASSERT_EQ(single.status, 0) << single.err;
  std::string lists;
  for (const char* part : {"1/2", "2/2"}) {
    const std::string name = std::string("shard") + part[0] + ".json";
    ASSERT_EQ(test::RunCommand(Cli(std::string("multi --format json --out-dir two --shard ") + part +
                                   " a/x.pdb b/x.pdb > " + name))
                  .status,
              0);
    lists += " " + name;
  }
  for (const char* result : {"x.tsm", "x-2.tsm"}) {
    ASSERT_TRUE(std::filesystem::exists(std::string("one/") + result)) << result;
    EXPECT_EQ(ReadAll(std::string("two/") + result), ReadAll(std::string("one/") + result)) << result;
  }
  EXPECT_NE(ReadAll("one/x.tsm"), ReadAll("one/x-2.tsm"));
  const auto merged = test::RunCommand(Cli("merge-lists --format json" + lists));
  ASSERT_EQ(merged.status, 0);
  const nlohmann::json one = nlohmann::json::parse(single.out)["analysis_list"];
  const nlohmann::json both = nlohmann::json::parse(merged.out)["analysis_list"];
  ASSERT_EQ(both.size(), one.size());
  for (size_t k = 0; k < one.size(); ++k) {
    EXPECT_EQ(both[k]["structure"], one[k]["structure"]);
    EXPECT_EQ(both[k]["input_index"], one[k]["input_index"]);
    EXPECT_EQ(both[k]["average_score"], one[k]["average_score"]);
  }
}

// Files whose names look like temporaries, a user's and other programs', and one like ours.
const std::map<std::string, std::string> kLookalikes = {
    {"thesis.partial-2024-01-15.docx", "chapter one"},
    {"backup.tar.partial-20240115", "tar"},
    {"notes.partial-123", "notes"},
    {"1CRN.tsm.partial-1-0", "a writer's in another PID namespace"},
    {".figure.svg.tessmol-tmp-00112233445566ff", "a killed run's"}};

void PlantLookalikes(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder / "x.partial-999999");
  for (const auto& [name, text] : kLookalikes) std::ofstream(folder / name, std::ios::binary) << text;
}

void ExpectLookalikesUntouched(const std::filesystem::path& folder) {
  EXPECT_TRUE(std::filesystem::is_directory(folder / "x.partial-999999"));
  for (const auto& [name, text] : kLookalikes) EXPECT_EQ(ReadAll((folder / name).string()), text) << name;
}

TEST(CliWrites, FilesTheProgramDidNotMakeAreNeverRemoved) {
  PlantLookalikes("work");
  const std::string crambin = test::DataPath("1CRN.pdb");
  const auto svg = test::RunCommand(Cli("analyse --out-dir work --chart work/figure.svg " + crambin));
  ASSERT_EQ(svg.status, 0);
  const auto png = test::RunCommand(Cli("analyse --out-dir work --chart work/figure.png " + crambin));
  ASSERT_EQ(png.status, 0);
  ExpectLookalikesUntouched("work");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("work")) ++entries;
  EXPECT_EQ(entries, kLookalikes.size() + 1 + 3);  // and figure.svg, figure.png, 1CRN.tsm
}

TEST(CliWrites, AWriterInAnotherPidNamespaceKeepsItsTemporary) {
  if (test::RunCommand("unshare -pf --mount-proc true 2>/dev/null").status != 0)
    GTEST_SKIP() << "no PID namespace can be made here (unshare -pf --mount-proc fails)";
  // Here the program runs as PID 1, as another container's writer of 1CRN.tsm.partial-1-0 did.
  PlantLookalikes("shared");
  const std::string run =
      "unshare -pf --mount-proc " + Cli("analyse --out-dir shared --chart shared/figure.svg ");
  // Two at once, each in a namespace of its own, into one folder: both keep their results.
  const auto both = test::RunCommand("(" + run + test::DataPath("1CRN.pdb") + " & " + run +
                                     test::DataPath("1UBQ.pdb") + " & wait %1 && wait %2) >/dev/null");
  EXPECT_EQ(both.status, 0);
  ExpectLookalikesUntouched("shared");
  EXPECT_GT(ReadAll("shared/1CRN.tsm").size(), 1000u);
  EXPECT_GT(ReadAll("shared/1UBQ.tsm").size(), 1000u);
}

TEST(CliWrites, AFullDiskKeepsEveryOldOutputAndSaysWhy) {
  namespace fs = std::filesystem;
  const std::map<std::string, std::string> old = {{"chart.png", "an old picture"},
                                                  {"chart.svg", "<svg>old</svg>"},
                                                  {"1CRN.tsm", "STRUCTURE\t1\t2\nEND\n"}};
  auto check = [&](const std::string& folder, const std::string& limit, const std::string& reason) {
    for (const auto& [name, text] : old) std::ofstream(folder + "/" + name, std::ios::binary) << text;
    if (limit.empty()) std::ofstream(folder + "/filler", std::ios::binary) << std::string(1 << 20, 'f');
    for (const char* chart : {"chart.png", "chart.svg"}) {
      const auto result =
          test::RunCommand(limit + Cli("analyse --out-dir " + folder + " --chart " + folder + "/" + chart +
                                       " " + test::DataPath("1CRN.pdb") + " 2>&1 >/dev/null"));
      EXPECT_EQ(result.status, 1) << chart;
      EXPECT_NE(result.out.find("Error: cannot write " + folder + "/" + chart + ": " + reason),
                std::string::npos)
          << result.out;
      EXPECT_NE(result.out.find(folder + "/1CRN.tsm: " + reason), std::string::npos) << result.out;
    }
    for (const auto& [name, text] : old) EXPECT_EQ(ReadAll(folder + "/" + name), text) << name;
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, old.size() + (limit.empty() ? 1 : 0));  // no temporary left (and the filler)
  };
  // Files that may not grow past 8 KB stand for a full disk anywhere.
  fs::create_directory("limited");
  check("limited", "sh -c 'trap \"\" XFSZ; ulimit -f 16; exec \"$0\" \"$@\"' ", "File too large");
  // A real full disk where a small file system can be mounted.
  fs::create_directory("full");
  if (test::RunCommand("mount -t tmpfs -o size=64k tmpfs full 2>/dev/null").status != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here: the full disk was stood for by a file size limit only";
  check("full", "", "No space left on device");
  test::RunCommand("umount full");
}

TEST(CliWrites, SymlinksPlantedInASharedFolderAreNeverFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to play the other user";
  namespace fs = std::filesystem;
  std::ofstream("precious") << "root's own";
  std::ofstream("precious2") << "root's own";
  fs::create_directory("shared");
  fs::permissions("shared", fs::perms::all | fs::perms::sticky_bit);
  fs::permissions(".", fs::perms::others_exec, fs::perm_options::add);
  const std::string precious = fs::absolute("precious").string();
  const std::vector<std::string> names = {"figure.svg", "chart.png", "1CRN.tsm", "helixtest.pdb", "my.log"};
  std::string plant = "cd shared";
  // The helix model's link leads elsewhere: two outputs of one run that lead to one file
  // are refused before any work, as two names for one file.
  for (const std::string& name : names)
    plant +=
        " && ln -s " + (name == "helixtest.pdb" ? fs::absolute("precious2").string() : precious) + " " + name;
  ASSERT_EQ(test::RunCommand(AsNobody("sh -c '" + plant + "'")).status, 0);
  const std::string crambin = test::DataPath("1CRN.pdb");
  // Each output whose name holds a link is refused, said, and fails the run; the others
  // of the same run are written.
  const auto run = test::RunCommand(
      "cd shared && " +
      Cli("analyse --spanner3d --method window --inspection --chart figure.svg " + crambin) + " 2>&1");
  EXPECT_EQ(run.status, 1);
  for (const std::string name : {"figure.svg", "1CRN.tsm"}) {
    EXPECT_NE(run.out.find(name + ": it is a symbolic link, not a file; nothing is written over it"),
              std::string::npos)
        << run.out;
  }
  const auto png = test::RunCommand("cd shared && " + Cli("analyse --chart chart.png " + crambin) + " 2>&1");
  EXPECT_EQ(png.status, 1);
  EXPECT_NE(png.out.find("chart.png: it is a symbolic link"), std::string::npos) << png.out;
  // The log the user named is a symlink: refused (by the kernel's own guard here, or for
  // being a symlink), said, and the run fails.
  const auto logged =
      test::RunCommand("cd shared && " + Cli("analyse --log my.log " + crambin) + " 2>&1 >/dev/null");
  EXPECT_EQ(logged.status, 1);
  EXPECT_NE(logged.out.find("Error: Could not find LogFile.Log: my.log: "), std::string::npos) << logged.out;
  // A write-protected file named as the log is kept whole, as every other output keeps it
  // (the mode would not stop root, nor the emptying a run gives its log).
  std::ofstream("shared/kept.log") << "a user's notes";
  fs::permissions("shared/kept.log", fs::perms::owner_read | fs::perms::group_read);
  const auto kept =
      test::RunCommand("cd shared && " + Cli("analyse --log kept.log " + crambin) + " 2>&1 >/dev/null");
  EXPECT_EQ(kept.status, 1);
  EXPECT_NE(kept.out.find("kept.log: it is write-protected; nothing is written over it"), std::string::npos)
      << kept.out;
  EXPECT_EQ(ReadAll("shared/kept.log"), "a user's notes");
  EXPECT_EQ(ReadAll("precious"), "root's own");
  EXPECT_EQ(ReadAll("precious2"), "root's own");
  for (const std::string& name : names) EXPECT_TRUE(fs::is_symlink("shared/" + name)) << name;
}

// An output named after a device or a pipe (a chart to /dev/null, a figure to a named pipe)
// is refused, never replaced by a file: the system's /dev entries are not ours.
TEST(CliWrites, DevicesAndPipesAreNeverReplaced) {
  namespace fs = std::filesystem;
  ASSERT_EQ(::mkfifo("figure.svg", 0600), 0);
  fs::create_symlink("/dev/null", "null.png");
  for (const std::string name : {"figure.svg", "null.png"}) {
    const auto run =
        test::RunCommand(Cli("analyse --chart " + name + " " + test::DataPath("1CRN.pdb")) + " 2>&1");
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.out.find("Error: cannot write " + name + ": it is a"), std::string::npos) << run.out;
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status("figure.svg")));
  EXPECT_TRUE(fs::is_symlink("null.png"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(CliFailures, ALogThatCannotTakeItsLinesFailsTheRun) {
  const auto result =
      test::RunCommand(Cli("analyse --log /dev/full " + test::DataPath("1CRN.pdb") + " 2>&1 >/dev/null"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("Error: cannot write /dev/full: No space left on device"), std::string::npos)
      << result.out;
}

TEST(CliFailures, RewrittenResultFilesKeepTheirMode) {
  ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb"))).status, 0);
  std::filesystem::permissions("1CRN.tsm",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(test::RunCommand(Cli("recalc 1CRN.tsm >/dev/null")).status, 0);
  EXPECT_EQ(std::filesystem::status("1CRN.tsm").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A copy of crambin whose first residue is named "TH\xe9" and chain "\xe9": bytes that are
// not UTF-8, as a Latin-1 file holds them.
void WriteLatin1Crambin(const std::string& path) {
  std::ifstream in(test::DataPath("1CRN.pdb"));
  std::ofstream out(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ATOM", 0) == 0 && line.substr(17, 9) == "THR A   1") line.replace(17, 5, "TH\xe9 \xe9");
    out << line << '\n';
  }
}

// The JSON file parses, and holds U+FFFD where the bytes were not UTF-8.
bool ParsesWithReplacement(const std::string& file) {
  return test::RunCommand(
             "python3 -c 'import json, sys; d = json.load(open(sys.argv[1], encoding=\"utf-8\")); "
             "sys.exit(0 if \"\\ufffd\" in json.dumps(d, ensure_ascii=False) else 3)' " +
             file)
             .status == 0;
}

TEST(CliJson, BytesThatAreNotUtf8AreWrittenAsReplacementCharacters) {
  const test::ScratchFolder scratch;  // names of its own
  const std::string name = "caf\xe9 model.pdb";
  WriteLatin1Crambin(name);
  const auto analysed =
      test::RunCommand(Cli("analyse --residues --format json '" + name + "' > analysed.json"));
  EXPECT_EQ(analysed.status, 0) << analysed.err;
  EXPECT_TRUE(ParsesWithReplacement("analysed.json"));
  EXPECT_NE(ReadAll("analysed.json").find("\"name\": \"TH\xef\xbf\xbd\""), std::string::npos);
  const auto multi = test::RunCommand(Cli("multi --format json '" + name + "' > multi.json"));
  EXPECT_EQ(multi.status, 0) << multi.err;
  EXPECT_TRUE(ParsesWithReplacement("multi.json"));
  const auto shown = test::RunCommand(Cli("show --residues --format json 'caf\xe9 model.tsm' > shown.json"));
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(ParsesWithReplacement("shown.json"));
}

TEST(CliOutput, AStandardOutputThatCannotBeWrittenExitsWithOne) {
  const std::string expected = "Error: cannot write standard output: No space left on device";
  for (const std::string& command :
       {"analyse --residues " + test::DataPath("1CRN.pdb"),
        "spanner2d " + test::DataPath("rhodopsin_1gzmA.fasta"),
        "multi --format json " + test::DataPath("1CRN.pdb") + " " + test::DataPath("1UBQ.pdb")}) {
    const auto result = test::RunCommand(Cli(command + " > /dev/full"));
    EXPECT_EQ(result.status, 1) << command;
    EXPECT_NE(result.err.find(expected), std::string::npos) << command << "\n" << result.err;
  }
}

// Names a shell would read as code, and one missing file, given to multi as a list.
TEST(CliMulti, AFileListTakesAnyNameAndUnreadableInputsHaveTheirOwnStatus) {
  const test::ScratchFolder scratch;  // names of its own
  const std::vector<std::string> names = {"x';touch PWNED;echo '.pdb", "$(touch PWNED) $HOME.pdb",
                                          "two\nlines.pdb"};
  for (const std::string& name : names) std::filesystem::copy_file(test::DataPath("1CRN.pdb"), name);
  std::ofstream list("files.list", std::ios::binary);
  list << names[0] << '\0' << "missing.pdb" << '\0' << names[1] << '\0' << names[2] << '\0';
  list.close();
  const auto json = test::RunCommand(Cli("multi --file-list files.list --format json > list.json"));
  EXPECT_EQ(json.status, 3) << json.err;
  EXPECT_FALSE(std::filesystem::exists("PWNED"));
  const std::string text = ReadAll("list.json");
  EXPECT_NE(text.find("\"file\": \"missing.pdb\",\n      \"input_index\": 1"), std::string::npos) << text;
  EXPECT_NE(text.find("x';touch PWNED;echo '.tsm"), std::string::npos);
  EXPECT_NE(text.find("two\\nlines.tsm"), std::string::npos);
  // One a line (begun and ended as a Windows editor may save them), and the failures after the list.
  std::ofstream("lines.list") << "\xEF\xBB\xBF" << names[0] << "\r\nmissing.pdb\r\r\n" << names[1] << "\r\n";
  const auto tsv = test::RunCommand(Cli("multi --file-list lines.list"));
  EXPECT_EQ(tsv.status, 3);
  const auto rows = Table(tsv.out);
  ASSERT_EQ(rows.size(), 6u) << tsv.out;  // heading, 2 rows, blank, heading, missing.pdb
  EXPECT_EQ(rows[4][0], "Not analysed");
  EXPECT_EQ(rows[5][0], "missing.pdb");
  EXPECT_EQ(rows[5][1].rfind("cannot read missing.pdb", 0), 0u) << rows[5][1];  // a reason, not "Error: ..."
  EXPECT_EQ(rows[1][1], "x';touch PWNED;echo '.tsm") << tsv.out;                // no CR kept in the name
  // A result that cannot be written is status 1, whatever else failed.
  std::filesystem::create_directory("1CRN.tsm");
  EXPECT_EQ(test::RunCommand(Cli("multi missing.pdb " + test::DataPath("1CRN.pdb"))).status, 1);
  EXPECT_EQ(test::RunCommand(Cli("multi --file-list no-such.list")).status, 2);
}

// The net under every test that starts a process: a sanitizer's report fails the test,
// and the sanitizers end a process with a status no program here uses.
TEST(CliSanitizers, AReportFailsTheTestWhateverTheStatus) {
  EXPECT_NONFATAL_FAILURE(test::RunCommand("echo '==1==ERROR: LeakSanitizer: detected memory leaks' >&2"),
                          "a sanitizer reported a fault");
  EXPECT_NONFATAL_FAILURE(test::RunCommand("echo 'x.cpp:1:2: runtime error: signed integer overflow'"),
                          "a sanitizer reported a fault");
  const auto options = test::RunCommand("echo \"$ASAN_OPTIONS $UBSAN_OPTIONS\"");
  EXPECT_NE(options.out.find("exitcode=86"), std::string::npos);
  EXPECT_NE(options.out.find("halt_on_error=1:exitcode=86"), std::string::npos);
}

}  // namespace
}  // namespace tessmol
