#include "cli/multi.h"

#include <fstream>
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
};

int Run(const MultiArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  MultipleAnalysisRequest request;
  request.filePaths = args.files;
  request.createCustomTable = !args.customTable.empty();
  request.customTablePath = args.customTable;
  const std::vector<std::string> skipped = doc.AnalyseMultiple(request, args.jobs);
  for (const std::string& path : skipped) std::cerr << "Skipped " << path << ": no atoms could be analysed\n";
  PrintAnalysisList(doc.entries);
  int status = skipped.empty() ? 0 : 1;
  if (request.createCustomTable && !std::ifstream(args.customTable)) {
    std::cerr << "Error: cannot write the score table " << args.customTable << '\n';
    status = 1;
  }
  return status;
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
  multi->add_option("--jobs", args->jobs, "Structures analysed at once")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  multi->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
