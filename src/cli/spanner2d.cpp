#include "cli/spanner2d.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>

#include "base/text.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "cli/run_outputs.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"
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

  // How far one gzip-compressed FASTA file may unpack, in bytes.
  uint64_t MaxUnpackedBytes() const { return MebibytesToBytes(options.settings.maxUnpackedMiB); }
};

// One chain in the 3-line layout: ">name", the sequence, a label per residue: S in a
// signal peptide, M in a transmembrane segment, i or o in a loop inside or outside where
// the orientation is known (a segment or a signal peptide gives it), - where it is not.
void PrintThreeLine(const std::string& name, const std::string& sequence,
                    const std::vector<TmSegment>& segments, bool oriented, int signalEnd = 0) {
  std::string labels = TopologyLabels({signalEnd, segments}, static_cast<int>(sequence.size()));
  if (!oriented)
    std::replace_if(
        labels.begin(), labels.end(), [](char c) { return c == 'i' || c == 'o'; }, '-');
  std::cout << '>' << name << '\n' << sequence << '\n' << labels << '\n';
}

// The segmentation straight from the sequences: no models are built.
int RunThreeLineSegments(const Spanner2DArgs& args, CTessmolDoc& doc) {
  const ProcessState& state = doc.state();
  if (!state.segmentParamsStatus) {
    std::cerr << "Error: the segmentation method has no parameters: " << state.segmentParamsStatus.Describe()
              << '\n';
    return 1;
  }
  int status = 0;
  for (const std::string& path : args.files) {
    FastaReader reader(path, args.MaxUnpackedBytes());
    if (const std::string failure = FastaOpenFailure(reader.status(), path); !failure.empty()) {
      std::cerr << failure << '\n';
      status = 1;
      continue;
    }
    // One record at a time: the file's size does not matter.
    FastaRecord record;
    while (reader.Next(record)) {
      // A faulty record is named and left out, as the modelled formats do.
      if (!record.fault) {
        std::cerr << FastaRecordFault(path, record) << '\n';
        status = 1;
        continue;
      }
      for (const std::string& warning : RecordWarnings(FastaRecordPlace(path, record), record, true))
        std::cerr << warning << '\n';
      const ChainTopology topology = PredictTopology(TypesOfSequence(record.sequence), state.segmentParams);
      PrintThreeLine(record.name, record.sequence, topology.segments, true, topology.signalEnd);
    }
    if (!reader.status()) {
      std::cerr << (reader.status().detail == kFastaNoHeader ? WithFile(kNotFasta, path)
                                                             : reader.status().Describe())
                << '\n';
      status = 1;
    }
  }
  return status;
}

// The window scan's 3-line layout needs its models: one per record, its residues flagged.
int RunThreeLineWindow(const Spanner2DArgs& args, CTessmolDoc& doc) {
  const bool completed = doc.RunSpanner2D(
      args.files,
      [&](size_t, const Protein& model, const FastaRecord& record) {
        const std::vector<ResidueMembrane>& flags = model.transmembrane.residues;
        std::vector<TmSegment> segments;
        for (int32_t at = 0; at < static_cast<int32_t>(flags.size()); ++at) {
          if (!flags[at].transmembrane) continue;
          if (segments.empty() || segments.back().last != at - 1) segments.push_back({at, at, true});
          segments.back().last = at;
        }
        PrintThreeLine(record.name, record.sequence, segments, false);
      },
      {}, false, true);
  return completed ? 0 : 1;
}

// Each model's chart, named after its row's result file (one per record) when there are
// several: the first of a single file's models takes the path as given.
struct ModelCharts {
  const Spanner2DArgs& args;
  const CTessmolDoc& doc;
  int width = 0, height = 0;
  ChartOptions options = DefaultChartOptions();
  bool written = true;
  RunOutputs outputs{args.files};
  // Each chart is named after its model when the run has several: several files, or one
  // file of several records (counted before the first is charted, so that it is named as
  // the others are).
  bool several = args.files.size() > 1 || (!args.chart.empty() && SeveralRecords(args.files));

  bool SeveralRecords(const std::vector<std::string>& files) const {
    if (files.empty()) return false;
    FastaReader reader(files.front(), args.MaxUnpackedBytes());
    FastaRecord record;
    int records = 0;
    while (records < 2 && reader.Next(record)) ++records;
    return records > 1;
  }

  void operator()(const Protein& model) {
    if (args.chart.empty()) return;
    const std::string path = outputs.PathFor(args.chart, doc.entries().back().resultName, several);
    FileStatus status = outputs.CheckNotInput(path);
    // A file of many records charts each: the title names the record, not only the file.
    const std::string title = ChartTitle(model.fileName, doc, model.fastaRecord);
    if (status) status = WriteChartFile(model, title, path, width, height, options);
    if (!status) {
      std::cerr << status.Describe() << '\n';
      written = false;
    }
  }
};

// Why a file gave no model, as stderr says it: it cannot be read, it is no FASTA file,
// or its records were all faulty (each already listed).
std::string UnmodelledFileReason(const std::string& path, uint64_t maxUnpackedBytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return ReadFailure(path).Describe();
  FastaReader reader(path, maxUnpackedBytes);
  FastaRecord record;
  while (reader.Next(record)) {
  }
  if (!reader.status())
    return reader.status().detail == kFastaNoHeader ? WithFile(kNotFasta, path) : reader.status().Describe();
  return "no sequence was modelled";
}

int RunJson(const Spanner2DArgs& args, CTessmolDoc& doc, ModelCharts& charts) {
  nlohmann::json structures = nlohmann::json::array();
  std::set<std::string> modelled;
  // The records and files that gave no model are in the document too, not only on stderr.
  nlohmann::json failures = nlohmann::json::array();
  std::set<size_t> named;
  const bool completed = doc.RunSpanner2D(
      args.files,
      [&](size_t file, const Protein& model, const FastaRecord& record) {
        // A file of many records gives many structures of one file name: the record names each.
        structures.push_back(StructureJson(model, &doc.entries().back(), args.residues));
        modelled.insert(model.fileName);
        charts(model);
        // Modelled, but its result file could not be written: the row stays, and says so.
        if (const std::string& unstored = doc.entries().back().unstored; !unstored.empty()) {
          failures.push_back(FailureJson(args.files[file], static_cast<int>(file), unstored));
          failures.back()["record"] = record.name;
        }
      },
      [&](size_t file, const FastaRecord& record) {
        failures.push_back(FailureJson(args.files[file], static_cast<int>(file),
                                       FastaRecordFault(args.files[file], record)));
        failures.back()["record"] = record.name;
        named.insert(file);
      },
      true, true);
  for (size_t f = 0; f < args.files.size(); ++f) {
    const std::string& path = args.files[f];
    if (modelled.count(BareName(path)) > 0 || named.count(f) > 0) continue;
    failures.push_back(
        FailureJson(path, static_cast<int>(f), UnmodelledFileReason(path, args.MaxUnpackedBytes())));
  }
  PrintJson("spanner2d", structures, doc.entries(), failures.empty() ? nlohmann::json() : failures);
  return completed && charts.written ? 0 : 1;
}

int RunText(const Spanner2DArgs& args, CTessmolDoc& doc, ModelCharts& charts) {
  bool first = true;
  // A batch: a file that cannot be read is named, and the files after it are still modelled.
  const bool completed = doc.RunSpanner2D(
      args.files,
      [&](size_t, const Protein& model, const FastaRecord& record) {
        charts(model);
        if (!first) std::cout << '\n';
        first = false;
        PrintSummary(model, false, &doc.entries().back());
        // A file of many records gives many summaries of one file name: the record names each.
        std::cout << "FASTA record: " << record.name << '\n';
        std::cout << '\n';
        PrintTabbed(AnalysisListHeadings());
        PrintTabbed(AnalysisListRow(doc.entries(), doc.entries().size() - 1));
        if (args.residues) {
          std::cout << '\n';
          PrintResidueTable(model);
        }
        std::cout.flush();
      },
      {}, true, true);
  return completed && charts.written ? 0 : 1;
}

int Run(const Spanner2DArgs& args) {
  {
    std::vector<std::string> inputs = args.files;
    inputs.push_back(args.options.scoreTable);
    for (const std::string& refused :
         {RefuseOutputOptions({{"--chart", args.chart}}, args.files),
          RefuseRunFiles(
              {{"--log", args.options.logPath}, {"--inspection", args.inspection ? kInspectionFile : ""}},
              {{"--chart", args.chart}}, inputs)}) {
      if (!refused.empty()) {
        std::cerr << refused << '\n';
        return 2;
      }
    }
  }
  AnalysisOptions options = args.options;
  options.settings.writeHelixInspection = args.inspection;
  options.log = args.format != "3line";
  int chartWidth = 0, chartHeight = 0;
  if (!args.chart.empty() && !ParseChartSize(args.chartSize, chartWidth, chartHeight)) return 2;
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  ModelCharts charts{args, doc, chartWidth, chartHeight};
  // A refused or unreadable options file has been reported: no chart is drawn without it.
  if (!args.chart.empty() &&
      !LoadChartOptions(doc.state().programFolder() + kChartOptionsFile, charts.options, session.feedback()))
    return 1;
  if (args.format == "3line") {
    return doc.settings().tmMethod == TmMethod::kWindow ? RunThreeLineWindow(args, doc)
                                                        : RunThreeLineSegments(args, doc);
  }
  return args.format == "json" ? RunJson(args, doc, charts) : RunText(args, doc, charts);
}

}  // namespace

void SetupSpanner2D(CLI::App& app, int& status) {
  auto args = std::make_shared<Spanner2DArgs>();
  CLI::App* command = app.add_subcommand(
      "spanner2d",
      "Predict transmembrane segments, signal peptides and topology from FASTA sequences (by default the "
      "fitted segmentation; --method window: ideal-helix models); text and json write "
      "NAME.tsm, 3line (a stream) writes none. A faulty record is named and skipped, and fails the run");
  command
      ->add_option("FILE", args->files,
                   "FASTA files (each record a model of its own, one chain per sequence)")
      ->required();
  // Sequences have no heteroatoms, no secondary-structure records and no compressed form:
  // only what the models' surface pass takes.
  AddSurfaceOptions(*command, args->options);
  command->add_flag("--residues", args->residues, "Print each model's residue table as tab-separated values");
  command->add_flag("--inspection", args->inspection,
                    "Also write the helix model to ./helixtest.pdb, each model replacing the last (a "
                    "debugging aid in a layout of its own, not a PDB file)");
  AddFormatOption(*command, args->format, {"text", "json", "3line"});
  AddMaxUnpackedOption(*command, args->options.settings.maxUnpackedMiB, "FASTA file");
  command->add_option("--chart", args->chart, "Also draw each model's chart (.svg, .png or .pdf)")
      ->check(ChartFileType());
  command->add_option("--chart-size", args->chartSize, "Chart size in pixels, WIDTHxHEIGHT")
      ->capture_default_str();
  AddMethodOption(*command, args->options.method, false);
  AddSpannerOptions(*command, args->options.settings.spanner2DParams);
  command->callback([args, command, &status]() {
    status = 2;
    if (command->get_option("--chart-size")->count() > 0 && args->chart.empty()) {
      std::cerr << "Error: --chart-size sets the chart, which is only drawn with --chart\n";
      return;
    }
    if (const std::vector<std::string> scan = GivenScanOptions(*command);
        !scan.empty() && args->options.method != "window") {
      std::cerr << "Error: " << scan.front()
                << " sets the window scan, which only runs with --method window\n";
      return;
    }
    // The 3-line layout is a stream of labels: no model is drawn, listed or kept.
    if (args->format == "3line") {
      for (const char* name : {"--chart", "--chart-size", "--residues", "--inspection", "--out-dir"}) {
        if (command->get_option(name)->count() == 0) continue;
        std::cerr << "Error: " << name
                  << " does nothing with --format 3line, which prints the labels and writes "
                  << "no file\n";
        return;
      }
      // With the segments method no model is even built: only the sequences are read.
      for (const char* name : {"--resolution", "--score-table", "--threads", "--log"}) {
        if (args->options.method == "window" || command->get_option(name)->count() == 0) continue;
        std::cerr << "Error: " << name << " does nothing with --format 3line and the segments method, which "
                  << "reads the sequences only\n";
        return;
      }
    }
    status = Run(*args);
  });
}

}  // namespace tessmol::cli
