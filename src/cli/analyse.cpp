#include "cli/analyse.h"

#include <fstream>
#include <iostream>
#include <memory>

#include "cli/common.h"
#include "document/report.h"
#include "scoring/score_table.h"
#include "surface/environment.h"
#include "surface/sasa.h"

namespace tessmol::cli {

namespace {

struct AnalyseOptions {
  std::vector<std::string> files;
  int resolution = 2;
  bool ignoreHet = false;
  int threads = 0;
  bool residues = false;
  std::string logPath;
};

void PrintTabbed(const std::vector<std::string>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) std::cout << (i ? "\t" : "") << cells[i];
  std::cout << '\n';
}

int Run(const AnalyseOptions& options) {
  Session session;
  ScoreTable table;
  table.LoadTable(session.programFolder + "/Tessmol_Files/Default.stb", "Default.stb");
  std::ofstream logFile;
  if (!options.logPath.empty()) {
    logFile.open(options.logPath, std::ios::app);
    if (!logFile) {
      std::cerr << "Error: cannot write the log file " << options.logPath << '\n';
      return 1;
    }
  }
  SasaSettings settings;
  settings.threads = options.threads;
  settings.log = logFile.is_open() ? &logFile : nullptr;

  int status = 0;
  bool first = true;
  for (const std::string& path : options.files) {
    ReadResult read = ReadStructure(path, session.hetRadii);
    if (!read.protein) {
      std::cerr << read.error << '\n';
      status = 1;
      continue;
    }
    Protein& protein = *read.protein;
    protein.ignoreHeteroAtoms = options.ignoreHet;
    protein.Load(session.feedback);
    if (!CalculateSASA(protein, options.resolution, session.programFolder, session.feedback, settings)) {
      std::cerr << "Error: " << path << " was not analysed\n";
      status = 1;
      continue;
    }
    ScoreResidues(protein, table.scores);
    SumScores(protein);

    if (!first) std::cout << '\n';
    first = false;
    for (const std::string& line : SummaryLines(protein)) std::cout << line << '\n';
    if (options.residues) {
      std::cout << '\n';
      PrintTabbed(ResidueTableHeadings());
      for (size_t i = 0; i < protein.structure.residues.size(); ++i) {
        PrintTabbed(ResidueTableRow(protein.structure, i));
      }
    }
    std::cout.flush();
  }
  return status;
}

}  // namespace

void SetupAnalyse(CLI::App& app, int& status) {
  auto options = std::make_shared<AnalyseOptions>();
  CLI::App* analyse =
      app.add_subcommand("analyse", "Surface areas, environments and scores of PDB structures");
  analyse->alias("analyze");
  analyse->add_option("FILE", options->files, "PDB structure files")->required();
  analyse
      ->add_option("--resolution", options->resolution,
                   "Sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482, 5 = 1002")
      ->check(CLI::Range(0, 5))
      ->capture_default_str();
  analyse->add_flag("--ignore-het", options->ignoreHet, "Leave heteroatoms (ligands, ions, waters) out");
  analyse->add_option("--threads", options->threads, "Threads for the surface-area pass (0: one per core)")
      ->check(CLI::Range(0, 1024))
      ->capture_default_str();
  analyse->add_flag("--residues", options->residues, "Print the residue table as tab-separated values");
  analyse->add_option("--log", options->logPath, "Append the surface-area pass's warnings to this file");
  analyse->callback([options, &status]() { status = Run(*options); });
}

}  // namespace tessmol::cli
