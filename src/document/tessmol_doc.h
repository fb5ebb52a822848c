// The document: the protein the views show, the analysis list, the settings, the score
// table in force and the log text, with the analyses the user starts on them. No toolkit
// here: commands take paths and values; the front ends own the dialogs. Every command
// that touches files reports what went wrong through Feedback and its return value.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "base/file_status.h"
#include "base/run_names.h"
#include "document/analysis_settings.h"
#include "document/process_state.h"
#include "model/protein.h"
#include "scoring/score_table.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {

class SurfacePoints;

// One row of the analysis list.
struct AnalysisEntry {
  std::string resultName;  // the structure file's name with its extension replaced by "tsm"
  float averageScore = 0.0f;
  float expectedScore = 0.0f;
  std::string scoreTableName;
  // False for a stored result scored with another table than the one loaded: its expected
  // and compatible scores are not known here.
  bool expectedKnown = true;
  std::string resultPath;  // "./" + resultName, in the process's current folder
  // Why the result file could not be written (the row stays in the list all the same);
  // empty when it was.
  std::string unstored;
  int inputIndex = -1;  // the structure's place in a multiple analysis's file list
  // The 3D-1D window test (every structure; a sequence's ideal-helix model is not judged)
  // and, for a predicted model, the scores over its confident residues with the compatible
  // score for their number.
  float passFraction = 0.0f;
  bool judged = true;
  bool model = false;
  float confidentAverage = 0.0f;
  float confidentExpected = 0.0f;
  int confidentCount = 0;
  int leftOut = 0;
};

// What the multiple-analysis dialog hands over.
struct MultipleAnalysisRequest {
  std::vector<std::string> filePaths;
  bool createCustomTable = false;  // gather counts and samples; write the table when a path is given
  std::string customTablePath;
  // The result name of each file, when the run is part of a larger one (a shard): named
  // within the whole list, so that the parts' results never take each other's names.
  // Empty: each file is named in order within this run, whether it is analysed or not.
  std::vector<std::string> resultNames{};
};

// What a multiple analysis could not do: files skipped (with why), result files not
// written, and the custom table when it could not be written.
struct MultipleAnalysisReport {
  std::vector<size_t> analysed;  // the indices of the files that gave rows, in file order
  std::vector<FileStatus> skipped;
  std::vector<FileStatus> unwritten;
  FileStatus customTable;
  std::vector<std::string> warnings;  // said of the files analysed, in file order
  bool ok() const { return skipped.empty() && unwritten.empty() && customTable.ok(); }
};

// The name a result file gets: the structure file's name with its extension (after any
// compression suffix) replaced by "tsm", or "tsm" added when it has none:
// 1abc.pdb, 1abc.pdb1 and 1abc.pdb.gz all give 1abc.tsm; br.fasta gives br.tsm.
std::string ResultNameFor(const std::string& fileName);

// The result names of a list of structure files, in list order, as one run gives them:
// ResultNameFor each file's name, with "-2", "-3", ... before ".tsm" where it repeats.
std::vector<std::string> ResultNamesFor(const std::vector<std::string>& paths);

// A row's scores: the average, the name of the table that scored the residues, the expected
// score for that many residues from `table` (shown only when `tableName` is that table's),
// the 3D-1D window test and, for a predicted model, its confident scores.
void ScoreRow(AnalysisEntry& row, const Protein& protein, const std::string& tableName,
              const ScoreTable& table, float confidentPlddt);

// The residues in the placed slabs' segments, with their orientation and kind: the
// transmembrane result of the slab method.
TransmembraneResult SlabResult(const Structure& structure, const std::vector<MembranePlacement>& slabs);

// The text of each of the six columns of the analysis list.
std::vector<std::string> AnalysisListHeadings();
std::vector<std::string> AnalysisListRow(const std::vector<AnalysisEntry>& entries, size_t index);
// The columns a list of models is ranked by, after the list's own: the 3D-1D window test's
// pass fraction (percent), and for predicted models the average over confident residues,
// its compatible score, their count and the count left out ("-" for other structures).
std::vector<std::string> AnalysisQualityHeadings();
std::vector<std::string> AnalysisQualityCells(const AnalysisEntry& entry);

inline constexpr const char* kResultFileFailed =
    "Error: Failed to create output (.tsm) file to create and add protein summary to view";
inline constexpr const char* kLogFileFailed = "Error: Could not find LogFile.Log";
inline constexpr const char* kNoStructureSelected = "Error no structure selected";
inline constexpr const char* kSlabNeedsStructure =
    "Error: the membrane slab is placed on a structure: choose the window scan or segments for Spanner2D";
inline constexpr const char* kSpanner3DWriteFailed =
    "Error: Failed to create output (.tsm) file for the structure";
inline constexpr const char* kSpanner2DWriteFailed =
    "Error: Failed to create output (.tsm) file for the residues";
inline constexpr const char* kNotFasta = "Error: file not in FASTA format";
// "Error: Failed to open PATH", with the reason when the system or the unpacking gave one
// (a folder, no permission, a damaged gzip stream); empty when the file could be opened.
std::string FastaOpenFailure(const FileStatus& status, const std::string& path);
inline constexpr const char* kFastaNotProcessed = "Error: Could not process FASTA file";

// A fixed message with the file it is about: "TEXT: PATH".
inline std::string WithFile(const std::string& text, const std::string& path) {
  return text + ": " + path;
}
// The same for a failed file operation, with the system's reason after the file.
inline std::string WithFile(const std::string& text, const FileStatus& status) {
  return WithFile(text, status.path) + (status.detail.empty() ? "" : ": " + status.detail);
}
// Where a FASTA record is: "PATH (NAME, line N)", N its header's line. What a faulty
// record is reported as: one without residues as a file that could not
// be processed (its model would have no atom), naming the record and its header's line;
// any other fault (a character that is no residue) as itself.
inline std::string FastaRecordPlace(const std::string& path, const FastaRecord& record) {
  return path + " (" + record.name + ", line " + std::to_string(record.headerLine) + ")";
}
inline std::string FastaRecordFault(const std::string& path, const FastaRecord& record) {
  if (record.sequence.empty())
    return WithFile(kFastaNotProcessed, FastaRecordPlace(path, record)) + ": the record has no sequence";
  return record.fault.Describe();
}
// Said when the shipped default score table cannot be read, so the built-in Profiles-3D
// table stays in force: "Warning: cannot read PATH: REASON; the built-in ... instead".
inline std::string BuiltInTableWarning(const FileStatus& status) {
  std::string problem = status.Describe();
  if (problem.rfind("Error: ", 0) == 0) problem.erase(0, std::string("Error: ").size());
  return "Warning: " + problem + "; the built-in Profiles-3D table is used instead";
}

class CTessmolDoc {
 public:
  // Start-up: the default score table (the built-in one when its file cannot be read)
  // becomes the process's scoring table, the heteroatom radii are read, and the first
  // document opens the log file (where the process state asks, else in the work folder).
  CTessmolDoc(ProcessState& state, Feedback& feedback);
  ~CTessmolDoc();
  CTessmolDoc(const CTessmolDoc&) = delete;
  CTessmolDoc& operator=(const CTessmolDoc&) = delete;

  // ---- commands ----

  enum class OpenResult { kOpened, kNoAtoms, kResultFile, kFailed };
  // The single-structure pipeline for a chosen file: read, assemble, surface areas,
  // scores, a new row in the analysis list and its result file. kNoAtoms leaves the
  // protein as it was (the desktop then shows its file dialog again); kResultFile when
  // the file is one of our result files, which is never read as a structure; kFailed
  // when the file cannot be read or measured.
  // `status` receives what went wrong with the file, and a failed result-file write.
  OpenResult OpenStructure(const std::string& path, FileStatus* status = nullptr);
  // The same pipeline into `analysed`, with no row, no result file, and the open
  // structure left as it is.
  OpenResult AnalyseFile(const std::string& path, Protein& analysed, FileStatus* status = nullptr);

  // Starts a run of these input files: result names given from now on never repeat one
  // given in the run (a later one gets "-2", "-3", ... before ".tsm"), and a result whose
  // name is one of the inputs is not written. Multiple analysis and Spanner2D start their
  // own.
  void BeginRun(std::vector<std::string> inputs = {}) { runNames_.Clear(std::move(inputs)); }

  // The multiple analysis: every readable file analysed, a row each, the list sorted.
  // With `jobs` above 1 the files are analysed in parallel; rows, result files and the
  // custom table are the same as with one job.
  MultipleAnalysisReport AnalyseMultiple(const MultipleAnalysisRequest& request, int jobs = 1);
  // Derives the custom score table from what has been gathered and writes it.
  FileStatus WriteCustomTable(const std::string& path);

  // Orders rows lo to hi by average residue score, highest first (equal scores keep
  // their order).
  void SortEntries(int lo, int hi);
  // Shows the stored structure of row `index` under `name`; false (with the message)
  // when its result file is missing, unreadable or damaged.
  bool LoadEntry(int index, const std::string& name);
  // Rescores the given rows from their result files with the scoring table in force and
  // writes them back; stops with the message at the first file that cannot be read or
  // written. Returns how many rows were done, and what stopped it.
  struct RecalculateResult {
    size_t done = 0;
    FileStatus status;
  };
  RecalculateResult RecalculateProfiles(const std::vector<int>& indices);
  // A row for a result file written earlier (the command line names them); the row
  // carries no scores until it is recalculated or loaded.
  int AddStoredEntry(const std::string& resultPath);

  // Load Score Table: the table becomes the one in force for later analyses. A file that
  // cannot be read or holds no complete SCORES row changes nothing.
  FileStatus LoadScoreTable(const std::string& path);
  // The same for a table read earlier (the Python module reads a user's table once and
  // analyses many structures with it).
  void UseScoreTable(const ScoreTable& table) {
    scoreTable_ = table;
    state_.scoringTable = scoreTable_.scores;
  }

  // Spanner3D: the open structure's sequence modelled as ideal helices, scanned, and its
  // transmembrane flags copied onto the open structure; the row and its result file are
  // rewritten. False (after the message) when nothing could be done. The helix typing of
  // the model's residues is chosen by measurement (the helix-range benchmark).
  bool RunSpanner3D(ModelHelixRange range = ModelHelixRange::kWholeModel);
  // Save As: the shown structure's result file at `path`, or its residue table as
  // tab-separated text when the name ends in ".tsv". After the message, what failed.
  FileStatus SaveShown(const std::string& path);
  // Places the lipid slab on the open structure and keeps the placements with the protein;
  // false, after the message, when nothing is open.
  bool PlaceMembraneOnStructure();
  // The placements of the lipid slab on an analysed structure, whichever command asks: the
  // heteroatoms never take part (waters, lipids and detergent bound to the protein would
  // hide the surface that faces the bilayer), so a surface analysed with them is computed
  // again without them; a predicted model's residues of low confidence are left out.
  std::vector<MembranePlacement> PlaceMembranes(const Protein& protein);
  // Spanner2D: for each FASTA file, in order, and each of its records, one at a time, a
  // helix model of the record's sequence, analysed and scanned, added to the analysis
  // list with its result file (NAME.tsm, NAME-2.tsm, ... for a file of several records).
  // Stops at the first file that cannot be opened or is no FASTA (the desktop's command),
  // or with `pastUnreadable` names it, fails the run and goes on with the next (the
  // command line's batch); a faulty record (no residues, a format error) is named and left
  // out, and it, a read error or a missing template fails the run, the other records and
  // files are still done. `onModel` sees each model with its file's index and its record,
  // `onFailure` each faulty record with its file's index.
  // Without `keepResults` the models go only to `onModel`: no row, no result file (a
  // stream of labels writes nothing beside it).
  bool RunSpanner2D(const std::vector<std::string>& paths,
                    const std::function<void(size_t, const Protein&, const FastaRecord&)>& onModel = {},
                    const std::function<void(size_t, const FastaRecord&)>& onFailure = {},
                    bool keepResults = true, bool pastUnreadable = false);

  // ---- state ----

  const Protein& protein() const { return protein_; }
  const std::vector<AnalysisEntry>& entries() const { return entries_; }
  std::optional<int> currentEntry() const { return currentEntry_; }
  bool structureLoaded() const { return structureLoaded_; }
  const std::string& workFolder() const { return workFolder_; }
  // The folder result files go to, ending in '/': the Working Directory, else "./".
  std::string ResultFolder() const;
  const std::string& logText() const { return logText_; }
  const std::string& title() const { return title_; }
  const ScoreTable& scoreTable() const { return scoreTable_; }

  const AnalysisSettings& settings() const { return settings_; }
  // Takes new settings when they pass Validate; otherwise keeps the old and says why.
  std::optional<AnalysisSettings::Problem> SetSettings(const AnalysisSettings& settings);

  ProcessState& state() { return state_; }
  const ProcessState& state() const { return state_; }
  Feedback& feedback() { return feedback_; }

 private:
  // Read, assemble, measure and score one file; nullopt when it cannot be read, holds no
  // atom or its surface could not be measured, and `read` says which.
  struct ReadOutcome {
    FileStatus status;
    bool hadAtoms = false;
    std::string noProtein;  // why a file with atoms gave no protein (NoProteinReason)
    bool resultFile = false;
    std::vector<std::string> warnings;  // said of a file that was analysed (its pLDDT refused)
  };
  std::optional<Protein> Analyse(const std::string& path, Feedback& feedback, std::ostream* log, int threads,
                                 ReadOutcome& read);
  std::optional<Protein> AnalyseOrThrow(const std::string& path, Feedback& feedback, std::ostream* log,
                                        int threads, ReadOutcome& read);
  // Load, surface areas and scores of a helix model. With `points`, the pass uses that
  // point set, read into it first when it is empty.
  bool AnalyseModel(Protein& model, SurfacePoints* points = nullptr);
  // One file of AnalyseMultiple, on a worker: its analysis, log and result file written
  // under a temporary name; and its row, on the calling thread in file order.
  struct ListOutcome;
  ListOutcome AnalyseForList(const std::string& path, bool logging, int threads);
  void AddListOutcome(size_t index, const std::string& path, const std::string& resultName,
                      ListOutcome&& outcome, bool customTable, MultipleAnalysisReport& report);
  // The segmentation method on every polypeptide chain of `structure`: transmembrane
  // flags and orientations from its sequence, and from its own scores when given. A model
  // built from a sequence gives its letters' types (`types`, one per residue): the builder
  // gives X a side chain, the segmentation reads it as unknown.
  TransmembraneResult SegmentStructure(const Structure& structure, const ScoreResult* scores,
                                       const std::vector<int>* types = nullptr) const;
  void SegmentPiece(const Structure& structure, int32_t first, int32_t last, const ScoreResult* scores,
                    const SegmentParams& params, TransmembraneResult& result,
                    const std::vector<int>* sequenceTypes) const;
  bool SegmentParamsReady();
  // Spanner3D's end: rescoring, the row and its result file.
  bool FinishSpanner3D();
  // Appends a row for an analysed protein and writes its result file; the row stays
  // when the write fails (after the message).
  // Adds the row and writes its result file, or moves the one already written (`pending`)
  // to the row's name.
  // `resultName`: the name given the result beforehand (a multiple analysis names its files
  // in list order); none: the next unique name for the structure.
  FileStatus AddSummaryEntry(const Protein& analysed, PendingFile* pending = nullptr,
                             const std::string* resultName = nullptr);
  std::string UniqueResultName(const std::string& fileName);

  ProcessState& state_;
  Feedback& feedback_;
  Protein protein_;
  std::string logText_;
  bool structureLoaded_ = false;
  std::string workFolder_;
  std::vector<AnalysisEntry> entries_;
  AnalysisSettings settings_;
  ScoreTable scoreTable_;
  std::optional<int> currentEntry_;
  std::string title_;
  RunNames runNames_;
};

}  // namespace tessmol
