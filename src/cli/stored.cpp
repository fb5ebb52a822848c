#include "cli/stored.h"

#include <iostream>
#include <memory>

#include "cli/common.h"
#include "cli/run_outputs.h"

namespace tessmol::cli {

namespace {

struct StoredArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  std::string format = "text";
};

// The log is no input of the run, nor a result file.
int RefuseLog(const StoredArgs& args) {
  std::vector<std::string> inputs = args.files;
  inputs.push_back(args.options.scoreTable);
  const std::string refused = RefuseRunFiles({{"--log", args.options.logPath}}, {}, inputs);
  if (refused.empty()) return 0;
  std::cerr << refused << '\n';
  return 2;
}

int RunRecalc(const StoredArgs& args) {
  if (const int refused = RefuseLog(args)) return refused;
  Session session(args.options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  std::vector<int> indices;
  for (const std::string& path : args.files) indices.push_back(doc.AddStoredEntry(path));
  // The document has named the file it stopped at; only the rows it did are printed.
  const CTessmolDoc::RecalculateResult result = doc.RecalculateProfiles(indices);
  std::vector<AnalysisEntry> done(doc.entries().begin(),
                                  doc.entries().begin() + static_cast<long>(result.done));
  if (args.format == "json") {
    // The file it stopped at, and those after it, which it never reached.
    nlohmann::json failures;
    if (!result.status.ok()) {
      failures = nlohmann::json::array();
      for (size_t k = result.done; k < args.files.size(); ++k) {
        failures.push_back(
            FailureJson(args.files[k], static_cast<int>(k),
                        k == result.done ? result.status.Describe()
                                         : "not recalculated: recalc stopped at " + args.files[result.done]));
      }
    }
    PrintJson("recalc", nlohmann::json::array(), done, failures);
  } else {
    PrintAnalysisList(done);
  }
  return result.status.ok() ? 0 : 1;
}

int RunShow(const StoredArgs& args) {
  if (args.files.size() > 1) {
    std::cerr << "Error: show takes one result file (" << args.files.size()
              << " given): recalc takes several\n";
    return 2;
  }
  if (const int refused = RefuseLog(args)) return refused;
  AnalysisOptions options = args.options;
  options.log = false;  // a stored result is read, not analysed: nothing to log
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  const int index = doc.AddStoredEntry(args.files.front());
  if (!doc.LoadEntry(index, doc.entries()[index].resultName)) return 1;
  // The row read from the file: its score table, and the expected score when that table is
  // the one loaded.
  const AnalysisEntry& row = doc.entries()[index];
  if (!row.expectedKnown) {
    // The expected score follows from the table's own line, which the result does not keep.
    std::cerr << "Note: " << row.resultName << " was scored with " << row.scoreTableName << ", not "
              << doc.scoreTable().fileName << ": its expected and compatible scores need that table ("
              << "--score-table " << row.scoreTableName << ")\n";
  }
  if (args.format == "json") {
    PrintJson("show", nlohmann::json::array({StructureJson(doc.protein(), &row, args.residues)}), {});
  } else {
    PrintSummary(doc.protein(), args.residues, row.expectedKnown ? &row : nullptr);
    if (!doc.protein().fastaRecord.empty())
      std::cout << "FASTA record: " << doc.protein().fastaRecord << '\n';
  }
  return 0;
}

}  // namespace

void SetupRecalc(CLI::App& app, int& status) {
  auto args = std::make_shared<StoredArgs>();
  CLI::App* recalc =
      app.add_subcommand("recalc", "Rescore stored results (.tsm) against a score table; rewrites them");
  recalc->add_option("RESULT", args->files, "Result files (.tsm)")->required();
  AddTableOptions(*recalc, args->options);
  AddFormatOption(*recalc, args->format);
  recalc->callback([args, &status]() { status = RunRecalc(*args); });
}

void SetupShow(CLI::App& app, int& status) {
  auto args = std::make_shared<StoredArgs>();
  CLI::App* show = app.add_subcommand("show", "The summary of a stored result (.tsm)");
  // Any number is taken so that an option show does not know is named as such, rather than
  // its value counted as a second result file; the run then takes one.
  show->add_option("RESULT", args->files, "Result file (.tsm)")->required()->expected(-1);
  show->add_flag("--residues", args->residues, "Print the residue table as tab-separated values");
  show->add_option("--score-table", args->options.scoreTable,
                   "The score table (.stb) the result was scored with, for its expected and compatible "
                   "scores (default: Default.stb)");
  AddFormatOption(*show, args->format);
  show->callback([args, &status]() { status = RunShow(*args); });
}

}  // namespace tessmol::cli
