#include "cli/stored.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/common.h"

namespace tessmol::cli {

namespace {

struct StoredArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
};

// A row of the analysis list for a result file named on the command line.
AnalysisEntry EntryFor(const std::string& path) {
  AnalysisEntry entry;
  entry.resultName = std::filesystem::path(path).filename().string();
  entry.resultPath = path;
  return entry;
}

bool CheckReadable(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) return true;
  std::cerr << "Error: cannot read " << path << '\n';
  return false;
}

int RunRecalc(const StoredArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  int status = 0;
  std::vector<int> indices;
  for (const std::string& path : args.files) {
    if (!CheckReadable(path)) {
      status = 1;
      continue;
    }
    indices.push_back(static_cast<int>(doc.entries.size()));
    doc.entries.push_back(EntryFor(path));
  }
  if (!doc.RecalculateProfiles(indices)) status = 1;
  PrintAnalysisList(doc.entries);
  return status;
}

int RunShow(const StoredArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  const std::string& path = args.files.front();
  if (!CheckReadable(path)) return 1;
  doc.entries.push_back(EntryFor(path));
  if (!doc.LoadEntry(0, doc.entries[0].resultName)) return 1;
  PrintSummary(doc.protein, args.residues);
  return 0;
}

}  // namespace

void SetupRecalc(CLI::App& app, int& status) {
  auto args = std::make_shared<StoredArgs>();
  CLI::App* recalc =
      app.add_subcommand("recalc", "Rescore stored results (.tsm) against a score table; rewrites them");
  recalc->add_option("RESULT", args->files, "Result files (.tsm)")->required();
  AddTableOptions(*recalc, args->options);
  recalc->callback([args, &status]() { status = RunRecalc(*args); });
}

void SetupShow(CLI::App& app, int& status) {
  auto args = std::make_shared<StoredArgs>();
  CLI::App* show = app.add_subcommand("show", "The summary of a stored result (.tsm)");
  show->add_option("RESULT", args->files, "Result file (.tsm)")->required()->expected(1);
  show->add_flag("--residues", args->residues, "Print the residue table as tab-separated values");
  show->callback([args, &status]() { status = RunShow(*args); });
}

}  // namespace tessmol::cli
