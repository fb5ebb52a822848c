#include "cli/common.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

#include "base/program_folder.h"
#include "base/text.h"
#include "chart/chart.h"
#include "document/report.h"

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
  command.add_option("--score-table", options.scoreTable,
                     "Score table (.stb) to score with instead of Default.stb");
  command.add_option("--log", options.logPath,
                     "Log file of the surface-area pass (default: temp/Logfile.log beside the program where "
                     "you may write there, else $XDG_STATE_HOME/tessmol/Logfile.log)");
}

void AddFormatOption(CLI::App& command, std::string& format, std::vector<std::string> choices) {
  const bool threeLine = std::find(choices.begin(), choices.end(), "3line") != choices.end();
  command
      .add_option("--format", format,
                  threeLine ? "Output: text (the summaries and tab-separated tables), json, or 3line (>name, "
                              "sequence, and a label per residue: S signal peptide, M membrane, i inside, o "
                              "outside, - side unknown)"
                            : "Output: text (the summaries and tab-separated tables) or json")
      ->check(CLI::IsMember(choices))
      ->capture_default_str();
}

void PrintJson(const std::string& command, const nlohmann::json& structures,
               const std::vector<AnalysisEntry>& entries, const nlohmann::json& failures) {
  nlohmann::json document = RunJson(command, structures, entries);
  if (failures.is_array()) document["failures"] = failures;
  std::cout << JsonText(document) << '\n';
}

void AddMethodOption(CLI::App& command, std::string& method, bool structures) {
  if (!structures) {
    // Sequences: the fitted segmentation unless the window scan is asked for.
    method = "segments";
    command
        .add_option("--method", method,
                    "segments: exact segmentation of a fitted membrane score, with signal peptides and "
                    "topology; window: the scan of ideal-helix models; auto: segments, as on a structure "
                    "where no membrane is placed (a sequence has none)")
        ->check(CLI::IsMember({"window", "segments", "auto"}))
        ->capture_default_str();
    return;
  }
  // On structures the default takes the slab where a membrane is placed, segments elsewhere.
  method = "auto";
  command
      .add_option("--method", method,
                  "auto: the slab where a membrane is placed on the structure, segments otherwise; "
                  "window: the scan of ideal-helix models; segments: exact segmentation of a membrane score; "
                  "slab: the residues inside the lipid slab placed on the structure. The slab leaves "
                  "heteroatoms out (waters, lipids, ligands), whatever --ignore-het says, and a predicted "
                  "model's residues of confidence (pLDDT) below 50")
      ->check(CLI::IsMember(kStructureMethods))
      ->capture_default_str();
}

void AddSpannerOptions(CLI::App& command, ScanParams& p) {
  const char* group = "Transmembrane scan";
  AddOptionWithAlias(command, "--min-area-difference", "--minAreaDifference", p.minAreaDifference,
                     "Area between the curves over a window must exceed it (1 to 10)")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--moving-average", "--movingAverage", p.movingAverage,
                     "Width of the moving averages (1 to 100)")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--min-difference", "--minDifference", p.minDifference,
                     "Least KAVELIN minus Profiles-3D average at every residue")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--min-ave-sasa", "--minAveSASA", p.minAveSASA,
                     "Mean side-chain area of a window must exceed it")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--tm-length-min", "--tmLengthMin", p.tmLengthMin, "Shortest window")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--tm-length-max", "--tmLengthMax", p.tmLengthMax, "Longest window")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--kavelin-min", "--kavelinMin", p.kavelinMin,
                     "Window mean KAVELIN average above")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--kavelin-max", "--kavelinMax", p.kavelinMax, "and below")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--profiles-min", "--profilesMin", p.profilesMin,
                     "Window mean Profiles-3D average above")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--profiles-max", "--profilesMax", p.profilesMax, "and below")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--length-area-min", "--lengthAreaMin", p.lengthAreaMin,
                     "Window length divided by area above")
      ->capture_default_str()
      ->group(group);
  AddOptionWithAlias(command, "--length-area-max", "--lengthAreaMax", p.lengthAreaMax, "and below")
      ->capture_default_str()
      ->group(group);
}

std::vector<std::string> GivenScanOptions(const CLI::App& command) {
  std::vector<std::string> given;
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_lnames().empty() || option->count() == 0) continue;
    // The older names are the only hidden options a command has.
    if (option->get_group() == "Transmembrane scan" || option->get_group().empty())
      given.push_back("--" + option->get_lnames().front());
  }
  return given;
}

void AddSecondaryStructureOption(CLI::App& command, std::string& value) {
  command
      .add_option("--secondary-structure", value,
                  "Helices and strands: auto (the file's records, else from coordinates), records, computed")
      ->check(CLI::IsMember({"auto", "records", "computed"}))
      ->capture_default_str();
}

SecondaryStructureSource SecondaryStructureSourceNamed(const std::string& value) {
  if (value == "records") return SecondaryStructureSource::kRecords;
  if (value == "computed") return SecondaryStructureSource::kComputed;
  return SecondaryStructureSource::kRecordsElseComputed;
}

void AddMaxUnpackedOption(CLI::App& command, int& mebibytes, const std::string& what) {
  command
      .add_option("--max-unpacked-mib", mebibytes,
                  "Largest text one gzip-compressed " + what +
                      " may unpack to, in MiB (a guard against files that unpack to more than the machine "
                      "holds)")
      ->check(CLI::Range(1, kMaxUnpackedMiBLimit))
      ->capture_default_str();
}

void AddConfidenceOption(CLI::App& command, std::string& value) {
  command
      .add_option("--confidence", value,
                  "Predicted models' pLDDT: auto (AlphaFold files and ModelCIF, by their header or "
                  "metadata; experimental structures never), plddt (take the B-factor column as pLDDT, "
                  "for ColabFold and ESMFold files without a header; values all within 0 to 1 are "
                  "scaled by 100; a file that names its experiment keeps none, with a warning)")
      ->check(CLI::IsMember({"auto", "plddt"}))
      ->capture_default_str();
}

ConfidenceSource ConfidenceSourceNamed(const std::string& value) {
  return value == "plddt" ? ConfidenceSource::kBFactors : ConfidenceSource::kHeader;
}

void AddConfidenceOptions(CLI::App& command, AnalysisOptions& options) {
  AddConfidenceOption(command, options.confidence);
  command
      .add_option("--confident-plddt", options.settings.confidentPlddt,
                  "pLDDT from which a predicted model's residue counts as confident (0 to 100)")
      ->capture_default_str();
}

void AddSurfaceOptions(CLI::App& command, AnalysisOptions& options) {
  AnalysisSettings& s = options.settings;
  command
      .add_option("--resolution", s.sasaResolution,
                  "Sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482, 5 = 1002, 6 = 2562")
      ->capture_default_str();
  command.add_option("--threads", s.threads, "Threads for the surface-area pass (0: one per core)")
      ->capture_default_str();
  command.add_option("--out-dir", s.workingDirectory,
                     "Folder for the result files (NAME.tsm), made when missing");
  AddTableOptions(command, options);
}

void AddAnalysisOptions(CLI::App& command, AnalysisOptions& options) {
  AddSecondaryStructureOption(command, options.secondary);
  AddMaxUnpackedOption(command, options.settings.maxUnpackedMiB);
  command.add_flag("--ignore-het", options.settings.ignoreHeteroAtoms,
                   "Leave every heteroatom (ligands, ions, cofactors) out of the surface pass; waters are "
                   "always left out, being the solvent");
  AddSurfaceOptions(command, options);
}

std::string KebabCase(const std::string& name) {
  std::string kebab;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool upper = c >= 'A' && c <= 'Z';
    // A capital starts a word after a small letter, or ends a run of capitals (SASAValue).
    const bool afterLower = i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z';
    const bool beforeLower = i > 0 && i + 1 < name.size() && name[i + 1] >= 'a' && name[i + 1] <= 'z' &&
                             name[i - 1] >= 'A' && name[i - 1] <= 'Z';
    if (upper && (afterLower || beforeLower)) kebab += '-';
    kebab += upper ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return kebab;
}

std::string WrapText(const std::string& text, size_t width) {
  std::string wrapped;
  size_t lineLength = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '\n') {
      wrapped += '\n';
      lineLength = 0;
      ++at;
      continue;
    }
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    size_t end = text.find_first_of(" \n", at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (lineLength > 0 && lineLength + 1 + word.size() > width) {
      wrapped += '\n';
      lineLength = 0;
    } else if (lineLength > 0) {
      wrapped += ' ';
      ++lineLength;
    }
    wrapped += word;
    lineLength += word.size();
    at = end;
  }
  return wrapped;
}

namespace {

constexpr size_t kHelpWidth = 80;

}  // namespace

std::string WrappingFormatter::make_option_desc(const CLI::Option* option) const {
  return WrapText(option->get_description(), kHelpWidth - get_column_width());
}

std::string WrappingFormatter::make_subcommand(const CLI::App* sub) const {
  std::stringstream out;
  CLI::detail::format_help(out, sub->get_display_name(true),
                           WrapText(sub->get_description(), kHelpWidth - get_column_width()),
                           get_column_width());
  return out.str();
}

std::string WrappingFormatter::make_description(const CLI::App* app) const {
  const std::string description = CLI::Formatter::make_description(app);
  return description.empty() ? description : WrapText(description, kHelpWidth) + "\n";
}

Session::Session(const AnalysisOptions& given) : state_(ExecutableFolder()) {
  AnalysisOptions options = given;
  options.settings.secondaryStructure = SecondaryStructureSourceNamed(options.secondary);
  options.settings.confidenceSource = ConfidenceSourceNamed(options.confidence);
  options.settings.tmMethod = options.method == "segments" ? TmMethod::kSegments
                              : options.method == "slab"   ? TmMethod::kSlab
                              : options.method == "auto"   ? TmMethod::kSlabElseSegments
                                                           : TmMethod::kWindow;
  if (!options.settings.workingDirectory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.settings.workingDirectory, error);
    // Validate names a folder that is missing or a file; the system says why one cannot be
    // made (a read-only parent, a full disk).
    std::error_code exists;
    if (error && !std::filesystem::exists(options.settings.workingDirectory, exists)) {
      std::cerr << "Error: --out-dir: cannot make the folder " << options.settings.workingDirectory << ": "
                << error.message() << '\n';
      status_ = 2;
      return;
    }
  }
  if (auto problem = options.settings.Validate()) {
    std::cerr << "Error: --" << KebabCase(problem->field) << ": " << problem->message << '\n';
    status_ = 2;
    return;
  }
  if (!options.logPath.empty()) state_.RequestLogPath(options.logPath);
  if (!options.log) state_.RequestNoLog();
  doc_ = std::make_unique<CTessmolDoc>(state_, feedback_);
  CTessmolDoc& doc = *doc_;
  doc.SetSettings(options.settings);
  // The document has said why on stderr.
  if (!options.logPath.empty() && state_.logFile() == nullptr) status_ = 1;
  // A damaged radius file, unlike a missing one, is refused: nothing is analysed with it.
  if (state_.hetRadiiStatus.problem == FileProblem::kFormat) status_ = 1;
  if (!options.scoreTable.empty()) {
    if (const FileStatus loaded = doc.LoadScoreTable(options.scoreTable); !loaded) {
      std::cerr << loaded.Describe() << '\n';
      status_ = 1;
    }
  }
}

namespace {

bool& LogLost() {
  static bool lost = false;
  return lost;
}

}  // namespace

Session::~Session() {
  doc_.reset();  // the last document closes the log and says what it lost
  if (!state_.logStatus()) LogLost() = true;
}

bool LogsWritten() {
  return !LogLost();
}

bool Analysed(CTessmolDoc::OpenResult result, const std::string& path, const FileStatus& file,
              bool resultHint) {
  switch (result) {
    case CTessmolDoc::OpenResult::kOpened:
      return true;
    case CTessmolDoc::OpenResult::kNoAtoms:
      std::cerr << "Error: no atoms could be read from " << path
                << (file.detail.empty() ? "" : ": " + file.detail) << '\n';
      return false;
    case CTessmolDoc::OpenResult::kResultFile:
      std::cerr << "Error: " << path << " is a Tessmol result file, not a structure"
                << (resultHint ? ": use show or recalc" : "") << '\n';
      return false;
    case CTessmolDoc::OpenResult::kFailed:
      std::cerr << (file.ok() ? "Error: " + path + " was not analysed" : file.Describe()) << '\n';
      return false;
  }
  return false;
}

std::string FailureText(CTessmolDoc::OpenResult result, const FileStatus& file) {
  switch (result) {
    case CTessmolDoc::OpenResult::kOpened:
      break;
    case CTessmolDoc::OpenResult::kNoAtoms:
      return "no atoms could be read" + (file.detail.empty() ? std::string() : ": " + file.detail);
    case CTessmolDoc::OpenResult::kResultFile:
      return "a Tessmol result file, not a structure";
    case CTessmolDoc::OpenResult::kFailed:
      return file.ok() ? "not analysed" : file.Describe();
  }
  return {};
}

std::string ChartTitle(const std::string& name, const CTessmolDoc& doc, const std::string& record) {
  return StructureName(name) + (record.empty() ? "" : "  " + record) + "  (" + doc.scoreTable().fileName +
         ")";
}

void PrintTabbed(const std::vector<std::string>& cells) {
  // A TAB or line break in a cell (a file named so) would start a field or a record.
  for (size_t i = 0; i < cells.size(); ++i) {
    std::string cell = cells[i];
    MaskControlCharacters(cell, false);
    std::cout << (i ? "\t" : "") << cell;
  }
  std::cout << '\n';
}

void PrintResidueTable(const Protein& protein) {
  WriteResidueTable(std::cout, protein);
}

void PrintSummary(const Protein& protein, bool residues, const AnalysisEntry* row) {
  const std::optional<float> expected =
      row != nullptr ? std::optional<float>(row->expectedScore) : std::nullopt;
  for (const std::string& line : SummaryLines(protein, expected)) std::cout << line << '\n';
  if (residues) {
    std::cout << '\n';
    PrintResidueTable(protein);
  }
  std::cout.flush();
}

void WarnMissingMainChain(const Protein& protein, const std::string& path) {
  if (const std::string warning = MissingMainChainWarning(protein, path); !warning.empty())
    std::cerr << warning << '\n';
}

void PrintAnalysisList(const std::vector<AnalysisEntry>& entries) {
  auto joined = [](std::vector<std::string> cells, const std::vector<std::string>& more) {
    cells.insert(cells.end(), more.begin(), more.end());
    return cells;
  };
  PrintTabbed(joined(AnalysisListHeadings(), AnalysisQualityHeadings()));
  for (size_t i = 0; i < entries.size(); ++i)
    PrintTabbed(joined(AnalysisListRow(entries, i), AnalysisQualityCells(entries[i])));
  std::cout.flush();
}

}  // namespace tessmol::cli
