#include "cli/multi.h"

#include <iostream>
#include <memory>

#include "cli/common.h"

namespace tessmol::cli {

namespace {

struct MultiArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  std::string customTable;
  int jobs = 1;
  std::string format = "text";
};

int Run(const MultiArgs& args) {
  Session session(args.options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  MultipleAnalysisRequest request;
  request.filePaths = args.files;
  request.createCustomTable = !args.customTable.empty();
  request.customTablePath = args.customTable;
  // Result files and the custom table that could not be written have been named already.
  const MultipleAnalysisReport report = doc.AnalyseMultiple(request, args.jobs);
  for (const FileStatus& skipped : report.skipped) {
    if (skipped.problem == FileProblem::kFormat && skipped.line == 0) {
      std::cerr << "Skipped " << skipped.path << ": " << skipped.detail << '\n';
    } else {
      std::cerr << "Skipped " << skipped.path << ": " << skipped.Describe() << '\n';
    }
  }
  if (args.format == "json") {
    PrintJson("multi", nlohmann::json::array(), doc.entries());
  } else {
    PrintAnalysisList(doc.entries());
  }
  return report.ok() ? 0 : 1;
}

}  // namespace

void SetupMulti(CLI::App& app, int& status) {
  auto args = std::make_shared<MultiArgs>();
  CLI::App* multi = app.add_subcommand(
      "multi", "Analyse many structures and list them by average residue score; writes NAME.tsm for each");
  multi->add_option("FILE", args->files, "PDB structure files")->required();
  AddAnalysisOptions(*multi, args->options);
  multi->add_option("--custom-table", args->customTable,
                    "Derive a score table from these structures and write it here");
  AddFormatOption(*multi, args->format);
  multi->add_option("--jobs", args->jobs, "Structures analysed at once")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  multi->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
