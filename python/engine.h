// The Python module's work in plain C++: each call drives its own document over the
// program's data exactly as tessmol-cli does, so a number from Python is the number the
// command line prints. Nothing here touches Python: the bindings release the interpreter
// lock around these calls, and several of them may run at once on different threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/file_status.h"
#include "document/analysis_settings.h"
#include "document/tessmol_doc.h"
#include "model/protein.h"
#include "scoring/score_table.h"

namespace tessmol::python {

// What a call could not do. A file problem keeps its FileStatus (file, line, kind);
// anything else (a Spanner command that failed, a result file given as a structure) is a
// message alone.
struct Failure {
  enum class Kind { kFile, kFormat, kOther };
  Kind kind = Kind::kOther;
  FileStatus status;
  std::string message;
};

// The settings of one analysis, as the command line's options give them.
struct Options {
  AnalysisSettings settings;
  bool spanner3d = false;                        // with settings.tmMethod
  std::shared_ptr<const ScoreTable> scoreTable;  // null: the program's Default.stb
  std::string logPath;                           // empty: the log stays in a private folder
};

// One analysed structure (or Spanner2D model) with its row of the analysis list.
struct Analysis {
  Protein protein;
  AnalysisEntry row;
  std::string path;    // as the caller gave it
  std::string source;  // the structure file analysed; empty for a Spanner2D model or a stored result
  uint64_t maxUnpackedBytes = 0;  // what a gzip file of it may unpack to
  std::string name;               // the FASTA record's name for a Spanner2D model, else the file name
  std::vector<std::string> messages;
  bool fromResultFile = false;
  // Set for a FASTA record that could not be modelled, where the caller keeps such records
  // in their place (spanner2d errors='record'); nothing else is then set.
  std::optional<Failure> recordFailure;
};

template <typename T>
struct Outcome {
  std::optional<T> value;
  Failure failure;
  bool ok() const { return value.has_value(); }
};

// The folder of the program's data files (Sphere_Points/, Tessmol_Files/, Amino_Acids/).
void SetDataFolder(std::string folder);
const std::string& DataFolder();

Outcome<Analysis> AnalyseStructure(const std::string& path, const Options& options);
// A stored result file, with its row as the analysis list shows one that was loaded: the
// expected score from `table` (null: the program's default table).
Outcome<Analysis> ReadStoredResult(const std::string& path, const std::shared_ptr<const ScoreTable>& table);
// Spanner2D over every record of a FASTA file, one analysis per record in file order.
// With keepFaulty, a record that cannot be modelled takes its place in the list as an
// Analysis holding only its recordFailure; otherwise it fails the whole call.
Outcome<std::vector<Analysis>> RunSpanner2D(const std::string& fastaPath, const Options& options,
                                            bool keepFaulty = false);
// The same over sequences given as (name, sequence) pairs.
Outcome<std::vector<Analysis>> RunSpanner2D(const std::vector<std::pair<std::string, std::string>>& records,
                                            const Options& options);
// A score table file, refused whole when it cannot be read.
Outcome<ScoreTable> ReadScoreTable(const std::string& path);

// Analyses of many files on `jobs` threads, handed out in the files' order. Workers run at
// most a few files ahead of the reader, so a run over 20,000 files holds a handful of
// results at a time. Each analysis is single-threaded when jobs > 1, as the command
// line's multi does.
class OrderedRun {
 public:
  OrderedRun(std::vector<std::string> paths, Options options, int jobs);
  // Stops the workers after the files they hold and waits for them.
  ~OrderedRun();
  OrderedRun(const OrderedRun&) = delete;
  OrderedRun& operator=(const OrderedRun&) = delete;

  // The next file's outcome, waiting for it; nullopt once every file was handed out.
  std::optional<Outcome<Analysis>> Next();
  size_t size() const { return paths_.size(); }

 private:
  void Work();
  void Stop();

  std::vector<std::string> paths_;
  Options options_;
  size_t ahead_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  size_t claimed_ = 0, handed_ = 0;
  bool stopping_ = false;
  std::map<size_t, Outcome<Analysis>> done_;
  std::vector<std::thread> workers_;
};

// Failure from a file status that is not ok.
Failure FileFailure(const FileStatus& status);

}  // namespace tessmol::python
