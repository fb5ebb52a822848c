#include "cli/analyse.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "chart/chart.h"
#include "chart/svg_surface.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "cli/run_outputs.h"
#include "document/bfactor_output.h"
#include "document/report.h"
#include "transmembrane/helix_builder.h"

namespace tessmol::cli {

namespace {

struct AnalyseArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  std::string residuesOut;
  bool quiet = false;
  bool spanner3d = false;
  // Given on the command line: the method and the scan's parameters, which only a
  // transmembrane run reads.
  std::vector<std::string> transmembraneOptions;
  std::vector<std::string> scanOptions;   // given: the window scan's settings
  std::vector<std::string> chartOptions;  // given: the chart's size, chains or range
  bool inspection = false;
  std::string chart;
  std::string chartSize = "1200x600";
  ChartSelection chartSelection;
  std::string format = "text";
  std::string bfactorOut;
  std::string bfactor = "overall";
  int bfactorWindow = 1;
};

struct ChartSettings {
  int width = 0, height = 0;
  ChartOptions options = DefaultChartOptions();
};

// The chart, residue table and B-factor file of the structure just analysed from PATH, when
// asked for; what could not be written is said and returned.
std::vector<std::string> WriteFileOutputs(const AnalyseArgs& args, const CTessmolDoc& doc,
                                          const std::string& path, const ChartSettings& chart,
                                          RunOutputs& outputs) {
  std::vector<std::string> unwritten;
  auto write = [&](const std::string& file, const std::function<FileStatus(const std::string&)>& to) {
    if (file.empty()) return;
    const std::string out = outputs.PathFor(file, path, args.files.size() > 1);
    FileStatus written = outputs.CheckNotInput(out);
    if (written) written = to(out);
    if (!written) {
      unwritten.push_back(written.Describe());
      std::cerr << unwritten.back() << '\n';
    }
  };
  write(args.chart, [&](const std::string& out) {
    return WriteChartFile(doc.protein(), ChartTitle(doc.protein().fileName, doc), out, chart.width,
                          chart.height, chart.options, args.chartSelection);
  });
  write(args.residuesOut, [&](const std::string& out) {
    return WriteFileAtomically(out, [&](std::ostream& stream) { WriteResidueTsv(stream, doc.protein()); });
  });
  // The option's check admits only the names BFactorValueNamed knows.
  write(args.bfactorOut, [&](const std::string& out) {
    return WriteBFactorsIntoSource(doc.protein(), path, out, BFactorValueNamed(args.bfactor).value(),
                                   args.bfactorWindow,
                                   MebibytesToBytes(args.options.settings.maxUnpackedMiB));
  });
  return unwritten;
}

int Run(const AnalyseArgs& args) {
  if (!args.spanner3d && !args.transmembraneOptions.empty()) {
    std::cerr << "Error: " << args.transmembraneOptions.front()
              << " sets the transmembrane prediction, which only runs with --spanner3d\n";
    return 2;
  }
  // What only a chart or the window scan reads would be dropped without a word.
  if (args.spanner3d && args.options.method != "window" && !args.scanOptions.empty()) {
    std::cerr << "Error: " << args.scanOptions.front()
              << " sets the window scan, which only runs with --method window\n";
    return 2;
  }
  // The desktop takes the method after --spanner3d; here it is an option of its own, and a
  // method's name among the files is that slip (unless a file has that name).
  for (const std::string& path : args.files) {
    if (std::find(kStructureMethods.begin(), kStructureMethods.end(), path) != kStructureMethods.end() &&
        !std::filesystem::exists(path)) {
      std::cerr << "Error: " << path << " is no file: Spanner3D's method is chosen with --method " << path
                << '\n';
      return 2;
    }
  }
  if (args.inspection && (!args.spanner3d || args.options.method != "window")) {
    std::cerr << "Error: --inspection writes the window scan's helix model, which only runs with --spanner3d "
                 "--method window\n";
    return 2;
  }
  if (args.chart.empty() && !args.chartOptions.empty()) {
    std::cerr << "Error: " << args.chartOptions.front()
              << " sets the chart, which is only drawn with --chart\n";
    return 2;
  }
  // Without a prediction every residue would read 0, as if none were in the membrane.
  if (!args.spanner3d && !args.bfactorOut.empty() && args.bfactor == "transmembrane") {
    std::cerr << "Error: --bfactor transmembrane marks the predicted transmembrane segments, which only run "
                 "with --spanner3d\n";
    return 2;
  }
  if (const std::string refused = RefuseOutputOptions(
          {{"--chart", args.chart}, {"--residues-out", args.residuesOut}, {"--bfactor-out", args.bfactorOut}},
          args.files);
      !refused.empty()) {
    std::cerr << refused << '\n';
    return 2;
  }
  if (const std::string refused = CompressedNameRefusal(args.bfactorOut);
      !args.bfactorOut.empty() && !refused.empty()) {
    std::cerr << "Error: --bfactor-out " << args.bfactorOut << ": " << refused << '\n';
    return 2;
  }
  {
    std::vector<std::string> inputs = args.files;
    inputs.push_back(args.options.scoreTable);
    if (const std::string refused = RefuseRunFiles(
            {{"--log", args.options.logPath}, {"--inspection", args.inspection ? kInspectionFile : ""}},
            {{"--chart", args.chart},
             {"--residues-out", args.residuesOut},
             {"--bfactor-out", args.bfactorOut}},
            inputs);
        !refused.empty()) {
      std::cerr << refused << '\n';
      return 2;
    }
  }
  AnalysisOptions options = args.options;
  options.settings.writeHelixInspection = args.inspection;
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  ChartSettings chart;
  if (!args.chart.empty()) {
    if (!ParseChartSize(args.chartSize, chart.width, chart.height)) return 2;
    // A refused or unreadable options file has been reported: no chart is drawn without it.
    if (!LoadChartOptions(session.doc().state().programFolder() + kChartOptionsFile, chart.options,
                          session.feedback()))
      return 1;
  }
  int status = 0;
  bool first = true;
  const bool json = args.format == "json";
  nlohmann::json structures = nlohmann::json::array();
  nlohmann::json failures = nlohmann::json::array();
  // One run: two files of one name never share a result file, nor any other output, and no
  // output replaces an input.
  doc.BeginRun(args.files);
  RunOutputs outputs(args.files);
  for (size_t f = 0; f < args.files.size(); ++f) {
    const std::string& path = args.files[f];
    FileStatus file;
    const CTessmolDoc::OpenResult opened = doc.OpenStructure(path, &file);
    if (!Analysed(opened, path, file, true)) {
      // The document lists it too, so a script reading only the JSON sees what is missing.
      failures.push_back(FailureJson(path, static_cast<int>(f), FailureText(opened, file)));
      status = 1;
      continue;
    }
    // A row whose result file could not be written has been named by the document.
    if (!file.ok()) status = 1;
    WarnMissingMainChain(doc.protein(), path);
    // The structure's row in the list (Spanner3D rescores it in place).
    const AnalysisEntry* row =
        doc.currentEntry() ? &doc.entries()[static_cast<size_t>(*doc.currentEntry())] : nullptr;
    if (args.spanner3d && !doc.RunSpanner3D()) {
      // A result file that could not be written has been named; the segments are found.
      if (row == nullptr || row->unstored.empty()) std::cerr << "Error: Spanner3D failed on " << path << '\n';
      status = 1;
    }
    // The JSON names every failure that the status reports: here a result not written.
    if (row != nullptr && !row->unstored.empty())
      failures.push_back(FailureJson(path, static_cast<int>(f), row->unstored));
    // A chart, table or copy not written is a failure the JSON names as well.
    for (const std::string& unwritten : WriteFileOutputs(args, doc, path, chart, outputs)) {
      failures.push_back(FailureJson(path, static_cast<int>(f), unwritten));
      status = 1;
    }
    if (json) {
      structures.push_back(StructureJson(doc.protein(), row, args.residues));
      continue;
    }
    if (args.quiet) {
      // The residue table alone, ready for a data-analysis program: one table, however
      // many structures, told apart by its first column.
      if (args.residues) WriteResidueTsv(std::cout, doc.protein(), first);
      first = false;
      continue;
    }
    if (!first) std::cout << '\n';
    first = false;
    PrintSummary(doc.protein(), args.residues, row);
  }
  if (json) PrintJson("analyse", structures, doc.entries(), failures.empty() ? nlohmann::json() : failures);
  return status;
}

}  // namespace

void SetupAnalyse(CLI::App& app, int& status) {
  auto args = std::make_shared<AnalyseArgs>();
  CLI::App* analyse = app.add_subcommand(
      "analyse",
      "Surface areas, environments and scores of structures (PDB or mmCIF, plain or gzip-compressed); "
      "writes NAME.tsm in the --out-dir folder (this folder by default)");
  analyse->alias("analyze");
  analyse->add_option("FILE", args->files, kStructureFilesHelp)->required();
  AddAnalysisOptions(*analyse, args->options);
  AddConfidenceOptions(*analyse, args->options);
  analyse->add_flag("--residues", args->residues,
                    "Print the residue table as tab-separated values after the summary");
  analyse->add_option("--residues-out", args->residuesOut,
                      "Write the residue table to this file: one line of headings, tab-separated, as "
                      "pandas or a spreadsheet reads it (with several files the structure's name is added)");
  analyse->add_flag("--quiet", args->quiet,
                    "No summary: with --residues, standard output holds the residue table alone, as "
                    "--residues-out writes it, one table for all the files");
  analyse->add_flag(
      "--spanner3d", args->spanner3d,
      "Predict transmembrane segments with Spanner3D (by default the membrane slab placed on the "
      "structure, heteroatoms left out; see --method)");
  analyse->add_flag("--inspection", args->inspection,
                    "With --spanner3d --method window, also write the helix model to ./helixtest.pdb");
  analyse
      ->add_option("--chart", args->chart,
                   "Also draw the chart of scores along the sequence (.svg, .png or .pdf)")
      ->check(ChartFileType());
  analyse->add_option("--chart-size", args->chartSize, "Chart size in pixels, WIDTHxHEIGHT")
      ->capture_default_str();
  AddChartSelectionOptions(*analyse, args->chartSelection);
  AddFormatOption(*analyse, args->format);
  analyse->add_option(
      "--bfactor-out", args->bfactorOut,
      "Also write the structure file as it was, with a residue value as the B-factor of every atom of the "
      "residue (.pdb, or .cif); atoms of residues without a value (heteroatoms, waters) keep their own");
  analyse
      ->add_option("--bfactor", args->bfactor, "The value: overall, solvent, kavelin, sasa or transmembrane")
      ->check(CLI::IsMember({"overall", "solvent", "kavelin", "sasa", "transmembrane"}))
      ->capture_default_str();
  analyse
      ->add_option("--bfactor-window", args->bfactorWindow,
                   "Average the value over this many residues, as the chart")
      ->check(CLI::Range(1, 500))
      ->capture_default_str();
  AddMethodOption(*analyse, args->options.method, true);
  AddSpannerOptions(*analyse, args->options.settings.spanner2DParams);
  analyse->callback([args, analyse, &status]() {
    if (analyse->get_option("--method")->count() > 0) args->transmembraneOptions.push_back("--method");
    args->scanOptions = GivenScanOptions(*analyse);
    args->transmembraneOptions.insert(args->transmembraneOptions.end(), args->scanOptions.begin(),
                                      args->scanOptions.end());
    for (const CLI::Option* option : analyse->get_options()) {
      if (option->get_lnames().empty() || option->count() == 0) continue;
      const std::string name = "--" + option->get_lnames().front();
      if (name.rfind("--chart-", 0) == 0) args->chartOptions.push_back(name);
    }
    status = Run(*args);
  });
}

}  // namespace tessmol::cli
