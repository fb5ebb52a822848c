#include "engine.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "base/feedback.h"
#include "base/gzip.h"
#include "base/text.h"
#include "document/process_state.h"
#include "document/report.h"
#include "document/result_file.h"
#include "scoring/residue_scores.h"
#include "transmembrane/fasta.h"

namespace tessmol::python {

namespace {

std::string& DataFolderValue() {
  // Never destroyed: a run's workers may still read it while the interpreter exits.
  static auto* folder = new std::string;
  return *folder;
}

std::string JoinMessages(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& m : messages) text += (text.empty() ? "" : "; ") + m;
  return text;
}

Failure OtherFailure(std::string message) {
  Failure failure;
  failure.message = std::move(message);
  return failure;
}

// What the core did not expect (a thread that could not start, ...): an error for the
// caller, never an exception escaping a worker thread, which would end the interpreter.
Failure Unexpected(const std::exception& e) {
  return OtherFailure(std::string("Error: ") + e.what());
}

// A folder of this call's own for the files the document writes as it works (its log, the
// result files of its rows), removed with everything in it when the call ends: a Python
// caller asked for numbers, not for files in its current folder.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        (tmp != nullptr && tmp[0] == '/' ? std::string(tmp) : std::string("/tmp")) + "/tessmol-python-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    } else {
      error_ = FileStatus::WriteFailed(pattern, std::strerror(errno));
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  const FileStatus& error() const { return error_; }

 private:
  std::string path_;
  FileStatus error_;
};

// One document over the program's data with the caller's settings, as the command line
// sets one up; `failure` says why it cannot be used. Members are destroyed in reverse:
// the document closes the log before its folder goes.
struct Workspace {
  explicit Workspace(const Options& options) : state(DataFolder()) {
    if (!scratch.path().empty()) {
      state.RequestLogPath(options.logPath.empty() ? scratch.path() + "/Logfile.log" : options.logPath);
    }
    doc = std::make_unique<CTessmolDoc>(state, feedback);
    if (scratch.path().empty()) {
      failure = FileFailure(scratch.error());
      return;
    }
    if (state.logFile() == nullptr) {
      failure = OtherFailure(JoinMessages(feedback.messages));
      failure.kind = Failure::Kind::kFile;
      failure.status = FileStatus::WriteFailed(state.requestedLogPath());
      return;
    }
    // A damaged radius file, unlike a missing one, is refused as the command line refuses it.
    if (state.hetRadiiStatus.problem == FileProblem::kFormat) {
      failure = FileFailure(state.hetRadiiStatus);
      return;
    }
    AnalysisSettings settings = options.settings;
    settings.workingDirectory = scratch.path();
    settings.writeHelixInspection = false;
    if (auto problem = doc->SetSettings(settings)) {
      failure = OtherFailure(problem->field + ": " + problem->message);
      return;
    }
    if (options.scoreTable) doc->UseScoreTable(*options.scoreTable);
    ready = true;
  }

  ScratchFolder scratch;
  ProcessState state;
  RecordingFeedback feedback;
  std::unique_ptr<CTessmolDoc> doc;
  Failure failure;
  bool ready = false;
};

// Why a structure was not analysed, as the command line says it; nullopt when it was.
std::optional<Failure> OpenFailure(CTessmolDoc::OpenResult result, const std::string& path,
                                   const FileStatus& file, const Workspace& ws) {
  switch (result) {
    case CTessmolDoc::OpenResult::kOpened:
      // A structure opened with a result file that could not be written (in the private folder).
      if (!file) return FileFailure(file);
      return std::nullopt;
    case CTessmolDoc::OpenResult::kNoAtoms: {
      // With the reason the command line gives (heteroatoms or nucleic acids only).
      const std::string why = !file && !file.detail.empty() ? file.detail : std::string();
      Failure failure = FileFailure(FileStatus::Format(path, 0, "no atoms could be read"));
      failure.message = "Error: no atoms could be read from " + path + (why.empty() ? "" : ": " + why);
      return failure;
    }
    case CTessmolDoc::OpenResult::kResultFile: {
      // A file of another format than a structure's: FormatError, naming the file.
      Failure failure = FileFailure(FileStatus::Format(path, 0, "a Tessmol result file, not a structure"));
      failure.message =
          "Error: " + path + " is a Tessmol result file, not a structure: use tessmol.read_result";
      return failure;
    }
    case CTessmolDoc::OpenResult::kFailed:
      break;
  }
  if (!file) return FileFailure(file);
  return OtherFailure("Error: " + path + " was not analysed" + (ws.feedback.messages.empty() ? "" : ": ") +
                      JoinMessages(ws.feedback.messages));
}

Outcome<Analysis> AnalyseIn(Workspace& ws, const std::string& path, const Options& options) {
  Outcome<Analysis> out;
  CTessmolDoc& doc = *ws.doc;
  Analysis analysis;
  FileStatus file;
  if (!options.spanner3d) {
    // The document's pipeline without its row's result file, which nobody here reads: a
    // multiple analysis of the 44 shared structures took 10 % longer than tessmol-cli
    // multi while it was written (bench/python.sh). The row as AddSummaryEntry makes it.
    if (auto failure = OpenFailure(doc.AnalyseFile(path, analysis.protein, &file), path, file, ws)) {
      out.failure = std::move(*failure);
      return out;
    }
    const ScoreTable& table = doc.scoreTable();
    analysis.row.resultName = ResultNameFor(analysis.protein.fileName);
    // As the document fills its rows, so a row made here equals the command line's.
    ScoreRow(analysis.row, analysis.protein, table.fileName, table, analysis.protein.confidentPlddt);
  } else {
    // Spanner3D works on the document's open structure and rewrites its row.
    doc.BeginRun();
    if (auto failure = OpenFailure(doc.OpenStructure(path, &file), path, file, ws)) {
      out.failure = std::move(*failure);
      return out;
    }
    if (!doc.RunSpanner3D()) {
      out.failure =
          OtherFailure("Error: Spanner3D failed on " + path + (ws.feedback.messages.empty() ? "" : ": ") +
                       JoinMessages(ws.feedback.messages));
      return out;
    }
    analysis.protein = doc.protein();
    analysis.row = doc.entries()[static_cast<size_t>(*doc.currentEntry())];
    analysis.row.resultPath.clear();  // it was in the private folder
  }
  analysis.path = path;
  analysis.name = analysis.protein.fileName;
  analysis.source = path;
  analysis.maxUnpackedBytes = MebibytesToBytes(options.settings.maxUnpackedMiB);
  analysis.messages = std::move(ws.feedback.messages);
  if (const std::string warning = MissingMainChainWarning(analysis.protein, path); !warning.empty())
    analysis.messages.push_back(warning);
  out.value = std::move(analysis);
  return out;
}

// A message about sequences given as pairs, which were written to a scratch file (a header
// line and a sequence line each): it names "sequences" and the pair's place, not the file
// and its lines.
std::string AsGivenSequences(std::string message, const std::string& fastaPath) {
  for (size_t at; (at = message.find(fastaPath)) != std::string::npos;)
    message.replace(at, fastaPath.size(), "sequences");
  std::string out;
  size_t from = 0;
  for (size_t at; (at = message.find("line ", from)) != std::string::npos;) {
    size_t end = at + 5;
    while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end]))) ++end;
    out += message.substr(from, at - from);
    if (end == at + 5) {
      out += "line ";
    } else {
      const long line = std::stol(message.substr(at + 5, end - at - 5));
      out += "sequence " + std::to_string((line + 1) / 2);
    }
    from = end;
  }
  return out + message.substr(from);
}

Outcome<std::vector<Analysis>> Spanner2DIn(Workspace& ws, const std::string& fastaPath, bool recordNames,
                                           bool keepFaulty) {
  Outcome<std::vector<Analysis>> out;
  {
    FastaReader reader(fastaPath);
    FastaRecord first;
    // An unopenable file, or one that does not start as FASTA, is that file's failure.
    if (!reader.Next(first) && !reader.status()) {
      out.failure = FileFailure(reader.status());
      return out;
    }
  }
  CTessmolDoc& doc = *ws.doc;
  std::vector<Analysis> models;
  std::optional<FastaRecord> faulty;  // the first record that could not be modelled
  size_t faults = 0;
  const std::string shownPath = recordNames ? std::string("sequences") : fastaPath;
  // Each record's messages are those said since the record before it: its own warnings,
  // never another record's.
  size_t said = 0;
  const auto ownMessages = [&]() {
    const std::vector<std::string>& all = ws.feedback.messages;
    std::vector<std::string> own(all.begin() + static_cast<long>(std::min(said, all.size())), all.end());
    said = all.size();
    if (recordNames)
      for (std::string& message : own) message = AsGivenSequences(message, fastaPath);
    return own;
  };
  const bool ok = doc.RunSpanner2D(
      {fastaPath},
      [&](size_t, const Protein& model, const FastaRecord& record) {
        Analysis analysis;
        analysis.protein = model;
        analysis.name = record.name;
        analysis.messages = ownMessages();
        if (recordNames) analysis.protein.fileName = record.name;
        models.push_back(std::move(analysis));
      },
      [&](size_t, const FastaRecord& record) {
        if (!faulty) faulty = record;
        ++faults;
        (void)ownMessages();  // its fault, which its Failure (or the exception) carries
        if (!keepFaulty) return;
        Analysis failed;
        failed.name = record.name;
        failed.recordFailure = FileFailure(record.fault);
        failed.recordFailure->message = FastaRecordFault(shownPath, record);
        models.push_back(std::move(failed));
      });
  // Sequences given as pairs were written to a scratch file, which is no place of the
  // caller's: its messages name the sequences instead.
  if (recordNames)
    for (std::string& message : ws.feedback.messages) message = AsGivenSequences(message, fastaPath);
  // Each model added one row, in the order the models came; a kept faulty record none.
  const size_t modelled = models.size() - (keepFaulty ? faults : 0);
  if (!ok && !(keepFaulty && faulty && doc.entries().size() == modelled)) {
    // A faulty record is a format error on its line, in the command line's words (the
    // others were modelled, but a call that raises returns nothing).
    if (faulty) {
      out.failure = FileFailure(faulty->fault);
      out.failure.message = FastaRecordFault(shownPath, *faulty);
    } else {
      out.failure = OtherFailure(JoinMessages(ws.feedback.messages));
    }
    return out;
  }
  // What is said after the last record is the file's, and every record's.
  const std::vector<std::string> trailing = ownMessages();
  size_t row = 0;
  for (Analysis& model : models) {
    if (model.recordFailure) continue;
    if (row < doc.entries().size()) model.row = doc.entries()[row++];
    model.row.resultPath.clear();
    model.path = recordNames ? std::string() : fastaPath;
    model.messages.insert(model.messages.end(), trailing.begin(), trailing.end());
  }
  out.value = std::move(models);
  return out;
}

}  // namespace

void SetDataFolder(std::string folder) {
  DataFolderValue() = std::move(folder);
}

const std::string& DataFolder() {
  return DataFolderValue();
}

Failure FileFailure(const FileStatus& status) {
  Failure failure;
  failure.kind = status.problem == FileProblem::kFormat ? Failure::Kind::kFormat : Failure::Kind::kFile;
  failure.status = status;
  failure.message = status.Describe();
  return failure;
}

Outcome<Analysis> AnalyseStructure(const std::string& path, const Options& options) {
  // A file too large for this machine's memory is that file's failure, not the interpreter's.
  try {
    Workspace ws(options);
    if (!ws.ready) return {std::nullopt, ws.failure};
    return AnalyseIn(ws, path, options);
  } catch (const std::bad_alloc&) {
    return {std::nullopt, FileFailure(OutOfMemory(path))};
  } catch (const std::exception& e) {
    return {std::nullopt, Unexpected(e)};
  }
}

Outcome<Analysis> ReadStoredResult(const std::string& path, const std::shared_ptr<const ScoreTable>& table) {
  Outcome<Analysis> out;
  try {
    Analysis analysis;
    Protein& stored = analysis.protein;
    if (const FileStatus read = ReadResult(stored, path); !read) {
      out.failure = FileFailure(read);
      // The document's words for a damaged result file.
      if (read.problem == FileProblem::kFormat)
        out.failure.message = WithFile(FormatErrorMessage(read.line), read.path) +
                              (read.detail.empty() ? "" : ": " + read.detail);
      return out;
    }
    SumScores(stored.transmembrane, stored.scores);
    stored.fileName = BareName(path);
    ScoreTable defaultTable;
    const ScoreTable* scoring = table.get();
    if (scoring == nullptr) {
      if (const FileStatus loaded =
              defaultTable.LoadTable(DataFolder() + "/Tessmol_Files/Default.stb", "Default.stb");
          !loaded)
        analysis.messages.push_back(BuiltInTableWarning(loaded));
      scoring = &defaultTable;
    }
    AnalysisEntry& row = analysis.row;
    row.resultName = stored.fileName;
    row.resultPath = path;
    // The table that scored the residues is the file's (none in a file that predates the
    // record); the expected score is the given table's, and the summary shows it, as
    // tessmol-cli show does, only when they are one.
    ScoreRow(row, stored, stored.parameters.scoreTable, *scoring, stored.confidentPlddt);
    analysis.path = path;
    // A Spanner2D model is named by its record, as when it was made.
    analysis.name = stored.fastaRecord.empty() ? stored.fileName : stored.fastaRecord;
    analysis.fromResultFile = true;
    out.value = std::move(analysis);
  } catch (const std::bad_alloc&) {
    out.failure = FileFailure(OutOfMemory(path));
  } catch (const std::exception& e) {
    out.failure = Unexpected(e);
  }
  return out;
}

Outcome<std::vector<Analysis>> RunSpanner2D(const std::string& fastaPath, const Options& options,
                                            bool keepFaulty) {
  try {
    Workspace ws(options);
    if (!ws.ready) return {std::nullopt, ws.failure};
    return Spanner2DIn(ws, fastaPath, false, keepFaulty);
  } catch (const std::bad_alloc&) {
    return {std::nullopt, FileFailure(OutOfMemory(fastaPath))};
  } catch (const std::exception& e) {
    return {std::nullopt, Unexpected(e)};
  }
}

Outcome<std::vector<Analysis>> RunSpanner2D(const std::vector<std::pair<std::string, std::string>>& records,
                                            const Options& options) {
  try {
    Workspace ws(options);
    if (!ws.ready) return {std::nullopt, ws.failure};
    const std::string fasta = ws.scratch.path() + "/sequences.fasta";
    const FileStatus written = WriteFileAtomically(fasta, [&](std::ostream& out) {
      for (const auto& [name, sequence] : records) out << '>' << name << '\n' << sequence << '\n';
    });
    if (!written) return {std::nullopt, FileFailure(written)};
    return Spanner2DIn(ws, fasta, true, false);
  } catch (const std::bad_alloc&) {
    return {std::nullopt, FileFailure(OutOfMemory("sequences"))};
  } catch (const std::exception& e) {
    return {std::nullopt, Unexpected(e)};
  }
}

OrderedRun::OrderedRun(std::vector<std::string> paths, Options options, int jobs)
    : paths_(std::move(paths)), options_(std::move(options)) {
  jobs = std::max(jobs, 1);
  if (jobs > 1) options_.settings.threads = 1;
  ahead_ = 2 * static_cast<size_t>(jobs);
  const size_t workers = std::min(static_cast<size_t>(jobs), paths_.size());
  try {
    for (size_t k = 0; k < workers; ++k) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop();  // the threads already started must be joined before unwinding
    throw;
  }
}

OrderedRun::~OrderedRun() {
  Stop();
}

void OrderedRun::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  room_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void OrderedRun::Work() {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [&] { return stopping_ || claimed_ >= paths_.size() || claimed_ < handed_ + ahead_; });
      if (stopping_ || claimed_ >= paths_.size()) return;
      index = claimed_++;
    }
    Outcome<Analysis> outcome = AnalyseStructure(paths_[index], options_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.emplace(index, std::move(outcome));
    }
    ready_.notify_all();
  }
}

std::optional<Outcome<Analysis>> OrderedRun::Next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (handed_ >= paths_.size()) return std::nullopt;
  ready_.wait(lock, [&] { return done_.count(handed_) > 0; });
  auto found = done_.find(handed_);
  Outcome<Analysis> outcome = std::move(found->second);
  done_.erase(found);
  ++handed_;
  lock.unlock();
  room_.notify_all();
  return outcome;
}

Outcome<ScoreTable> ReadScoreTable(const std::string& path) {
  Outcome<ScoreTable> out;
  ScoreTable table;
  if (const FileStatus loaded = table.LoadTable(path, BareName(path)); !loaded) {
    out.failure = FileFailure(loaded);
    return out;
  }
  out.value = std::move(table);
  return out;
}

}  // namespace tessmol::python
