#include "cli/spanner2d.h"

#include <iostream>
#include <memory>

#include "cli/common.h"
#include "transmembrane/spanner.h"

namespace tessmol::cli {

namespace {

struct Spanner2DArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  bool inspection = false;
};

int Run(const Spanner2DArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  doc.writeHelixInspection = args.inspection;
  bool first = true;
  const bool completed = RunSpanner2D(doc, args.files, [&](const Protein& model) {
    if (!first) std::cout << '\n';
    first = false;
    PrintSummary(model, false);
    std::cout << '\n';
    PrintTabbed(AnalysisListHeadings());
    PrintTabbed(AnalysisListRow(doc.entries, doc.entries.size() - 1));
    if (args.residues) {
      std::cout << '\n';
      PrintResidueTable(model);
    }
    std::cout.flush();
  });
  return completed ? 0 : 1;
}

}  // namespace

void SetupSpanner2D(CLI::App& app, int& status) {
  auto args = std::make_shared<Spanner2DArgs>();
  CLI::App* command = app.add_subcommand(
      "spanner2d",
      "Predict transmembrane segments from FASTA sequences with ideal-helix models; writes NAME.tsm");
  command->add_option("FILE", args->files, "FASTA files (one model per file, one chain per sequence)")
      ->required();
  AddAnalysisOptions(*command, args->options);
  command->add_flag("--residues", args->residues, "Print each model's residue table as tab-separated values");
  command->add_flag("--inspection", args->inspection, "Also write each model to ./helixtest.pdb");
  AddSpannerOptions(*command, args->options.spanner);
  command->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
