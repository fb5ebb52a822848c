// What tessmol-cli's outputs record and keep: waters as the solvent, the version and the
// run's parameters, option names, tables for data-analysis programs, JSON numbers, B-factor
// files that keep their input, and what `read` reports.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "cli_support.h"
#include "model/structure.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::Cli;
using test::ReadAll;

const testing::Environment* const kScratch = testing::AddGlobalTestEnvironment(new test::ScratchEnvironment);

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The number after `label` on the summary line that starts with it.
double SummaryValue(const std::string& summary, const std::string& label) {
  const size_t at = summary.find(label);
  if (at == std::string::npos) return std::nan("");
  return std::strtod(summary.c_str() + at + label.size(), nullptr);
}

// ---- waters are the solvent ------------------------------------------------------------

TEST(CliWaters, WaterNamesOfCrystalsAndSimulations) {
  for (const char* water : {"HOH", "WAT", "DOD", "H2O", "D2O", "SOL", "TIP", "TIP3", "SPC", " HOH"})
    EXPECT_TRUE(IsWaterName(water)) << water;
  for (const char* other : {"HEM", "NAG", "ZN", "SO4", "PO4", "OH", "HO"})
    EXPECT_FALSE(IsWaterName(other)) << other;
}

TEST(CliWaters, HaemoglobinsWatersNeverCoverItsHemesDo) {
  // 4HHB as deposited, and the same file without its HOH lines.
  ASSERT_EQ(
      test::RunCommand("grep -v '^HETATM.\\{11\\}HOH' " + test::DataPath("4HHB.pdb") + " > dry.pdb").status,
      0);
  const auto wet = test::RunCommand(Cli("analyse " + test::DataPath("4HHB.pdb")));
  const auto dry = test::RunCommand(Cli("analyse dry.pdb"));
  const auto bare = test::RunCommand(Cli("analyse --ignore-het " + test::DataPath("4HHB.pdb")));
  ASSERT_EQ(wet.status, 0) << wet.err;
  ASSERT_EQ(dry.status, 0) << dry.err;
  ASSERT_EQ(bare.status, 0) << bare.err;
  const std::string area = "Total Solvent Accessible Surface Area: ";
  EXPECT_EQ(SummaryValue(wet.out, area), SummaryValue(dry.out, area));
  EXPECT_EQ(SummaryValue(wet.out, "Average Residue Score: "),
            SummaryValue(dry.out, "Average Residue Score: "));
  // The four hemes (and two phosphates) still cover their pockets.
  EXPECT_LT(SummaryValue(wet.out, area), SummaryValue(bare.out, area) - 500.0);
  // Counted in the file: the waters' oxygens (one line a molecule) and the other HETATM lines.
  const auto waters = test::RunCommand("grep -c '^HETATM.\\{11\\}HOH' " + test::DataPath("4HHB.pdb"));
  const auto others = test::RunCommand("grep '^HETATM' " + test::DataPath("4HHB.pdb") +
                                       " | grep -v '^HETATM.\\{11\\}HOH' | awk '$NF != \"H\"' | wc -l");
  EXPECT_NE(wet.out.find("Heteroatoms covering the surface: " + std::to_string(std::stoi(others.out)) +
                         "; waters left out: " + std::to_string(std::stoi(waters.out))),
            std::string::npos)
      << wet.out;
  EXPECT_NE(bare.out.find("Heteroatoms covering the surface: 0 (heteroatoms ignored)"), std::string::npos);
}

TEST(CliWaters, HemeCoverAgreesWithFreeSasa) {
  ASSERT_TRUE(test::ToolInstalled("freesasa", "freesasa"));
  // FreeSASA's protein area with and without the hemes and phosphates beside it; its radii
  // (ProtOr) differ from ours, so the two covers agree within a tenth, not to the square
  // angstrom (2,085 against 2,117 when this was written).
  const std::string pdb = test::DataPath("4HHB.pdb");
  ASSERT_EQ(test::RunCommand("grep -v '^HETATM.\\{11\\}HOH' " + pdb + " > hemes.pdb && grep -v '^HETATM' " +
                             pdb + " > protein.pdb")
                .status,
            0);
  // The protein residues' area in RSA output (the hemes' and phosphates' rows left out).
  const std::string sum =
      " --format=rsa 2>/dev/null | awk '/^RES/ && $2 != \"HEM\" && $2 != \"PO4\" {s += $5} END {printf "
      "\"%.1f\", s}'";
  const auto with = test::RunCommand("freesasa --hetatm hemes.pdb" + sum);
  const auto without = test::RunCommand("freesasa protein.pdb" + sum);
  const double freesasaCover = std::stod(without.out) - std::stod(with.out);
  const auto wet = test::RunCommand(Cli("analyse " + pdb));
  const auto bare = test::RunCommand(Cli("analyse --ignore-het " + pdb));
  const std::string area = "Total Solvent Accessible Surface Area: ";
  const double ourCover = SummaryValue(bare.out, area) - SummaryValue(wet.out, area);
  EXPECT_GT(freesasaCover, 500.0);
  EXPECT_NEAR(ourCover / freesasaCover, 1.0, 0.1) << ourCover << " against FreeSASA's " << freesasaCover;
}

// ---- the version and the run's parameters ---------------------------------------------

std::string ProjectVersion() {
  const std::string cmake = ReadAll(std::string(TESSMOL_TEST_SOURCE) + "/../CMakeLists.txt");
  std::smatch match;
  if (!std::regex_search(cmake, match, std::regex(R"(project\(Tessmol VERSION ([0-9.]+))"))) return "?";
  return match[1];
}

TEST(CliVersion, VersionIsTheProjects) {
  const auto result = test::RunCommand(Cli("--version"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "tessmol-cli " + ProjectVersion() + "\n");
}

TEST(CliVersion, EveryOutputRecordsTheRunsParameters) {
  const std::string version = ProjectVersion();
  const std::string pdb = test::DataPath("1CRN.pdb");
  const auto text =
      test::RunCommand(Cli("analyse --resolution 1 --ignore-het --secondary-structure computed " + pdb));
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string line = "Tessmol " + version +
                           "; resolution 1 (162 points per atom); heteroatoms: all left out; secondary "
                           "structure: computed; score table: Default.stb";
  EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
  // The result file keeps them, and what reads it back says them again.
  const std::string stored = ReadAll("1CRN.tsm");
  EXPECT_TRUE(
      std::regex_search(stored.substr(0, stored.find('\n')),
                        std::regex("^STRUCTURE\t[^\t]+\t[^\t]+\tversion=" + version +
                                   "\tresolution=1\theteroatoms=all-out\tsecondary-structure=computed\t")))
      << "after the two numbers of STRUCTURE: " << stored.substr(0, 200);
  const auto shown = test::RunCommand(Cli("show 1CRN.tsm"));
  EXPECT_NE(shown.out.find(line), std::string::npos) << shown.out;
  const auto json = test::RunCommand(Cli("analyse --format json --resolution 1 " + pdb));
  EXPECT_NE(json.out.find("\"version\": \"" + version + "\""), std::string::npos);
  EXPECT_NE(json.out.find("\"points_per_atom\": 162"), std::string::npos);
  EXPECT_NE(json.out.find("\"heteroatoms\": \"waters_left_out\""), std::string::npos);
  // A Spanner run adds its method.
  const auto spanner = test::RunCommand(Cli("analyse --spanner3d --method segments " + pdb));
  EXPECT_NE(spanner.out.find("; transmembrane method: segments"), std::string::npos) << spanner.out;
}

TEST(CliVersion, AResultFileWithoutParametersStillReads) {
  ASSERT_EQ(test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb") + " >/dev/null")).status, 0);
  // As an earlier version wrote it: the STRUCTURE record with its two numbers only.
  ASSERT_EQ(test::RunCommand("sed '1s/\\tversion=.*//' 1CRN.tsm > old.tsm").status, 0);
  const auto shown = test::RunCommand(Cli("show old.tsm"));
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Parameters: not recorded"), std::string::npos) << shown.out;
}

// ---- option names, help and refusals ---------------------------------------------------

TEST(CliOptions, KebabCaseNamesWithTheOlderNamesAsHiddenAliases) {
  const std::string args = " --spanner3d --method window " + test::DataPath("1CRN.pdb");
  const auto kebab = test::RunCommand(Cli("analyse --min-area-difference 11" + args));
  const auto camel = test::RunCommand(Cli("analyse --minAreaDifference 11" + args));
  EXPECT_EQ(kebab.status, 2);
  EXPECT_EQ(camel.status, 2);
  EXPECT_NE(kebab.err.find("--min-area-difference: "), std::string::npos) << kebab.err;
  EXPECT_EQ(camel.err, kebab.err);
  EXPECT_EQ(test::RunCommand(Cli("analyse --tmLengthMin 40 --tm-length-max 12" + args)).status, 2);
  const auto help = test::RunCommand(Cli("analyse --help"));
  EXPECT_NE(help.out.find("--tm-length-min"), std::string::npos);
  EXPECT_EQ(help.out.find("tmLengthMin"), std::string::npos);
  // Every option of every command is in kebab-case.
  for (const char* command : {"analyse", "multi", "spanner2d", "membrane", "read", "show", "recalc"}) {
    const auto text = test::RunCommand(Cli(std::string(command) + " --help"));
    EXPECT_FALSE(std::regex_search(text.out, std::regex("--[a-z]+[A-Z]"))) << command << "\n" << text.out;
  }
}

TEST(CliOptions, HelpNamesTheInputsWrapsAndFitsTheCommand) {
  const auto top = test::RunCommand(Cli("--help"));
  const auto analyse = test::RunCommand(Cli("analyse --help"));
  for (const std::string& help : {top.out, analyse.out}) {
    EXPECT_NE(help.find("mmCIF"), std::string::npos) << help;
    EXPECT_NE(help.find("gzip"), std::string::npos) << help;
    for (const std::string& line : Lines(help)) EXPECT_LE(line.size(), 80u) << line;
  }
  // Sequences have no heteroatoms or records; a FASTA file may come gzip-compressed.
  const auto spanner2d = test::RunCommand(Cli("spanner2d --help"));
  for (const char* structureOnly : {"--ignore-het", "--secondary-structure", "slab"})
    EXPECT_EQ(spanner2d.out.find(structureOnly), std::string::npos) << structureOnly;
  EXPECT_NE(spanner2d.out.find("one gzip-compressed FASTA file may"), std::string::npos) << spanner2d.out;
  EXPECT_NE(spanner2d.out.find("--resolution"), std::string::npos);
}

TEST(CliOptions, TransmembraneSettingsWithoutATransmembraneRunAreRefused) {
  test::ScratchFolder scratch;
  const std::string pdb = " " + test::DataPath("1CRN.pdb");
  for (const char* option : {"--method slab", "--method window", "--moving-average 5", "--kavelinMin 0.1"}) {
    const auto result = test::RunCommand(Cli(std::string("analyse ") + option + pdb));
    EXPECT_EQ(result.status, 2) << option;
    EXPECT_NE(result.err.find("only runs with --spanner3d"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  // Transmembrane B-factors need the prediction: without it every residue would read 0.
  const auto bfactors = test::RunCommand(Cli("analyse --bfactor transmembrane --bfactor-out tm.pdb" + pdb));
  EXPECT_EQ(bfactors.status, 2);
  EXPECT_NE(bfactors.err.find("only run with --spanner3d"), std::string::npos) << bfactors.err;
  EXPECT_FALSE(std::ifstream("tm.pdb").good());
  // So are the helix model of a run that builds none, a chart's settings without a chart,
  // the window scan's settings for another method and what a 3-line stream never makes.
  const std::pair<const char*, const char*> refused[] = {
      {"analyse --inspection", "only runs with --spanner3d --method window"},
      {"analyse --spanner3d --inspection", "only runs with --spanner3d --method window"},
      {"analyse --spanner3d --method slab --inspection", "only runs with --spanner3d --method window"},
      {"analyse --spanner3d slab", "slab is no file: Spanner3D's method is chosen with --method slab"},
      {"analyse --chart-size 800x400", "which is only drawn with --chart"},
      {"analyse --chart-range 1-20", "which is only drawn with --chart"},
      {"analyse --chart-chains A", "which is only drawn with --chart"},
      {"spanner2d --chart-size 800x400", "which is only drawn with --chart"},
      {"analyse --spanner3d --tm-length-min 15",
       "--tm-length-min sets the window scan, which only runs with"},
      {"analyse --spanner3d --method segments --movingAverage 5", "--movingAverage sets the window scan"},
      {"spanner2d --kavelin-min 0.1",
       "--kavelin-min sets the window scan, which only runs with --method window"},
      {"spanner2d --format 3line --residues", "--residues does nothing with --format 3line"},
      {"spanner2d --format 3line --out-dir out", "--out-dir does nothing with --format 3line"},
      {"spanner2d --format 3line --chart c.svg", "--chart does nothing with --format 3line"},
      {"spanner2d --method window --format 3line --inspection",
       "--inspection does nothing with --format 3line"},
      {"spanner2d --format 3line --resolution 3",
       "--resolution does nothing with --format 3line and the segments"}};
  for (const auto& [command, message] : refused) {
    const std::string input = std::string(command).rfind("spanner2d", 0) == 0
                                  ? " " + test::DataPath("bacteriorhodopsin_4xxjA.fasta")
                                  : pdb;
    const auto result = test::RunCommand(Cli(command + input));
    EXPECT_EQ(result.status, 2) << command;
    EXPECT_NE(result.err.find(message), std::string::npos) << command << ": " << result.err;
    EXPECT_TRUE(result.out.empty()) << command;
  }
  EXPECT_FALSE(std::filesystem::exists("c.svg"));
  EXPECT_FALSE(std::filesystem::exists("helixtest.pdb"));
  EXPECT_FALSE(std::filesystem::exists("out"));
}

// ---- tables for data-analysis programs -------------------------------------------------

TEST(CliTables, ResiduesOutIsOneTableWithOneHeadingLine) {
  const std::string files = test::DataPath("1CRN.pdb") + " " + test::DataPath("5PTI.pdb");
  const auto result = test::RunCommand(Cli("analyse --quiet --residues " + files + " > quiet.tsv"));
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_EQ(test::RunCommand(Cli("analyse --residues-out crambin.tsv " + test::DataPath("1CRN.pdb"))).status,
            0);
  // Python's csv module, as a script reads it: one heading line, every row as wide.
  const std::string script =
      "import csv, re, sys\n"
      "for name in sys.argv[1:]:\n"
      "    rows = list(csv.reader(open(name, newline=''), delimiter='\\t'))\n"
      "    head = rows[0]\n"
      "    assert all(re.fullmatch('[a-z][a-z0-9_]*', h) for h in head), head\n"
      "    assert all(len(r) == len(head) for r in rows), name\n"
      "    assert not any(r[0] == head[0] for r in rows[1:]), 'a second heading line'\n"
      "    for r in rows[1:]: float(r[head.index('overall_score')]); float(r[head.index('sasa')])\n"
      "    print(name, len(rows) - 1, sorted(set(r[0] for r in rows[1:])))\n";
  std::ofstream("check.py") << script;
  const auto checked = test::RunCommand("python3 check.py quiet.tsv crambin.tsv");
  ASSERT_EQ(checked.status, 0) << checked.err;
  // Crambin's 46 residues and BPTI's 58, counted in the files' SEQRES records.
  EXPECT_NE(checked.out.find("quiet.tsv 104 ['1CRN.pdb', '5PTI.pdb']"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("crambin.tsv 46 ['1CRN.pdb']"), std::string::npos) << checked.out;
}

TEST(CliTables, SummaryGivesExpectedAndCompatibleScoresAndUnits) {
  const auto result = test::RunCommand(Cli("analyse " + test::DataPath("1CRN.pdb")));
  ASSERT_EQ(result.status, 0);
  EXPECT_NE(result.out.find(" \u00c5\u00b2\n"), std::string::npos);
  const double expected = SummaryValue(result.out, "Expected Residue Score: ");
  // ln S = -0.83 + 1.008 ln L for crambin's 46 residues (Default.stb's curve).
  EXPECT_NEAR(expected, std::exp(-0.83 + 1.008 * std::log(46.0)) / 46.0, 0.01);
  EXPECT_NEAR(SummaryValue(result.out, "Compatible Residue Score: "), 0.45 * expected, 1e-5);
}

// ---- JSON -------------------------------------------------------------------------------

TEST(CliJson, NumbersAreTheShortestTextOfTheirFloats) {
  const auto result = test::RunCommand(Cli("analyse --format json --residues " + test::DataPath("1CRN.pdb")));
  ASSERT_EQ(result.status, 0);
  const std::regex number(R"([:\[,]\s*(-?[0-9]+\.[0-9]+(?:[eE][-+]?[0-9]+)?))");
  size_t checked = 0;
  for (std::sregex_iterator it(result.out.begin(), result.out.end(), number), end; it != end; ++it) {
    const std::string text = (*it)[1];
    const float value = std::strtof(text.c_str(), nullptr);
    char shortest[32];
    const auto [last, error] = std::to_chars(shortest, shortest + sizeof shortest, value);
    ASSERT_EQ(error, std::errc());
    // JSON writes a whole number as 3.0 where the float's shortest text is 3.
    const std::string expected(shortest, last);
    EXPECT_TRUE(text == expected || text == expected + ".0") << text << " for " << expected;
    ++checked;
  }
  EXPECT_GT(checked, 46u * 8u);
}

TEST(CliJson, MissingInputsAreFailuresInTheDocument) {
  const auto result =
      test::RunCommand(Cli("analyse --format json nowhere.pdb " + test::DataPath("1CRN.pdb")));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\"failures\""), std::string::npos);
  EXPECT_NE(result.out.find("\"file\": \"nowhere.pdb\""), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\"input_index\": 0"), std::string::npos);
  EXPECT_NE(result.out.find("\"file\": \"1CRN.pdb\""), std::string::npos);
  const auto spanner = test::RunCommand(
      Cli("spanner2d --format json " + test::DataPath("bacteriorhodopsin_4xxjA.fasta") + " nowhere.fasta"));
  EXPECT_EQ(spanner.status, 1);
  EXPECT_NE(spanner.out.find("\"file\": \"nowhere.fasta\""), std::string::npos) << spanner.out;
  EXPECT_NE(spanner.out.find("\"input_index\": 1"), std::string::npos);
  EXPECT_NE(spanner.out.find("\"file\": \"bacteriorhodopsin_4xxjA.fasta\""), std::string::npos);
}

// A result that could not be written (a folder sits at its name) is a failure in the
// document, and its row, which stays in the list, names no result file; a merged list
// keeps the pair as it is.
TEST(CliJson, UnwrittenResultsAreFailuresNotFiles) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::absolute("unwritten");
  fs::create_directories(folder / "bacteriorhodopsin_4xxjA.tsm");
  fs::create_directories(folder / "1CRN.tsm");
  const std::string in = "cd " + folder.string() + " && ";
  const auto spanner = test::RunCommand(
      in + Cli("spanner2d --format json " + test::DataPath("bacteriorhodopsin_4xxjA.fasta")));
  EXPECT_EQ(spanner.status, 1);
  const auto modelled = nlohmann::json::parse(spanner.out);
  ASSERT_EQ(modelled["analysis_list"].size(), 1u);
  EXPECT_TRUE(modelled["analysis_list"][0]["result_file"].is_null());
  ASSERT_EQ(modelled["failures"].size(), 1u) << modelled["failures"];
  EXPECT_EQ(modelled["failures"][0]["input_index"], 0);
  EXPECT_NE(modelled["failures"][0]["message"].get<std::string>().find("it is a folder"), std::string::npos);
  ASSERT_EQ(modelled["structures"].size(), 1u);  // the model itself was made
  EXPECT_TRUE(modelled["structures"][0]["result_file"].is_null());

  const auto list = test::RunCommand(in + Cli("multi --format json " + test::DataPath("1CRN.pdb") + " " +
                                              test::DataPath("1UBQ.pdb") + " > list.json"));
  EXPECT_EQ(list.status, 1);
  const auto merged = test::RunCommand(in + Cli("merge-lists --format json list.json"));
  ASSERT_EQ(merged.status, 1) << merged.err;  // as the run's, which could not write a result
  for (const std::string& text : {ReadAll((folder / "list.json").string()), merged.out}) {
    const auto run = nlohmann::json::parse(text);
    ASSERT_EQ(run["analysis_list"].size(), 2u);
    ASSERT_EQ(run["failures"].size(), 1u);
    EXPECT_EQ(run["failures"][0]["file"], test::DataPath("1CRN.pdb"));
    for (const auto& row : run["analysis_list"])
      EXPECT_EQ(row["result_file"].is_null(), row["input_index"] == 0) << row;
  }
  EXPECT_TRUE(fs::is_regular_file(folder / "1UBQ.tsm"));
  // So is a chart that could not be drawn into its file (it exited 1 with no failure).
  const auto chart =
      test::RunCommand(in + Cli("analyse --format json --chart nodir/x.svg " + test::DataPath("1UBQ.pdb")));
  EXPECT_EQ(chart.status, 1);
  const auto charted = nlohmann::json::parse(chart.out);
  ASSERT_EQ(charted["failures"].size(), 1u) << charted;
  EXPECT_NE(charted["failures"][0]["message"].get<std::string>().find("nodir/x.svg"), std::string::npos);

  // Two records of one FASTA file, neither result written: one input with two failures,
  // each naming its record, which a merged list keeps.
  {
    std::ofstream fasta(folder / "two.fasta");
    fasta << ">first\nMKTLLLTLVVVTIVCLDLGYTLKCNKLVPLFYKTCPAGKNLCYKMFMVATPKVPVKRGCIDVCPKSSLLVKYVCCNTDRCN\n"
          << ">second\nMALWMRLLPLLALLALWGPDPAAAFVNQHLCGSHLVEALYLVCGERGFFYTPKTRREAEDLQVGQVELGGGPGAGSLQ\n";
  }
  fs::create_directories(folder / "two.tsm");
  fs::create_directories(folder / "two-2.tsm");
  EXPECT_EQ(test::RunCommand(in + Cli("spanner2d --format json two.fasta > records.json")).status, 1);
  const auto records = test::RunCommand(in + Cli("merge-lists --format json records.json"));
  ASSERT_EQ(records.status, 1) << records.err;
  const auto recordRun = nlohmann::json::parse(records.out);
  ASSERT_EQ(recordRun["failures"].size(), 2u) << recordRun;
  EXPECT_EQ(recordRun["failures"][0]["record"], "first");
  EXPECT_EQ(recordRun["failures"][1]["record"], "second");
  const auto recordText = test::RunCommand(in + Cli("merge-lists records.json"));
  EXPECT_NE(recordText.out.find("two.fasta (record second)"), std::string::npos) << recordText.out;
  // The same list twice is still refused.
  EXPECT_EQ(test::RunCommand(in + Cli("merge-lists records.json records.json")).status, 1);
}

// ---- B-factor files ---------------------------------------------------------------------

TEST(CliBFactor, PdbKeepsEveryColumnButTheBFactors) {
  const std::string pdb = test::DataPath("4HHB.pdb");
  ASSERT_EQ(test::RunCommand(Cli("analyse --bfactor-out b.pdb --residues-out b.tsv " + pdb)).status, 0);
  const std::vector<std::string> in = Lines(ReadAll(pdb)), out = Lines(ReadAll("b.pdb"));
  ASSERT_EQ(in.size(), out.size());
  size_t changed = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    const std::string& a = in[i];
    const std::string& b = out[i];
    if (a == b) continue;
    ASSERT_GE(a.size(), 66u) << a;
    EXPECT_EQ(a.substr(0, 60), b.substr(0, 60));
    EXPECT_EQ(a.substr(66), b.substr(66));
    // Only analysed residues change: no water, no heme.
    EXPECT_EQ(a.compare(0, 4, "ATOM"), 0) << a;
    ++changed;
  }
  EXPECT_GT(changed, 4000u);
  // Chain A's Val 1 carries its overall score, as the residue table gives it.
  const auto score = test::RunCommand("awk -F'\\t' '$4 == \"A\" && $5 == 1 {printf \"%6.2f\", $17}' b.tsv");
  const auto bfactor = test::RunCommand("grep '^ATOM.\\{9\\}CA  VAL A   1 ' b.pdb | cut -c61-66");
  EXPECT_EQ(score.out + "\n", bfactor.out);
  EXPECT_EQ(score.out.size(), 6u);
}

TEST(CliBFactor, MmcifKeepsItsAtomsAndNamesItsBlockAfterTheStructure) {
  ASSERT_TRUE(test::ToolInstalled("gemmi", "gemmi"));
  const std::string cif = test::DataPath("mmcif/5PTI.cif");
  ASSERT_EQ(test::RunCommand(Cli("analyse --bfactor-out b.cif " + cif)).status, 0);
  EXPECT_EQ(ReadAll("b.cif").substr(0, 10), "data_5PTI\n");
  // gemmi reads both files; every atom line agrees but for the B-factor.
  ASSERT_EQ(test::RunCommand("gemmi convert --to=pdb b.cif b_out.pdb && gemmi convert --to=pdb " + cif +
                             " b_in.pdb")
                .status,
            0);
  const auto atoms = [](const std::string& path) {
    std::vector<std::string> kept;
    for (const std::string& line : Lines(ReadAll(path))) {
      if (line.compare(0, 4, "ATOM") == 0 || line.compare(0, 6, "HETATM") == 0)
        kept.push_back(line.substr(0, 60) + line.substr(66));
    }
    return kept;
  };
  const std::vector<std::string> in = atoms("b_in.pdb"), out = atoms("b_out.pdb");
  EXPECT_EQ(in.size(), 1104u);  // ATOM and HETATM rows of 5PTI.cif
  EXPECT_EQ(in, out);
  EXPECT_NE(ReadAll("b_in.pdb"), ReadAll("b_out.pdb"));
  // From a PDB file the block takes the structure's name too.
  ASSERT_EQ(test::RunCommand(Cli("analyse --bfactor-out crambin.cif " + test::DataPath("1CRN.pdb"))).status,
            0);
  EXPECT_EQ(ReadAll("crambin.cif").substr(0, 10), "data_1CRN\n");
  // An assembly's chains (A-2) fit PDB's one column once shortened; no atom is lost.
  const std::string assembly = test::DataPath("mmcif/1E0P_assembly1.cif.gz");
  ASSERT_EQ(test::RunCommand(Cli("analyse --bfactor-out assembly.pdb " + assembly)).status, 0);
  EXPECT_EQ(test::RunCommand("grep -c '^ATOM' assembly.pdb").out,
            test::RunCommand("zcat " + assembly + " | grep -c '^ATOM'").out);
}

// ---- read ---------------------------------------------------------------------------------

TEST(CliReadOutput, BoundingBoxOfTheAtomsAndNmrOfSolutionEntries) {
  const std::string pdb = test::DataPath("1D3Z.pdb");
  const auto result = test::RunCommand(Cli("read " + pdb));
  ASSERT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("Read as NMR: yes"), std::string::npos);
  // The first model's heavy atoms, counted by awk.
  const auto box = test::RunCommand(
      "awk '/^ENDMDL/ {exit} /^ATOM/ && substr($0,77,2) !~ /[HD]/ {x = substr($0,31,8) + 0; "
      "if (n++ == 0 || x < lo) lo = x; if (n == 1 || x > hi) hi = x} END {printf \"x [%.3f, %.3f]\", lo, "
      "hi}' " +
      pdb);
  EXPECT_EQ(box.out, "x [35.844, 65.605]");
  EXPECT_NE(result.out.find("Bounding box: " + box.out), std::string::npos) << result.out;
  // An mmCIF entry solved by NMR, and one by X-ray.
  ASSERT_EQ(test::RunCommand("sed \"s/'X-RAY DIFFRACTION'/'SOLUTION NMR'/\" " +
                             test::DataPath("mmcif/1CRN.cif") + " > nmr.cif")
                .status,
            0);
  const auto cif = test::RunCommand(Cli("read nmr.cif " + test::DataPath("mmcif/1CRN.cif")));
  const size_t nmr = cif.out.find("Read as NMR: yes"), xray = cif.out.find("Read as NMR: no");
  EXPECT_NE(nmr, std::string::npos);
  EXPECT_NE(xray, std::string::npos);
  EXPECT_LT(nmr, xray);
}

}  // namespace
}  // namespace tessmol
