// The document: the protein the views show, the analysis list, the options, the score
// table in force and the log text, with the analyses the user starts on them. No toolkit
// here: commands take paths and values; the front ends own the dialogs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/process_state.h"
#include "document/spanner_params.h"
#include "model/feedback.h"
#include "model/protein.h"
#include "scoring/score_table.h"

namespace tessmol {

// One row of the analysis list.
struct AnalysisEntry {
  std::string resultName;  // the structure file's name, last three characters replaced by "tsm"
  float averageScore = 0.0f;
  float expectedScore = 0.0f;
  std::string scoreTableName;
  std::string resultPath;  // "./" + resultName, in the process's current folder
};

struct GeneralOptions {
  std::string workingDirectory;
  int ignoreHeteroAtoms = 0;
  int sasaResolution = 2;  // 0 to 5: 92, 162, 252, 392, 482, 1002 points per atom
};

// What the multiple-analysis dialog hands over.
struct MultipleAnalysisRequest {
  std::vector<std::string> filePaths;
  bool createCustomTable = false;
  std::string customTablePath;
};

// The name a result file gets: the last three characters replaced by "tsm".
std::string ResultNameFor(const std::string& fileName);

// The text of each of the six columns of the analysis list.
std::vector<std::string> AnalysisListHeadings();
std::vector<std::string> AnalysisListRow(const std::vector<AnalysisEntry>& entries, size_t index);

inline constexpr const char* kResultFileFailed =
    "Error: Failed to create output (.tsm) file to create and add protein summary to view";
inline constexpr const char* kLogFileFailed = "Error: Could not find LogFile.Log";

class CTessmolDoc {
 public:
  // Start-up: the default score table (the built-in one when its file cannot be read)
  // becomes the process's scoring table, the heteroatom radii are read, and the first
  // document opens the log file in the work folder.
  CTessmolDoc(ProcessState& state, Feedback& feedback);
  ~CTessmolDoc();
  CTessmolDoc(const CTessmolDoc&) = delete;
  CTessmolDoc& operator=(const CTessmolDoc&) = delete;

  enum class OpenResult { kOpened, kNoAtoms, kFailed };
  // The single-structure pipeline for a chosen file: read, assemble, surface areas,
  // scores, a new row in the analysis list and its result file. kNoAtoms leaves the
  // protein as it was (the desktop then shows its file dialog again).
  OpenResult OpenStructure(const std::string& path);

  // Appends a row for an analysed protein and writes its result file; false (after the
  // message) when the file could not be written. The row stays either way.
  bool AddSummaryEntry(const Protein& analysed);

  // The multiple analysis: every readable file analysed, a row each, the list sorted.
  // With `jobs` above 1 the files are analysed in parallel; rows, result files and the
  // custom table are the same as with one job. Returns the paths that were skipped.
  std::vector<std::string> AnalyseMultiple(const MultipleAnalysisRequest& request, int jobs = 1);
  // Derives the custom score table from what has been gathered and writes it.
  bool WriteCustomTable(const std::string& path);

  // Orders rows lo to hi by average residue score, highest first (equal scores keep
  // their order).
  void SortEntries(int lo, int hi);
  // Shows the stored structure of row `index` under `name`; false (with the message)
  // when its result file is damaged.
  bool LoadEntry(int index, const std::string& name);
  // Rescores the given rows from their result files with the scoring table in force;
  // stops with the message at the first damaged file. False when it stopped.
  bool RecalculateProfiles(const std::vector<int>& indices);

  // Load Score Table: the table becomes the one in force for later analyses.
  bool LoadScoreTable(const std::string& path);

  // Threads for the surface-area pass of single structures (0: one per core).
  int sasaThreads = 0;
  // Helix models are also written to ./helixtest.pdb for inspection.
  bool writeHelixInspection = true;
  Spanner2DParams spanner2DParams;

  Protein protein;
  std::string logText;
  bool structureLoaded = false;
  std::string workFolder;
  std::vector<AnalysisEntry> entries;
  GeneralOptions generalOptions;
  ScoreTable scoreTable;
  std::optional<int> currentEntry;
  std::string title;

  ProcessState& state() { return state_; }
  Feedback& feedback() { return feedback_; }

 private:
  // Read, assemble, measure and score one file; nullopt when it holds no atom or its
  // surface could not be measured. `log` receives the pass's log lines.
  std::optional<Protein> Analyse(const std::string& path, Feedback& feedback, std::ostream* log, int threads,
                                 bool* hadAtoms = nullptr);

  ProcessState& state_;
  Feedback& feedback_;
};

}  // namespace tessmol
