// What the sub-commands of tessmol-cli share: how they talk to the user, the options of
// the analysis, and the document they drive.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "document/json_output.h"
#include "document/process_state.h"
#include "document/tessmol_doc.h"

namespace tessmol::cli {

// Messages go to stderr; progress is a self-erasing line, shown only on a terminal.
class TerminalFeedback : public Feedback {
 public:
  TerminalFeedback();
  void ShowMessage(const std::string& text) override;
  void BeginProgress(const std::string& text) override;
  void SetProgress(int percent) override;
  void EndProgress() override;

 private:
  bool terminal_;
  std::string text_;
  int percent_ = -1;
};

struct AnalysisOptions {
  AnalysisSettings settings;
  std::string secondary = "auto";
  std::string method = "window";
  std::string scoreTable;
  std::string logPath;
  std::string confidence = "auto";
  // False for a run with nothing to log (show, a 3-line stream): it opens no log, and so
  // leaves the last run's default log as it was.
  bool log = true;
};

// --confidence auto|plddt and --confident-plddt: predicted models' pLDDT.
void AddConfidenceOptions(CLI::App& command, AnalysisOptions& options);
// --confidence alone, for commands that only read.
void AddConfidenceOption(CLI::App& command, std::string& value);
ConfidenceSource ConfidenceSourceNamed(const std::string& value);

// Help text wrapped to the terminal's customary 80 columns, descriptions beside the names.
class WrappingFormatter : public CLI::Formatter {
 public:
  std::string make_option_desc(const CLI::Option* option) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_description(const CLI::App* app) const override;
};

// A camelCase name in kebab-case, as options are named: minAveSASA gives min-ave-sasa.
std::string KebabCase(const std::string& name);

// `text` broken between words into lines of at most `width` characters.
std::string WrapText(const std::string& text, size_t width);

// An option under its kebab-case name, with its older camelCase name kept as a hidden alias
// so that scripts written for it go on working.
template <class T>
CLI::Option* AddOptionWithAlias(CLI::App& command, const std::string& name, const std::string& oldName,
                                T& value, const std::string& description) {
  command.add_option(oldName, value)->group("");
  return command.add_option(name, value, description);
}

// The window scan's settings given to a command (AddSpannerOptions, under their names or
// their hidden older ones), in the order the command defines them.
std::vector<std::string> GivenScanOptions(const CLI::App& command);

// What is given to the surface pass of structures and sequence models alike: --resolution,
// --threads, --out-dir, --score-table, --log.
void AddSurfaceOptions(CLI::App& command, AnalysisOptions& options);
// The surface options and what applies to structure files only: --secondary-structure,
// --max-unpacked-mib, --ignore-het.
void AddAnalysisOptions(CLI::App& command, AnalysisOptions& options);
// The text of the files a structure command reads.
inline constexpr const char* kStructureFilesHelp =
    "Structure files: PDB or mmCIF, plain or gzip-compressed (.gz), told apart by their content";
// Only --score-table and --log, for commands that measure nothing.
void AddTableOptions(CLI::App& command, AnalysisOptions& options);
// --max-unpacked-mib: what one compressed structure may unpack to.
// Spanner3D's methods on a structure, as --method takes them.
inline const std::vector<std::string> kStructureMethods = {"auto", "window", "segments", "slab"};

void AddMaxUnpackedOption(CLI::App& command, int& mebibytes, const std::string& what = "structure");
// --secondary-structure auto|records|computed.
void AddSecondaryStructureOption(CLI::App& command, std::string& value);
SecondaryStructureSource SecondaryStructureSourceNamed(const std::string& value);
// --format text|json (and more choices where a command has them).
void AddFormatOption(CLI::App& command, std::string& format,
                     std::vector<std::string> choices = {"text", "json"});
// The run's JSON document on stdout, with the input files that were not analysed when
// `failures` is an array (multi and merge-lists).
void PrintJson(const std::string& command, const nlohmann::json& structures,
               const std::vector<AnalysisEntry>& entries, const nlohmann::json& failures = nullptr);

// --method window|segments, and slab where a structure is open (`structures`).
void AddMethodOption(CLI::App& command, std::string& method, bool structures);
// The twelve parameters of the transmembrane scan, named as they are.
void AddSpannerOptions(CLI::App& command, ScanParams& params);

// One document over the program's data, set up as the options say.
class Session {
 public:
  explicit Session(const AnalysisOptions& options);
  // Closes the log; one that lost lines has been named on stderr and fails the run.
  ~Session();
  // 0 when ready; otherwise the exit status, after saying why on stderr: 2 for a value
  // out of range, 1 for a table or log the user named that cannot be used.
  int status() const { return status_; }
  CTessmolDoc& doc() { return *doc_; }
  TerminalFeedback& feedback() { return feedback_; }

 private:
  ProcessState state_;
  TerminalFeedback feedback_;
  std::unique_ptr<CTessmolDoc> doc_;
  int status_ = 0;
};

// False once a run's log could not take every line (said on stderr as it closed): the
// command then exits with 1 whatever else it did.
bool LogsWritten();

// Says on stderr why a structure file was not analysed; true when it was. A result file
// named as a structure gets "use show or recalc" when `resultHint`.
bool Analysed(CTessmolDoc::OpenResult result, const std::string& path, const FileStatus& file,
              bool resultHint);

// Why a structure file was not analysed, for the JSON document's failures.
std::string FailureText(CTessmolDoc::OpenResult result, const FileStatus& file);

// A chart's title: the structure's name (and a sequence's FASTA record) and the score table it
// was scored with.
std::string ChartTitle(const std::string& name, const CTessmolDoc& doc, const std::string& record = {});

void PrintTabbed(const std::vector<std::string>& cells);
void PrintResidueTable(const Protein& protein);
void PrintSummary(const Protein& protein, bool residues, const AnalysisEntry* row = nullptr);
void PrintAnalysisList(const std::vector<AnalysisEntry>& entries);

// Says on stderr that residues lack main-chain atoms (their areas and scores are then
// not to be trusted), whatever the log file says.
void WarnMissingMainChain(const Protein& protein, const std::string& path);

}  // namespace tessmol::cli
