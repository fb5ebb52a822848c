#include "cli/membrane.h"

#include <iostream>
#include <memory>

#include "cli/chart_png.h"
#include "cli/common.h"
#include "document/bfactor_output.h"
#include "document/report.h"
#include "transmembrane/membrane_slab.h"

namespace tessmol::cli {

namespace {

struct MembraneArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool withHet = false;
  std::string write;
};

int Run(const MembraneArgs& args) {
  AnalysisOptions options = args.options;
  // Crystal waters, lipids and detergent bound to the protein would hide the surface that
  // faces the bilayer.
  options.settings.ignoreHeteroAtoms = !args.withHet;
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  int status = 0;
  for (size_t f = 0; f < args.files.size(); ++f) {
    const std::string& path = args.files[f];
    Protein protein;
    FileStatus file;
    if (!Analysed(doc.AnalyseFile(path, protein, &file), path, file, false)) {
      status = 1;
      continue;
    }
    WarnMissingMainChain(protein, path);
    SlabSearch search;
    search.threads = options.settings.threads;
    const MembranePlacement placement =
        PlaceMembrane(protein.structure, protein.surface, search, session.feedback());
    if (f > 0) std::cout << '\n';
    std::cout << "Structure: " << protein.fileName << '\n';
    for (const std::string& line : MembraneLines(protein.structure, placement)) std::cout << line << '\n';
    std::cout.flush();
    if (!args.write.empty()) {
      const std::string out = ChartPath(args.write, path, args.files.size() > 1);
      // No placement is an answer (a soluble protein), not a failure; but the file asked
      // for is not there, and a script must be told so.
      if (!placement.placed) {
        std::cerr << "Note: no membrane placement found for " << path << "; nothing written to " << out
                  << '\n';
        continue;
      }
      if (const FileStatus written = WriteMembraneFile(protein, placement, out); !written) {
        std::cerr << written.Describe() << '\n';
        status = 1;
      }
    }
  }
  return status;
}

}  // namespace

void SetupMembrane(CLI::App& app, int& status) {
  auto args = std::make_shared<MembraneArgs>();
  CLI::App* membrane = app.add_subcommand(
      "membrane",
      "Place the lipid bilayer on structures: normal, centre, half-thickness and the segments inside");
  membrane->add_option("FILE", args->files, "PDB or mmCIF structure files")->required();
  AddSecondaryStructureOption(*membrane, args->options.secondary);
  AddMaxUnpackedOption(*membrane, args->options.settings.maxUnpackedMiB);
  membrane
      ->add_option("--resolution", args->options.settings.sasaResolution,
                   "Sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482, 5 = 1002")
      ->capture_default_str();
  membrane->add_option("--threads", args->options.settings.threads, "Threads (0: one per core)")
      ->capture_default_str();
  membrane->add_flag(
      "--with-het", args->withHet,
      "Let heteroatoms (lipids, ligands; never waters, the solvent) cover the surface; left out by default");
  membrane->add_option(
      "--write", args->write,
      "Also write the structure with the membrane planes as DUM pseudo-atoms (PDB); with several "
      "files the structure's name is added");
  AddTableOptions(*membrane, args->options);
  membrane->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
