// The JSON writer on whatever the structure and result readers accept, under any file
// name: the document it writes always parses, and written again from what was parsed it
// is the same text. The input: one byte choosing the reader (even: structure, odd:
// result file), one byte giving the name's length (up to 63), the name, then the file.
#include "document/json_output.h"
#include "document/result_file.h"
#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool result = (data[0] & 1) != 0;
  const size_t nameLength = std::min<size_t>(data[1] & 63, size - 2);
  const std::string name(reinterpret_cast<const char*>(data + 2), nameLength);
  const std::string text(reinterpret_cast<const char*>(data + 2 + nameLength), size - 2 - nameLength);

  Protein protein;
  protein.fileName = name;
  if (result) {
    std::istringstream in(text);
    if (!ReadResult(protein, in, name).ok()) return 0;
  } else {
    StructureFile file = ReadStructureText(text, name, fuzz::Radii());
    if (!file.status) return 0;
    protein.structure = std::move(file.structure);
    protein.ClearResults();
  }

  AnalysisEntry row;
  row.resultName = name;
  row.scoreTableName = name + ".stb";
  row.resultPath = name + ".tsm";
  row.averageScore = protein.scores.averageScore;
  row.inputIndex = 0;
  const std::vector<AnalysisEntry> entries{row};
  nlohmann::json document =
      RunJson("analyse", nlohmann::json::array({StructureJson(protein, &row, true)}), entries);
  document["failures"] = nlohmann::json::array({FailureJson(name, 1, "cannot read " + name)});

  for (int indent : {2, -1}) {
    const std::string written = JsonText(document, indent);
    nlohmann::json parsed;
    try {
      parsed = nlohmann::json::parse(written);
    } catch (const nlohmann::json::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      FUZZ_CHECK(!"the written JSON parses");
    }
    FUZZ_CHECK(parsed.at("structures").size() == 1);
    FUZZ_CHECK(parsed.at("structures")[0].at("residues").size() == protein.structure.residues.size());
    FUZZ_CHECK(parsed.at("failures")[0].at("file").is_string());
    FUZZ_CHECK(JsonText(parsed, indent) == written);
  }
  return 0;
}
