#include "cli/common.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "document/report.h"
#include "model/program_folder.h"

namespace tessmol::cli {

TerminalFeedback::TerminalFeedback() : terminal_(isatty(STDERR_FILENO) != 0) {}

void TerminalFeedback::ShowMessage(const std::string& text) {
  if (terminal_ && percent_ >= 0) std::cerr << "\r\033[K";
  std::cerr << text << '\n';
  percent_ = -1;
}

void TerminalFeedback::BeginProgress(const std::string& text) {
  text_ = text;
  percent_ = -1;
  SetProgress(0);
}

void TerminalFeedback::SetProgress(int percent) {
  if (!terminal_ || percent == percent_) return;
  percent_ = percent;
  std::cerr << "\r\033[K" << text_ << ' ' << percent << '%' << std::flush;
}

void TerminalFeedback::EndProgress() {
  if (terminal_ && percent_ >= 0) std::cerr << "\r\033[K" << std::flush;
  percent_ = -1;
}

void AddTableOptions(CLI::App& command, AnalysisOptions& options) {
  command
      .add_option("--score-table", options.scoreTable,
                  "Score table (.stb) to score with instead of Default.stb")
      ->check(CLI::ExistingFile);
  command.add_option("--log", options.logPath,
                     "Log file of the surface-area pass (default: temp/Logfile.log beside the program)");
}

void AddSpannerOptions(CLI::App& command, Spanner2DParams& p) {
  const char* group = "Transmembrane scan";
  command
      .add_option("--minAreaDifference", p.minAreaDifference,
                  "Area between the curves over a window must exceed it (1 to 10)")
      ->check(CLI::Range(1.0f, 10.0f))
      ->capture_default_str()
      ->group(group);
  command.add_option("--movingAverage", p.movingAverage, "Width of the moving averages (1 to 100)")
      ->check(CLI::Range(1u, 100u))
      ->capture_default_str()
      ->group(group);
  command
      .add_option("--minDifference", p.minDifference,
                  "Least KAVELIN minus Profiles-3D average at every residue")
      ->capture_default_str()
      ->group(group);
  command.add_option("--minAveSASA", p.minAveSASA, "Mean side-chain area of a window must exceed it")
      ->capture_default_str()
      ->group(group);
  command.add_option("--tmLengthMin", p.tmLengthMin, "Shortest window")->capture_default_str()->group(group);
  command.add_option("--tmLengthMax", p.tmLengthMax, "Longest window")->capture_default_str()->group(group);
  command.add_option("--kavelinMin", p.kavelinMin, "Window mean KAVELIN average above")
      ->capture_default_str()
      ->group(group);
  command.add_option("--kavelinMax", p.kavelinMax, "and below")->capture_default_str()->group(group);
  command.add_option("--profilesMin", p.profilesMin, "Window mean Profiles-3D average above")
      ->capture_default_str()
      ->group(group);
  command.add_option("--profilesMax", p.profilesMax, "and below")->capture_default_str()->group(group);
  command.add_option("--lengthAreaMin", p.lengthAreaMin, "Window length divided by area above")
      ->capture_default_str()
      ->group(group);
  command.add_option("--lengthAreaMax", p.lengthAreaMax, "and below")->capture_default_str()->group(group);
}

void AddAnalysisOptions(CLI::App& command, AnalysisOptions& options) {
  command
      .add_option("--resolution", options.resolution,
                  "Sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482, 5 = 1002")
      ->check(CLI::Range(0, 5))
      ->capture_default_str();
  command.add_flag("--ignore-het", options.ignoreHet, "Leave heteroatoms (ligands, ions, waters) out");
  command.add_option("--threads", options.threads, "Threads for the surface-area pass (0: one per core)")
      ->check(CLI::Range(0, 1024))
      ->capture_default_str();
  AddTableOptions(command, options);
}

Session::Session(const AnalysisOptions& options) : state_(ExecutableFolder()) {
  doc_ = std::make_unique<CTessmolDoc>(state_, feedback_);
  CTessmolDoc& doc = *doc_;
  doc.generalOptions.sasaResolution = options.resolution;
  doc.generalOptions.ignoreHeteroAtoms = options.ignoreHet ? 1 : 0;
  doc.sasaThreads = options.threads;
  doc.spanner2DParams = options.spanner;
  if (!options.logPath.empty() && !state_.OpenLog(options.logPath)) {
    std::cerr << "Error: cannot write the log file " << options.logPath << '\n';
    ready_ = false;
  }
  if (!options.scoreTable.empty() && !doc.LoadScoreTable(options.scoreTable)) {
    std::cerr << "Error: cannot read the score table " << options.scoreTable << '\n';
    ready_ = false;
  }
}

void PrintTabbed(const std::vector<std::string>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) std::cout << (i ? "\t" : "") << cells[i];
  std::cout << '\n';
}

void PrintResidueTable(const Protein& protein) {
  PrintTabbed(ResidueTableHeadings());
  for (size_t i = 0; i < protein.structure.residues.size(); ++i)
    PrintTabbed(ResidueTableRow(protein.structure, i));
}

void PrintSummary(const Protein& protein, bool residues) {
  for (const std::string& line : SummaryLines(protein)) std::cout << line << '\n';
  if (residues) {
    std::cout << '\n';
    PrintResidueTable(protein);
  }
  std::cout.flush();
}

void PrintAnalysisList(const std::vector<AnalysisEntry>& entries) {
  PrintTabbed(AnalysisListHeadings());
  for (size_t i = 0; i < entries.size(); ++i) PrintTabbed(AnalysisListRow(entries, i));
  std::cout.flush();
}

}  // namespace tessmol::cli
