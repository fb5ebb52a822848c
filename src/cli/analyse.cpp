#include "cli/analyse.h"

#include <iostream>
#include <memory>

#include "cli/common.h"
#include "transmembrane/spanner.h"

namespace tessmol::cli {

namespace {

struct AnalyseArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  bool spanner3d = false;
};

int Run(const AnalyseArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  int status = 0;
  bool first = true;
  for (const std::string& path : args.files) {
    switch (doc.OpenStructure(path)) {
      case CTessmolDoc::OpenResult::kNoAtoms:
        std::cerr << "Error: no atoms could be read from " << path << '\n';
        status = 1;
        continue;
      case CTessmolDoc::OpenResult::kFailed:
        std::cerr << "Error: " << path << " was not analysed\n";
        status = 1;
        continue;
      case CTessmolDoc::OpenResult::kOpened:
        break;
    }
    if (args.spanner3d && !RunSpanner3D(doc)) {
      std::cerr << "Error: Spanner3D failed on " << path << '\n';
      status = 1;
    }
    if (!first) std::cout << '\n';
    first = false;
    PrintSummary(doc.protein, args.residues);
  }
  return status;
}

}  // namespace

void SetupAnalyse(CLI::App& app, int& status) {
  auto args = std::make_shared<AnalyseArgs>();
  CLI::App* analyse = app.add_subcommand(
      "analyse", "Surface areas, environments and scores of PDB structures; writes NAME.tsm in this folder");
  analyse->alias("analyze");
  analyse->add_option("FILE", args->files, "PDB structure files")->required();
  AddAnalysisOptions(*analyse, args->options);
  analyse->add_flag("--residues", args->residues, "Print the residue table as tab-separated values");
  analyse->add_flag("--spanner3d", args->spanner3d,
                    "Predict transmembrane segments with Spanner3D (an ideal-helix model of the sequence)");
  AddSpannerOptions(*analyse, args->options.spanner);
  analyse->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
