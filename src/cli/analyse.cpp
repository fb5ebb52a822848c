#include "cli/analyse.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "chart/chart.h"
#include "chart/svg_surface.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "transmembrane/spanner.h"

namespace tessmol::cli {

namespace {

struct AnalyseArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  bool spanner3d = false;
  bool inspection = false;
  std::string chart;
  std::string chartSize = "1200x600";
};

// The chart file of one structure: FILE as given for a single structure, otherwise with
// the structure's name before the extension.
std::string ChartPath(const std::string& chart, const std::string& structure, bool several) {
  if (!several) return chart;
  const std::filesystem::path p(chart);
  const std::string stem = std::filesystem::path(structure).stem().string();
  return (p.parent_path() / (p.stem().string() + "-" + stem + p.extension().string())).string();
}

bool WriteChart(const CTessmolDoc& doc, const std::string& path, int width, int height,
                const ChartOptions& options) {
  ChartInput input;
  input.structure = &doc.protein.structure;
  input.structureLoaded = doc.structureLoaded;
  input.options = options;
  input.rect = {10, 10, width - 10, height - 10};
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".svg" || extension == ".SVG") {
    SvgSurface svg(width, height);
    DrawChart(svg, input);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << svg.Finish();
    return static_cast<bool>(out);
  }
  return cli::WritePng(input, width, height, path);
}

int Run(const AnalyseArgs& args) {
  Session session(args.options);
  if (!session.ready()) return 1;
  CTessmolDoc& doc = session.doc();
  doc.writeHelixInspection = args.inspection;
  int chartWidth = 0, chartHeight = 0;
  ChartOptions chartOptions = DefaultChartOptions();
  if (!args.chart.empty()) {
    char x = 0;
    std::istringstream size(args.chartSize);
    if (!(size >> chartWidth >> x >> chartHeight) || x != 'x' || chartWidth < 340 || chartHeight < 140 ||
        chartWidth > 20000 || chartHeight > 20000) {
      std::cerr << "Error: --chart-size takes WIDTHxHEIGHT in pixels, at least 340x140\n";
      return 2;
    }
    LoadChartOptions(session.doc().state().programFolder() + kChartOptionsFile, chartOptions,
                     session.feedback());
  }
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
    if (!args.chart.empty()) {
      const std::string chartPath = ChartPath(args.chart, path, args.files.size() > 1);
      if (!WriteChart(doc, chartPath, chartWidth, chartHeight, chartOptions)) {
        std::cerr << "Error: cannot write the chart " << chartPath << '\n';
        status = 1;
      }
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
  analyse->add_flag("--inspection", args->inspection,
                    "With --spanner3d, also write the helix model to ./helixtest.pdb");
  analyse->add_option("--chart", args->chart,
                      "Also draw the chart of scores along the sequence (.svg or .png)");
  analyse->add_option("--chart-size", args->chartSize, "Chart size in pixels, WIDTHxHEIGHT")
      ->capture_default_str();
  AddSpannerOptions(*analyse, args->options.spanner);
  analyse->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
