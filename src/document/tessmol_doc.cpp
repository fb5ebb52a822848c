#include "document/tessmol_doc.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <sstream>

#include "base/parallel.h"
#include "base/text.h"
#include "document/report.h"
#include "document/result_file.h"
#include "model/het_radii_file.h"
#include "model/secondary_structure.h"
#include "model/structure_file.h"
#include "scoring/model_quality.h"
#include "scoring/residue_scores.h"
#include "surface/sasa.h"

namespace tessmol {

namespace {

// " (3.2 structures/s, 12 s left)" once something is done.
std::string RateAndTimeLeft(std::chrono::steady_clock::time_point started, size_t done, size_t total) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (done == 0 || seconds <= 0.0) return {};
  const double rate = static_cast<double>(done) / seconds;
  char text[80];
  std::snprintf(text, sizeof text, " (%.1f structures/s, %.0f s left)", rate,
                static_cast<double>(total - done) / rate);
  return text;
}

// Suffixes of compressed files: the structure's own extension comes before them.
constexpr std::string_view kCompressionSuffixes[] = {".gz", ".bz2", ".xz", ".Z", ".zst"};

}  // namespace

std::string ResultNameFor(const std::string& fileName) {
  std::string name = fileName;
  // In either case: a file is told compressed by its content, and UP.PDB.GZ is UP's result.
  for (std::string_view suffix : kCompressionSuffixes) {
    if (name.size() > suffix.size() && EndsWithAnyCase(name, suffix)) {
      name.resize(name.size() - suffix.size());
      break;
    }
  }
  const size_t dot = name.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name + ".tsm";
}

std::vector<std::string> AnalysisListHeadings() {
  return {"Index",
          "Structure",
          "Score Table",
          "Average Residue Score",
          "Expected Residue Score",
          "Compatible Residue Score"};
}

std::vector<std::string> AnalysisListRow(const std::vector<AnalysisEntry>& entries, size_t index) {
  const AnalysisEntry& e = entries[index];
  // The compatible score is 45 % of the expected one, the constant taken in single
  // precision and the product in double, as the published threshold has always been shown.
  const double compatible = static_cast<double>(e.expectedScore) * static_cast<double>(0.45f);
  // Names go into tab-separated lines: a TAB or line break in one would start a field or row.
  std::string resultName = e.resultName, tableName = e.scoreTableName;
  MaskControlCharacters(resultName);
  MaskControlCharacters(tableName);
  return {std::to_string(index),
          resultName,
          tableName,
          FormatFixed(e.averageScore),
          e.expectedKnown ? FormatFixed(e.expectedScore) : "-",
          e.expectedKnown ? FormatFixed(compatible) : "-"};
}

std::vector<std::string> AnalysisQualityHeadings() {
  return {"Window Pass %", "Confident Average", "Confident Compatible", "Confident Residues", "Left Out"};
}

std::vector<std::string> AnalysisQualityCells(const AnalysisEntry& e) {
  const std::string pass = e.judged ? FormatFixed(100.0f * e.passFraction, 1) : std::string("-");
  if (!e.model) return {pass, "-", "-", "-", "-"};
  // No confident residue: no average and no score to compare it with.
  if (e.confidentCount == 0) return {pass, "-", "-", "0", std::to_string(e.leftOut)};
  return {pass, FormatFixed(e.confidentAverage),
          FormatFixed(static_cast<double>(e.confidentExpected) * static_cast<double>(0.45f)),
          std::to_string(e.confidentCount), std::to_string(e.leftOut)};
}

CTessmolDoc::CTessmolDoc(ProcessState& state, Feedback& feedback) : state_(state), feedback_(feedback) {
  const std::string& folder = state_.programFolder();
  workFolder_ = folder;
  // A missing or unreadable default table leaves the built-in Profiles-3D table in force,
  // and the user is told: the program's own data files are damaged or gone.
  if (const FileStatus table = scoreTable_.LoadTable(folder + "/Tessmol_Files/Default.stb", "Default.stb");
      !table)
    feedback_.ShowMessage(BuiltInTableWarning(table));
  state_.scoringTable = scoreTable_.scores;
  state_.hetRadiiStatus = LoadHetAtomRadii(folder + kHetRadiiFile, state_.hetAtomRadii, feedback_);
  if (!state_.segmentParamsStatus)
    state_.segmentParamsStatus = LoadSegmentParams(folder + kSegmentParamsFile, state_.segmentParams);
  workFolder_ += "/temp/";
  if (state_.logFile() == nullptr && !state_.noLogRequested()) {
    const std::string& requested = state_.requestedLogPath();
    const FileStatus opened =
        requested.empty() ? state_.OpenDefaultLog(feedback_) : state_.OpenLog(requested);
    if (!opened) feedback_.ShowMessage(WithFile(kLogFileFailed, opened));
  }
  state_.AttachDocument();
}

CTessmolDoc::~CTessmolDoc() {
  const bool open = state_.logFile() != nullptr;
  state_.DetachDocument();
  // A log that lost lines is said once, by the document that closed it.
  if (open && state_.logFile() == nullptr) {
    if (const FileStatus log = state_.logStatus(); !log) feedback_.ShowMessage(log.Describe());
  }
}

std::optional<AnalysisSettings::Problem> CTessmolDoc::SetSettings(const AnalysisSettings& settings) {
  if (auto problem = settings.Validate()) return problem;
  settings_ = settings;
  return std::nullopt;
}

std::optional<Protein> CTessmolDoc::Analyse(const std::string& path, Feedback& feedback, std::ostream* log,
                                            int threads, ReadOutcome& read) {
  // A file too large for this machine's memory is that file's failure: the others go on.
  try {
    return AnalyseOrThrow(path, feedback, log, threads, read);
  } catch (const std::bad_alloc&) {
    read.status = OutOfMemory(path);
    return std::nullopt;
  }
}

std::optional<Protein> CTessmolDoc::AnalyseOrThrow(const std::string& path, Feedback& feedback,
                                                   std::ostream* log, int threads, ReadOutcome& read) {
  StructureFile file = ReadStructure(path, state_.hetAtomRadii, MebibytesToBytes(settings_.maxUnpackedMiB),
                                     settings_.confidenceSource);
  read.status = file.status;
  read.hadAtoms = !file.structure.atoms.empty();
  read.noProtein = NoProteinReason(file);
  read.resultFile = file.format == StructureFormat::kResult;
  if (!read.status || !read.hadAtoms) return std::nullopt;
  if (const std::string text = ConfidenceRefusedWarning(file, BareName(path)); !text.empty()) {
    // Asked for (--confidence plddt) or claimed by the file, but no pLDDT: say so rather
    // than quietly analyse an experimental structure.
    feedback.ShowMessage(text);
    read.warnings.push_back(text);
    if (log) *log << text << '\n';
  }
  if (file.summary.duplicateAtoms > 0 && log) {
    *log << "Warning!! - " << file.summary.duplicateAtoms << " duplicate atoms of " << BareName(path)
         << " left out (same residue, same position)\n";
  }
  ApplySecondaryStructure(file.structure, file.hadSecondaryStructure, settings_.secondaryStructure);
  Protein analysed;
  analysed.structure = std::move(file.structure);
  analysed.fileName = BareName(path);
  analysed.ignoreHeteroAtoms = settings_.ignoreHeteroAtoms;
  analysed.confidentPlddt = settings_.confidentPlddt;
  analysed.parameters = ParametersFor(settings_, scoreTable_.fileName);
  const HetAtomCover cover = CountHetAtomCover(analysed.structure, settings_.ignoreHeteroAtoms);
  analysed.parameters.coveringHetAtoms = static_cast<long long>(cover.coveringAtoms);
  analysed.parameters.watersLeftOut = static_cast<long long>(cover.watersLeftOut);
  analysed.Load(feedback);
  SasaSettings sasa;
  sasa.threads = threads;
  sasa.log = log;
  std::optional<SurfaceResult> surface =
      CalculateSASA(analysed, settings_.sasaResolution, state_.programFolder(), feedback, sasa);
  // The grid has served its one pass; a multiple analysis keeps many proteins at once.
  analysed.neighbourGrid.reset();
  if (!surface) return std::nullopt;
  analysed.surface = std::move(*surface);
  analysed.scores = ScoreResidues(analysed.structure, analysed.surface, state_.scoringTable);
  analysed.transmembrane = TransmembraneResult::None(analysed.structure.residues.size());
  SumScores(analysed.transmembrane, analysed.scores);
  return analysed;
}

CTessmolDoc::OpenResult CTessmolDoc::OpenStructure(const std::string& path, FileStatus* status) {
  title_ = BareName(path);
  logText_ += "Opening " + path + "... \n";
  logText_ += "Processing Structure...\n";
  structureLoaded_ = true;
  Protein analysed;
  if (const OpenResult result = AnalyseFile(path, analysed, status); result != OpenResult::kOpened)
    return result;
  protein_ = std::move(analysed);
  currentEntry_ = static_cast<int>(entries_.size());
  const FileStatus written = AddSummaryEntry(protein_);
  if (status && !written) *status = written;
  feedback_.DocumentChanged();
  return OpenResult::kOpened;
}

CTessmolDoc::OpenResult CTessmolDoc::AnalyseFile(const std::string& path, Protein& analysed,
                                                 FileStatus* status) {
  ReadOutcome read;
  std::optional<Protein> result = Analyse(path, feedback_, state_.logFile(), settings_.threads, read);
  if (status) *status = read.status;
  if (read.resultFile) return OpenResult::kResultFile;
  if (!read.status) return OpenResult::kFailed;
  if (!result) {
    if (read.hadAtoms) return OpenResult::kFailed;
    if (status && !read.noProtein.empty()) *status = FileStatus::Format(path, 0, read.noProtein);
    return OpenResult::kNoAtoms;
  }
  analysed = std::move(*result);
  return OpenResult::kOpened;
}

FileStatus CTessmolDoc::SaveShown(const std::string& path) {
  if (!structureLoaded_) {
    feedback_.ShowMessage(kNoStructureSelected);
    return FileStatus::WriteFailed(path, "no structure is shown");
  }
  const bool table = path.size() > 4 && path.compare(path.size() - 4, 4, ".tsv") == 0;
  FileStatus written =
      table ? WriteFileAtomically(path, [&](std::ostream& out) { WriteResidueTable(out, protein_); })
            : WriteResult(protein_, path);
  if (!written) feedback_.ShowMessage(written.Describe());
  return written;
}

std::string CTessmolDoc::ResultFolder() const {
  const std::string& folder = settings_.workingDirectory;
  if (folder.empty()) return "./";
  return folder.back() == '/' ? folder : folder + "/";
}

std::vector<std::string> ResultNamesFor(const std::vector<std::string>& paths) {
  RunNames names;
  names.Clear(paths);
  std::vector<std::string> out;
  for (const std::string& path : paths) {
    const std::string name = ResultNameFor(BareName(path));
    out.push_back(names.Take(name.substr(0, name.size() - 4), ".tsm"));
  }
  return out;
}

std::string CTessmolDoc::UniqueResultName(const std::string& fileName) {
  const std::string name = ResultNameFor(fileName);
  return runNames_.Take(name.substr(0, name.size() - 4), ".tsm");
}

void ScoreRow(AnalysisEntry& row, const Protein& protein, const std::string& tableName,
              const ScoreTable& table, float confidentPlddt) {
  row.averageScore = protein.scores.averageScore;
  row.scoreTableName = tableName;
  row.expectedKnown = tableName == table.fileName;
  row.expectedScore = table.ExpectedResidueScore(static_cast<int32_t>(protein.structure.residues.size()));
  row.passFraction = JudgeProfile(protein.structure, protein.scores).passFraction;
  row.judged = !protein.FromSequence();
  const ConfidentScores confident = ScoreConfident(protein.structure, protein.scores, confidentPlddt);
  row.model = confident.model;
  row.confidentAverage = confident.averageScore;
  row.confidentCount = confident.confident;
  row.leftOut = confident.leftOut;
  row.confidentExpected = confident.model ? table.ExpectedResidueScore(confident.confident) : 0.0f;
}

FileStatus CTessmolDoc::AddSummaryEntry(const Protein& analysed, PendingFile* pending,
                                        const std::string* resultName) {
  AnalysisEntry entry;
  entry.resultName = resultName != nullptr ? *resultName : UniqueResultName(analysed.fileName);
  entry.resultPath = ResultFolder() + entry.resultName;
  ScoreRow(entry, analysed, scoreTable_.fileName, scoreTable_, analysed.confidentPlddt);
  entries_.push_back(entry);
  // A structure file named NAME.tsm is its own result's name: it is kept, and the result lost.
  FileStatus written = runNames_.CheckNotInput(entry.resultPath);
  if (written) written = CheckResultName(entry.resultPath);
  if (written)
    written =
        pending != nullptr ? pending->Commit(entry.resultPath) : WriteResult(analysed, entry.resultPath);
  if (!written) {
    entries_.back().unstored = WithFile(kResultFileFailed, written);
    feedback_.ShowMessage(entries_.back().unstored);
  }
  return written;
}

int CTessmolDoc::AddStoredEntry(const std::string& resultPath) {
  AnalysisEntry entry;
  entry.resultName = BareName(resultPath);
  entry.resultPath = resultPath;
  entries_.push_back(entry);
  return static_cast<int>(entries_.size()) - 1;
}

struct CTessmolDoc::ListOutcome {
  std::optional<Protein> protein;
  FileStatus status;
  std::string log;
  std::vector<std::string> warnings;
  PendingFile result;  // written by the worker; named in file order by AddListOutcome
};

CTessmolDoc::ListOutcome CTessmolDoc::AnalyseForList(const std::string& path, bool logging, int threads) {
  ListOutcome outcome;
  std::ostringstream log;
  SilentFeedback quiet;
  ReadOutcome read;
  outcome.protein = Analyse(path, quiet, logging ? &log : nullptr, threads, read);
  outcome.status = read.status;
  outcome.warnings = std::move(read.warnings);
  if (outcome.protein) {
    if (std::string warning = MissingMainChainWarning(*outcome.protein, path); !warning.empty())
      outcome.warnings.push_back(std::move(warning));
  }
  if (outcome.status && !outcome.protein) {
    outcome.status =
        FileStatus::Format(path, 0,
                           read.hadAtoms             ? "its surface could not be measured"
                           : !read.noProtein.empty() ? "no atoms could be read: " + read.noProtein
                                                     : "no atoms could be read");
  }
  outcome.log = log.str();
  if (outcome.protein) {
    const Protein& analysed = *outcome.protein;
    try {
      outcome.result = PendingFile::Write(ResultFolder() + ResultNameFor(outcome.protein->fileName),
                                          [&](std::ostream& out) { WriteResult(analysed, out); });
    } catch (const std::bad_alloc&) {
      outcome.protein.reset();
      outcome.status = OutOfMemory(path);
    }
  }
  return outcome;
}

void CTessmolDoc::AddListOutcome(size_t index, const std::string& path, const std::string& resultName,
                                 ListOutcome&& outcome, bool customTable, MultipleAnalysisReport& report) {
  if (std::ostream* log = state_.logFile()) *log << outcome.log;
  report.warnings.insert(report.warnings.end(), outcome.warnings.begin(), outcome.warnings.end());
  if (!outcome.protein) {
    report.skipped.push_back(outcome.status);
    return;
  }
  report.analysed.push_back(index);
  const FileStatus written = AddSummaryEntry(*outcome.protein, &outcome.result, &resultName);
  entries_.back().inputIndex = static_cast<int>(index);
  if (!written) report.unwritten.push_back(written);
  if (customTable) {
    scoreTable_.AddStructure(*outcome.protein, path);  // the path as the user gave it
    scoreTable_.samples.back().order = static_cast<int64_t>(index);
  }
}

MultipleAnalysisReport CTessmolDoc::AnalyseMultiple(const MultipleAnalysisRequest& request, int jobs) {
  const std::vector<std::string>& paths = request.filePaths;
  const size_t count = paths.size();
  MultipleAnalysisReport report;
  BeginRun(paths);
  // Each file's name is fixed by its place in the list, not by whether the files before it
  // could be analysed: a file's result has the same name in every run of the list, and in
  // the shard that analyses it.
  const std::vector<std::string> names =
      request.resultNames.size() == count ? request.resultNames : ResultNamesFor(paths);
  // Workers log into their outcome; this thread alone writes the log file, in file order.
  const bool logging = state_.logFile() != nullptr;
  auto make = [&](size_t i, bool onThisThread) {
    return AnalyseForList(paths[i], logging, onThisThread ? settings_.threads : 1);
  };
  const auto started = std::chrono::steady_clock::now();
  auto before = [&](size_t i) {
    feedback_.BeginProgress("Analysing structure " + std::to_string(i + 1) + " of " + std::to_string(count) +
                            ": " + BareName(paths[i]) + RateAndTimeLeft(started, i, count));
    feedback_.SetProgress(static_cast<int>(100 * i / count));
  };
  auto consume = [&](size_t i, ListOutcome&& outcome) {
    AddListOutcome(i, paths[i], names[i], std::move(outcome), request.createCustomTable, report);
  };
  ParallelOrdered<ListOutcome>(count, jobs, make, before, consume);
  if (count > 0) feedback_.EndProgress();

  SortEntries(0, static_cast<int>(entries_.size()) - 1);
  if (request.createCustomTable && !request.customTablePath.empty()) {
    report.customTable = WriteCustomTable(request.customTablePath);
    if (!report.customTable) feedback_.ShowMessage(report.customTable.Describe());
  }
  feedback_.DocumentChanged();
  return report;
}

FileStatus CTessmolDoc::WriteCustomTable(const std::string& path) {
  scoreTable_.ComputeScores();
  return scoreTable_.SaveTable(path);
}

void CTessmolDoc::SortEntries(int lo, int hi) {
  lo = std::max(lo, 0);
  hi = std::min(hi, static_cast<int>(entries_.size()) - 1);
  if (lo >= hi) return;
  std::stable_sort(
      entries_.begin() + lo, entries_.begin() + hi + 1,
      [](const AnalysisEntry& a, const AnalysisEntry& b) { return a.averageScore > b.averageScore; });
}

namespace {

// The standard text for a format error in a result file, with the file and what was wrong
// on the line; other failures in their own words.
std::string ResultReadMessage(const FileStatus& status) {
  if (status.problem == FileProblem::kFormat)
    return WithFile(FormatErrorMessage(status.line), status.path) +
           (status.detail.empty() ? "" : ": " + status.detail);
  return status.Describe();
}

}  // namespace

bool CTessmolDoc::LoadEntry(int index, const std::string& name) {
  currentEntry_ = index;
  if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
  Protein stored;
  const FileStatus read = ReadResult(stored, entries_[index].resultPath);
  if (!read) {
    feedback_.ShowMessage(ResultReadMessage(read));
    return false;
  }
  protein_.structure = std::move(stored.structure);
  protein_.surface = std::move(stored.surface);
  protein_.scores = std::move(stored.scores);
  protein_.transmembrane = std::move(stored.transmembrane);
  // A membrane placed on the structure shown before belongs to that structure.
  protein_.membranes = std::move(stored.membranes);
  protein_.parameters = std::move(stored.parameters);
  protein_.fileName = name;
  protein_.fastaRecord = std::move(stored.fastaRecord);
  // A model is scored with the cut-off it was analysed with, when its file says.
  protein_.confidentPlddt = protein_.parameters.confidentPlddt >= 0.0f ? protein_.parameters.confidentPlddt
                                                                       : settings_.confidentPlddt;
  SumScores(protein_.transmembrane, protein_.scores);
  structureLoaded_ = true;
  // A stored result's row is filled from the file the first time it is read; the expected
  // score needs the table that scored it.
  AnalysisEntry& entry = entries_[index];
  if (entry.scoreTableName.empty())
    ScoreRow(entry, protein_, protein_.parameters.scoreTable, scoreTable_, protein_.confidentPlddt);
  return true;
}

CTessmolDoc::RecalculateResult CTessmolDoc::RecalculateProfiles(const std::vector<int>& indices) {
  RecalculateResult result;
  for (int index : indices) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) continue;
    AnalysisEntry& entry = entries_[index];
    Protein rescored;
    result.status = ReadResult(rescored, entry.resultPath);
    if (!result.status) {
      feedback_.ShowMessage(ResultReadMessage(result.status));
      return result;
    }
    rescored.scores = ScoreResidues(rescored.structure, rescored.surface, state_.scoringTable);
    SumScores(rescored.transmembrane, rescored.scores);
    rescored.parameters.scoreTable = scoreTable_.fileName;
    // The row shows what is stored: it changes only once the file holds the new scores.
    result.status = WriteResult(rescored, entry.resultPath);
    if (!result.status) {
      feedback_.ShowMessage(result.status.Describe());
      return result;
    }
    ScoreRow(entry, rescored, scoreTable_.fileName, scoreTable_,
             rescored.parameters.confidentPlddt >= 0.0f ? rescored.parameters.confidentPlddt
                                                        : settings_.confidentPlddt);
    ++result.done;
  }
  feedback_.DocumentChanged();
  return result;
}

FileStatus CTessmolDoc::LoadScoreTable(const std::string& path) {
  // A refused file leaves the table in force whole, its name included.
  ScoreTable candidate = scoreTable_;
  const FileStatus loaded = candidate.LoadTable(path, BareName(path));
  if (!loaded) return loaded;
  scoreTable_ = std::move(candidate);
  state_.scoringTable = scoreTable_.scores;
  return loaded;
}

}  // namespace tessmol
