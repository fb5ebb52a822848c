#include "document/tessmol_doc.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "document/result_file.h"
#include "model/pdb_reader.h"
#include "model/text.h"
#include "surface/environment.h"
#include "surface/het_radii_file.h"
#include "surface/sasa.h"

namespace tessmol {

namespace {}  // namespace

std::string ResultNameFor(const std::string& fileName) {
  if (fileName.size() < 3) return fileName + "tsm";
  return fileName.substr(0, fileName.size() - 3) + "tsm";
}

std::vector<std::string> AnalysisListHeadings() {
  return {"Index", "Structure", "Score Table", "Aver Res Score", "SCalc", "Cmptble Res Score"};
}

std::vector<std::string> AnalysisListRow(const std::vector<AnalysisEntry>& entries, size_t index) {
  const AnalysisEntry& e = entries[index];
  // The compatible score is 45 % of the expected one, the constant taken in single
  // precision and the product in double, as the published threshold has always been shown.
  const double compatible = static_cast<double>(e.expectedScore) * static_cast<double>(0.45f);
  return {std::to_string(index),        e.resultName,           e.scoreTableName, FormatFixed(e.averageScore),
          FormatFixed(e.expectedScore), FormatFixed(compatible)};
}

CTessmolDoc::CTessmolDoc(ProcessState& state, Feedback& feedback) : state_(state), feedback_(feedback) {
  const std::string& folder = state_.programFolder();
  workFolder = folder;
  // A missing or unreadable default table leaves the built-in Profiles-3D table in force.
  scoreTable.LoadTable(folder + "/Tessmol_Files/Default.stb", "Default.stb");
  state_.scoringTable = scoreTable.scores;
  LoadHetAtomRadii(folder + kHetRadiiFile, state_.hetAtomRadii, feedback_);
  workFolder += "/temp/";
  if (state_.logFile() == nullptr) {
    std::error_code error;
    std::filesystem::create_directories(workFolder, error);
    if (!state_.OpenLog(workFolder + "Logfile.log")) feedback_.ShowMessage(kLogFileFailed);
  }
  state_.AttachDocument();
}

CTessmolDoc::~CTessmolDoc() {
  state_.DetachDocument();
}

std::optional<Protein> CTessmolDoc::Analyse(const std::string& path, Feedback& feedback, std::ostream* log,
                                            int threads, bool* hadAtoms) {
  PdbReader reader(state_.hetAtomRadii);
  if (reader.Open(path)) reader.Read();
  reader.Close();
  if (hadAtoms) *hadAtoms = !reader.structure().atoms.empty();
  if (reader.structure().atoms.empty()) return std::nullopt;
  Protein analysed;
  analysed.structure = std::move(reader.structure());
  analysed.fileName = BareName(path);
  analysed.ignoreHeteroAtoms = generalOptions.ignoreHeteroAtoms != 0;
  analysed.Load(feedback, threads);
  SasaSettings settings;
  settings.threads = threads;
  settings.log = log;
  if (!CalculateSASA(analysed, generalOptions.sasaResolution, state_.programFolder(), feedback, settings)) {
    return std::nullopt;
  }
  ScoreResidues(analysed, state_.scoringTable);
  SumScores(analysed);
  return analysed;
}

CTessmolDoc::OpenResult CTessmolDoc::OpenStructure(const std::string& path) {
  title = BareName(path);
  logText += "Opening " + path + "... \n";
  logText += "Processing Structure...\n";
  structureLoaded = true;
  bool hadAtoms = false;
  std::optional<Protein> analysed = Analyse(path, feedback_, state_.logFile(), sasaThreads, &hadAtoms);
  if (!analysed) return hadAtoms ? OpenResult::kFailed : OpenResult::kNoAtoms;
  protein = std::move(*analysed);
  currentEntry = static_cast<int>(entries.size());
  AddSummaryEntry(protein);
  feedback_.DocumentChanged();
  return OpenResult::kOpened;
}

bool CTessmolDoc::AddSummaryEntry(const Protein& analysed) {
  AnalysisEntry entry;
  entry.resultName = ResultNameFor(analysed.fileName);
  entry.averageScore = analysed.structure.averageScore;
  entry.scoreTableName = scoreTable.fileName;
  entry.expectedScore =
      scoreTable.ExpectedResidueScore(static_cast<int32_t>(analysed.structure.residues.size()));
  entry.resultPath = "./" + entry.resultName;
  entries.push_back(entry);
  if (WriteResult(analysed.structure, entry.resultPath)) return true;
  feedback_.ShowMessage(kResultFileFailed);
  return false;
}

std::vector<std::string> CTessmolDoc::AnalyseMultiple(const MultipleAnalysisRequest& request, int jobs) {
  const std::vector<std::string>& paths = request.filePaths;
  const size_t count = paths.size();
  std::vector<std::string> skipped;

  // Workers analyse files in any order; this thread takes the results in file order, so
  // rows, result files, log lines and the custom table do not depend on the job count.
  struct Slot {
    bool ready = false;
    std::optional<Protein> protein;
    std::string log;
  };
  std::vector<Slot> slots(count);
  std::mutex mutex;
  std::condition_variable readyChanged;
  std::atomic<size_t> next{0};
  const bool parallel = jobs > 1 && count > 1;
  // Workers log into their slot; this thread alone writes the log file, in file order.
  const bool logging = state_.logFile() != nullptr;
  auto analyseOne = [&](size_t i, Feedback& feedback, int threads) {
    std::ostringstream log;
    std::optional<Protein> result = Analyse(paths[i], feedback, logging ? &log : nullptr, threads);
    std::lock_guard<std::mutex> lock(mutex);
    slots[i].protein = std::move(result);
    slots[i].log = log.str();
    slots[i].ready = true;
    readyChanged.notify_all();
  };
  std::vector<std::thread> workers;
  if (parallel) {
    const size_t workerCount = std::min<size_t>(static_cast<size_t>(jobs), count);
    for (size_t w = 0; w < workerCount; ++w) {
      workers.emplace_back([&]() {
        SilentFeedback quiet;
        for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) analyseOne(i, quiet, 1);
      });
    }
  }

  for (size_t i = 0; i < count; ++i) {
    feedback_.BeginProgress("Analysing structure " + std::to_string(i + 1) + " of " + std::to_string(count) +
                            ": " + BareName(paths[i]));
    feedback_.SetProgress(static_cast<int>(100 * i / count));
    if (!parallel) {
      SilentFeedback quiet;
      analyseOne(i, quiet, sasaThreads);
    }
    Slot slot;
    {
      std::unique_lock<std::mutex> lock(mutex);
      readyChanged.wait(lock, [&]() { return slots[i].ready; });
      slot = std::move(slots[i]);
      slots[i] = Slot();
    }
    if (std::ostream* log = state_.logFile()) *log << slot.log;
    if (!slot.protein) {
      skipped.push_back(paths[i]);
      continue;
    }
    AddSummaryEntry(*slot.protein);
    if (request.createCustomTable)
      scoreTable.AddStructure(slot.protein->structure, workFolder + slot.protein->fileName);
  }
  for (std::thread& worker : workers) worker.join();
  if (count > 0) feedback_.EndProgress();

  SortEntries(0, static_cast<int>(entries.size()) - 1);
  if (request.createCustomTable) WriteCustomTable(request.customTablePath);
  feedback_.DocumentChanged();
  return skipped;
}

bool CTessmolDoc::WriteCustomTable(const std::string& path) {
  scoreTable.ComputeScores();
  return scoreTable.SaveTable(path);
}

void CTessmolDoc::SortEntries(int lo, int hi) {
  lo = std::max(lo, 0);
  hi = std::min(hi, static_cast<int>(entries.size()) - 1);
  if (lo >= hi) return;
  std::stable_sort(
      entries.begin() + lo, entries.begin() + hi + 1,
      [](const AnalysisEntry& a, const AnalysisEntry& b) { return a.averageScore > b.averageScore; });
}

bool CTessmolDoc::LoadEntry(int index, const std::string& name) {
  currentEntry = index;
  if (index < 0 || index >= static_cast<int>(entries.size())) return false;
  Structure stored;
  const int line = ReadResult(stored, entries[index].resultPath);
  if (line != 0) {
    feedback_.ShowMessage(FormatErrorMessage(line));
    return false;
  }
  protein.structure = std::move(stored);
  protein.fileName = name;
  SumScores(protein);
  structureLoaded = true;
  return true;
}

bool CTessmolDoc::RecalculateProfiles(const std::vector<int>& indices) {
  for (int index : indices) {
    if (index < 0 || index >= static_cast<int>(entries.size())) continue;
    AnalysisEntry& entry = entries[index];
    Protein rescored;
    const int line = ReadResult(rescored.structure, entry.resultPath);
    if (line != 0) {
      feedback_.ShowMessage(FormatErrorMessage(line));
      return false;
    }
    ScoreResidues(rescored, state_.scoringTable);
    SumScores(rescored);
    const auto residues = static_cast<int32_t>(rescored.structure.residues.size());
    entry.averageScore = rescored.structure.AverageOverallScore();
    entry.scoreTableName = scoreTable.fileName;
    entry.expectedScore = scoreTable.ExpectedResidueScore(residues);
    WriteResult(rescored.structure, entry.resultPath);
  }
  feedback_.DocumentChanged();
  return true;
}

bool CTessmolDoc::LoadScoreTable(const std::string& path) {
  const bool loaded = scoreTable.LoadTable(path, BareName(path));
  state_.scoringTable = scoreTable.scores;
  return loaded;
}

}  // namespace tessmol
