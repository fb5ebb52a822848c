// Predicted models through the outputs: the result file keeps their pLDDT, and the same
// model read from PDB and from ModelCIF gives the same confident scores and window test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/text.h"
#include "document/result_file.h"
#include "model/pdb_reader.h"
#include "model/structure_file.h"
#include "scoring/residue_scores.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string Cli(const std::string& args) {
  return std::string(TESSMOL_CLI) + " " + args;
}

Protein AnalysedModel() {
  StructureFile file =
      ReadStructure(test::DataPath("predicted/AF-P76011-F1-model_v4.pdb.gz"), test::StandardHetRadii());
  EXPECT_TRUE(file.status.ok());
  Protein protein;
  protein.structure = std::move(file.structure);
  protein.fileName = "model.pdb";
  SilentFeedback quiet;
  protein.Load(quiet);
  EXPECT_TRUE(test::KeepSurface(protein, CalculateSASA(protein, 1, test::ProgramFolder(), quiet)));
  protein.scores = ScoreResidues(protein.structure, protein.surface, BuiltInScores());
  protein.transmembrane = TransmembraneResult::None(protein.structure.residues.size());
  SumScores(protein.transmembrane, protein.scores);
  return protein;
}

TEST(PredictedOutputs, TheResultFileKeepsPlddtAndReadersOfTheOldLayoutSkipIt) {
  test::ScratchFolder scratch;
  const Protein model = AnalysedModel();
  ASSERT_EQ(model.structure.confidence.size(), 84u);
  ASSERT_TRUE(WriteResult(model, "model.tsm").ok());
  Protein back;
  ASSERT_TRUE(ReadResult(back, "model.tsm").ok());
  // Six significant digits hold the files' two decimals exactly.
  EXPECT_EQ(back.structure.confidence, model.structure.confidence);
  EXPECT_EQ(back.structure.modelSource, "AlphaFold monomer v2.0");
  // The same file without its trailing fields (as the layout before them wrote it) reads
  // as an experimental structure, and every other value is unchanged.
  std::ifstream in("model.tsm", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {}), old;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = SplitFields(line);
    const size_t keep = fields[0] == "RESIDUE" ? 23 : fields[0] == "STRUCTURE" ? 3 : fields.size();
    for (size_t i = 0; i < std::min(keep, fields.size()); ++i) old += (i ? "\t" : "") + fields[i];
    if (!lines.eof()) old += '\n';
  }
  std::istringstream oldIn(old);
  Protein experimental;
  ASSERT_TRUE(ReadResult(experimental, oldIn, "old.tsm").ok());
  EXPECT_TRUE(experimental.structure.confidence.empty());
  EXPECT_TRUE(experimental.structure.modelSource.empty());
  EXPECT_EQ(experimental.scores.averageScore, back.scores.averageScore);
}

// A folder of models, gzip-compressed PDB and mmCIF, in one multi run: the two files of one
// model agree on every ranking value, which JSON gives to sort by.
TEST(PredictedOutputs, MultiRanksAFolderOfModelsInJson) {
  test::ScratchFolder scratch;
  std::filesystem::create_directories("models");
  for (const char* name : {"AF-P76011-F1-model_v4.pdb.gz", "AF-P76011-F1-model_v4.cif.gz"})
    std::filesystem::copy_file(test::DataPath(std::string("predicted/") + name),
                               std::string("models/") + name);
  std::filesystem::copy_file(test::DataPath("1CRN.pdb"), "models/1CRN.pdb");
  const test::CommandResult run = test::RunCommand(
      Cli("multi --format json --out-dir out models/*.pdb.gz models/*.cif.gz models/1CRN.pdb"));
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json doc = nlohmann::json::parse(run.out);
  const nlohmann::json& rows = doc.at("analysis_list");
  ASSERT_EQ(rows.size(), 3u);
  std::vector<nlohmann::json> models;
  for (const nlohmann::json& row : rows) {
    if (row.contains("confident_average_score")) {
      models.push_back(row);
    } else {
      EXPECT_NE(row.at("structure").get<std::string>().find("1CRN"), std::string::npos);  // the crystal
      EXPECT_TRUE(row.contains("window_pass_fraction"));
    }
  }
  ASSERT_EQ(models.size(), 2u);
  for (const char* key : {"confident_average_score", "confident_count", "left_out_count",
                          "window_pass_fraction", "average_score"})
    EXPECT_EQ(models[0].at(key), models[1].at(key)) << key;
  EXPECT_EQ(models[0].at("confident_count").get<int>() + models[0].at("left_out_count").get<int>(), 84);
  // The text list has a column for each.
  const test::CommandResult text = test::RunCommand(Cli("multi --out-dir out2 models/*.cif.gz"));
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find(
                "\tWindow Pass %\tConfident Average\tConfident Compatible\tConfident Residues\tLeft Out\n"),
            std::string::npos)
      << text.out;
}

// --confident-plddt moves residues between the confident and the left out; the residue
// table carries each residue's pLDDT.
TEST(PredictedOutputs, AModelsCopyWithItsBFactorsWrittenOverIsNoModel) {
  // --bfactor-out and the membrane's copy keep a model's header and write other values
  // into its pLDDT column: read back, the 0/1 segment flags were pLDDT 0 and 100 (scaled
  // as a fraction), and half the model was left out as disordered. Each copy now says in
  // a remark that the column is no confidence; the model itself still reads as one.
  test::ScratchFolder scratch;
  const std::string model = test::DataPath("predicted/AF-P76011-F1-model_v4.pdb.gz");
  ASSERT_FALSE(ReadStructure(model, test::StandardHetRadii()).structure.confidence.empty());
  const test::CommandResult flags =
      test::RunCommand(Cli("analyse --spanner3d --bfactor transmembrane --bfactor-out flags.pdb " + model));
  ASSERT_EQ(flags.status, 0) << flags.err;
  const test::CommandResult planes = test::RunCommand(Cli("membrane --write planes.pdb " + model));
  ASSERT_NE(planes.status, 2) << planes.err;
  // An mmCIF copy (gemmi writes the PDB model's title into it) says so in an item of its own.
  ASSERT_EQ(
      test::RunCommand(Cli("analyse --spanner3d --bfactor transmembrane --bfactor-out flags.cif " + model))
          .status,
      0);
  EXPECT_NE(ReadText("flags.cif").find(kNotConfidenceItem), std::string::npos);
  for (const char* copy : {"flags.pdb", "planes.pdb", "flags.cif"}) {
    if (!std::filesystem::exists(copy)) continue;  // no membrane placed: no planes file
    const StructureFile read = ReadStructure(copy, test::StandardHetRadii());
    ASSERT_TRUE(read.status.ok()) << copy;
    EXPECT_TRUE(read.structure.confidence.empty()) << copy;
    EXPECT_TRUE(read.structure.modelSource.empty()) << copy;
    // Nor when the user asks for the column as pLDDT (a folder of models and copies read
    // with --confidence plddt): the 0/1 flags left 169 of P15409's residues out and
    // turned its membrane by 35 degrees.
    const StructureFile forced =
        ReadStructure(copy, test::StandardHetRadii(), MebibytesToBytes(kDefaultMaxUnpackedMiB),
                      ConfidenceSource::kBFactors);
    EXPECT_TRUE(forced.structure.confidence.empty()) << copy;
    EXPECT_NE(ConfidenceRefusedWarning(forced, copy).find("holds values of an analysis, not pLDDT"),
              std::string::npos)
        << copy;
  }
  ASSERT_TRUE(std::filesystem::exists("flags.pdb"));
  EXPECT_NE(ReadText("flags.pdb").find(kNotConfidenceRemark), std::string::npos);
  // A ModelCIF model's copy keeps its own pLDDT (_ma_qa_metric_local), whatever its
  // B-factor column now holds.
  const std::string modelCif = test::DataPath("predicted/AF-P76011-F1-model_v4.cif.gz");
  ASSERT_EQ(test::RunCommand(
                Cli("analyse --spanner3d --bfactor transmembrane --bfactor-out cifcopy.cif " + modelCif))
                .status,
            0);
  EXPECT_EQ(ReadStructure("cifcopy.cif", test::StandardHetRadii()).structure.confidence,
            ReadStructure(modelCif, test::StandardHetRadii()).structure.confidence);
  const test::CommandResult read = test::RunCommand(Cli("read --confidence plddt flags.pdb 2>&1"));
  EXPECT_EQ(read.out.find("predicted model"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("holds values of an analysis"), std::string::npos) << read.out;
  // A crystal structure's copy is left as it was: no remark.
  ASSERT_EQ(test::RunCommand(Cli("analyse --bfactor-out crambin.pdb " + test::DataPath("1CRN.pdb"))).status,
            0);
  EXPECT_EQ(ReadText("crambin.pdb").find("REMARK 999"), std::string::npos);
}

TEST(PredictedOutputs, TheThresholdIsAnOption) {
  test::ScratchFolder scratch;
  const std::string model = test::DataPath("predicted/AF-P76011-F1-model_v4.pdb.gz");
  const std::vector<float> plddt = ReadStructure(model, test::StandardHetRadii()).structure.confidence;
  const auto atLeast90 = std::count_if(plddt.begin(), plddt.end(), [](float v) { return v >= 90.0f; });
  const test::CommandResult json =
      test::RunCommand(Cli("analyse --format json --confident-plddt 90 " + model));
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json s = nlohmann::json::parse(json.out).at("structures").at(0);
  EXPECT_EQ(s.at("confident_count").get<long>(), atLeast90);
  EXPECT_EQ(s.at("left_out_count").get<long>(), 84 - atLeast90);
  // The result file keeps the cut-off: show gives the confident scores the run gave.
  const test::CommandResult shown =
      test::RunCommand(Cli("show --format json " + s.at("result_file").get<std::string>()));
  ASSERT_EQ(shown.status, 0) << shown.err;
  const nlohmann::json back = nlohmann::json::parse(shown.out).at("structures").at(0);
  for (const char* key : {"confident_plddt", "confident_count", "left_out_count", "confident_average_score"})
    EXPECT_EQ(back.at(key), s.at(key)) << key;
  // A faulty cut-off in the file is refused on its line, never read as the default.
  const std::string stored = ReadText(s.at("result_file").get<std::string>());
  ASSERT_NE(stored.find("\tconfident-plddt=90"), std::string::npos);
  for (const char* bad : {"150", "nan", "x"}) {
    std::string damaged = stored;
    damaged.replace(damaged.find("confident-plddt=90") + 16, 2, bad);
    std::ofstream("damaged.tsm", std::ios::binary) << damaged;
    const test::CommandResult refused = test::RunCommand(Cli("show damaged.tsm 2>&1"));
    EXPECT_EQ(refused.status, 1) << bad;
    EXPECT_NE(refused.out.find("on line 1: damaged.tsm: confident-plddt is not a number from 0 to 100"),
              std::string::npos)
        << refused.out;
  }
  // No residue reaches pLDDT 100: the confident figures are no scores, null rather than 0.
  ASSERT_EQ(std::count_if(plddt.begin(), plddt.end(), [](float v) { return v >= 100.0f; }), 0);
  const test::CommandResult none =
      test::RunCommand(Cli("analyse --format json --confident-plddt 100 " + model));
  ASSERT_EQ(none.status, 0) << none.err;
  const nlohmann::json noneDoc = nlohmann::json::parse(none.out);
  for (const nlohmann::json& j : {noneDoc.at("structures").at(0), noneDoc.at("analysis_list").at(0)}) {
    EXPECT_EQ(j.at("confident_count").get<int>(), 0);
    for (const char* key :
         {"confident_average_score", "confident_expected_score", "confident_compatible_score"})
      EXPECT_TRUE(j.at(key).is_null()) << key << " " << j.dump();
  }
  EXPECT_EQ(test::RunCommand(Cli("analyse --confident-plddt 120 " + model)).status, 2);
  const test::CommandResult table = test::RunCommand(Cli("analyse --residues " + model));
  EXPECT_NE(table.out.find("\tis transmembrane\tpLDDT\n"), std::string::npos);
  EXPECT_NE(table.out.find("Confident Residues (pLDDT >= 70.0): "), std::string::npos) << table.out;
}

}  // namespace
}  // namespace tessmol
