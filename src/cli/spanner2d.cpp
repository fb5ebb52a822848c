#include "cli/spanner2d.h"

#include <iostream>
#include <memory>

#include "cli/common.h"

namespace tessmol::cli {

namespace {

struct Spanner2DArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  bool inspection = false;
};

int Run(const Spanner2DArgs& args) {
  AnalysisOptions options = args.options;
  options.settings.writeHelixInspection = args.inspection;
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  bool first = true;
  const bool completed = doc.RunSpanner2D(args.files, [&](const Protein& model) {
    if (!first) std::cout << '\n';
    first = false;
    PrintSummary(model, false);
    std::cout << '\n';
    PrintTabbed(AnalysisListHeadings());
    PrintTabbed(AnalysisListRow(doc.entries(), doc.entries().size() - 1));
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
  AddSpannerOptions(*command, args->options.settings.spanner2DParams);
  command->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
