#include "cli/spanner2d.h"

#include <iostream>
#include <memory>

#include "cli/chart_png.h"
#include "cli/common.h"
#include "transmembrane/fasta.h"
#include "transmembrane/segments.h"

namespace tessmol::cli {

namespace {

struct Spanner2DArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  bool residues = false;
  bool inspection = false;
  std::string format = "text";
  std::string chart;
  std::string chartSize = "1200x600";
};

// One chain in the 3-line layout: ">name", the sequence, a label per residue: M in a
// transmembrane segment, i or o in a loop inside or outside where the orientation is
// known, - where it is not.
void PrintThreeLine(const std::string& name, const std::string& sequence, const std::vector<TmSegment>& segments,
                    bool oriented) {
  std::string labels(sequence.size(), '-');
  bool inside = segments.empty() || segments.front().nInside;
  size_t at = 0;
  for (const TmSegment& s : segments) {
    for (; at < static_cast<size_t>(s.first); ++at) labels[at] = oriented ? (inside ? 'i' : 'o') : '-';
    for (; at <= static_cast<size_t>(s.last); ++at) labels[at] = 'M';
    inside = !inside;
  }
  for (; at < labels.size(); ++at) labels[at] = oriented && !segments.empty() ? (inside ? 'i' : 'o') : '-';
  std::cout << '>' << name << '\n' << sequence << '\n' << labels << '\n';
}

// The segmentation straight from the sequences: no models are built.
int RunThreeLineSegments(const Spanner2DArgs& args, CTessmolDoc& doc) {
  const ProcessState& state = doc.state();
  if (!state.segmentParamsStatus) {
    std::cerr << "Error: the segmentation method has no parameters: " << state.segmentParamsStatus.Describe() << '\n';
    return 1;
  }
  int status = 0;
  for (const std::string& path : args.files) {
    const FastaFile fasta = ReadFasta(path);
    if (fasta.status != FastaStatus::kOk) {
      std::cerr << (fasta.status == FastaStatus::kCannotOpen ? "Error: Failed to open " + path
                                                              : WithFile(kNotFasta, path))
                << '\n';
      status = 1;
      continue;
    }
    for (size_t k = 0; k < fasta.sequences.size(); ++k) {
      PrintThreeLine(fasta.names[k], fasta.sequences[k], PredictSegments(fasta.sequences[k], state.segmentParams),
                     true);
    }
  }
  return status;
}

int Run(const Spanner2DArgs& args) {
  AnalysisOptions options = args.options;
  options.settings.writeHelixInspection = args.inspection;
  int chartWidth = 0, chartHeight = 0;
  if (!args.chart.empty() && !ParseChartSize(args.chartSize, chartWidth, chartHeight)) return 2;
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  ChartOptions chartOptions = DefaultChartOptions();
  if (!args.chart.empty())
    LoadChartOptions(doc.state().programFolder() + kChartOptionsFile, chartOptions, session.feedback());
  // Each model's chart, named after its FASTA file when there are several.
  size_t charted = 0;
  bool chartsWritten = true;
  auto chart = [&](const Protein& model) {
    if (args.chart.empty()) return;
    const std::string path = ChartPath(args.chart, args.files[charted++], args.files.size() > 1);
    if (const FileStatus written = WriteChartFile(model.structure, ChartTitle(model.fileName, doc), path,
                                                  chartWidth, chartHeight, chartOptions);
        !written) {
      std::cerr << written.Describe() << '\n';
      chartsWritten = false;
    }
  };
  if (args.format == "3line") {
    if (doc.settings().tmMethod == TmMethod::kSegments) return RunThreeLineSegments(args, doc);
    // The window scan needs its models; each chain of each model in turn.
    size_t file = 0;  // models come one per file, in order
    return doc.RunSpanner2D(args.files, [&](const Protein& model) {
      const Structure& s = model.structure;
      const FastaFile fasta = ReadFasta(args.files[file++]);
      for (size_t k = 0; k < s.chains.size(); ++k) {
        std::string sequence;
        std::vector<TmSegment> segments;
        for (int32_t i = s.chains[k].firstResidue; i <= s.chains[k].lastResidue; ++i) {
          const int at = i - s.chains[k].firstResidue;
          const Residue& r = s.residues[i];
          sequence += k < fasta.sequences.size() && at < static_cast<int>(fasta.sequences[k].size()) ? fasta.sequences[k][at] : 'X';
          if (!r.transmembrane) continue;
          if (segments.empty() || segments.back().last != at - 1) segments.push_back({at, at, true});
          segments.back().last = at;
        }
        PrintThreeLine(k < fasta.names.size() ? fasta.names[k] : s.ChainName(k), sequence, segments, false);
      }
    }) ? 0 : 1;
  }
  if (args.format == "json") {
    nlohmann::json structures = nlohmann::json::array();
    const bool completed = doc.RunSpanner2D(args.files, [&](const Protein& model) {
      structures.push_back(StructureJson(model, &doc.entries().back(), args.residues));
      chart(model);
    });
    PrintJson("spanner2d", structures, doc.entries());
    return completed && chartsWritten ? 0 : 1;
  }
  bool first = true;
  const bool completed = doc.RunSpanner2D(args.files, [&](const Protein& model) {
    chart(model);
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
  return completed && chartsWritten ? 0 : 1;
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
  AddFormatOption(*command, args->format, {"text", "json", "3line"});
  command->add_option("--chart", args->chart, "Also draw each model's chart (.svg or .png)");
  command->add_option("--chart-size", args->chartSize, "Chart size in pixels, WIDTHxHEIGHT")->capture_default_str();
  AddMethodOption(*command, args->options.method, false);
  AddSpannerOptions(*command, args->options.settings.spanner2DParams);
  command->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
