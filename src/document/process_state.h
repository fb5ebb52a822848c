// What every document of one running program shares: where the program's data lives, the
// log file, the score table with which residues are scored, and the heteroatom radii.
// The application makes one and hands it to each document; tests make a fresh one per case.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "base/feedback.h"
#include "base/file_status.h"
#include "model/het_atom_radii.h"
#include "scoring/score_table.h"
#include "transmembrane/segments.h"

namespace tessmol {

class ProcessState {
 public:
  // `programFolder` is the folder of the data files, without a trailing separator.
  explicit ProcessState(std::string programFolder);

  const std::string& programFolder() const { return programFolder_; }

  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;
  ~ProcessState() { CloseLog(); }

  // The log file of the surface-area pass; null while none is open.
  std::ostream* logFile() { return log_ ? &log_->stream : nullptr; }
  // Opens `path` for the log, never through a symlink. It is emptied only when no other
  // running process logs into it (they hold a lock on it); otherwise this run's lines
  // follow theirs.
  FileStatus OpenLog(const std::string& path);
  // The log where no --log names one: Logfile.log in the program's temp folder where this
  // user may write there, else in the user's own state folder ($XDG_STATE_HOME/tessmol,
  // by default ~/.local/state/tessmol). A log that the first place refuses is said on
  // `feedback` before the second is tried.
  FileStatus OpenDefaultLog(Feedback& feedback);
  // Where the first document opens the log instead of the default (the command line's
  // --log); set before the first document is made.
  void RequestLogPath(std::string path) { requestedLogPath_ = std::move(path); }
  const std::string& requestedLogPath() const { return requestedLogPath_; }
  // No log at all, for a run with nothing to log (it would empty the last run's default log).
  void RequestNoLog() { noLog_ = true; }
  bool noLogRequested() const { return noLog_; }
  // Writes out and closes the log; then logStatus() says whether every line reached it.
  void CloseLog();
  // Whether the log took every line written to it so far: a failure names the log and
  // the system's reason. Ok when no log was opened.
  FileStatus logStatus() const;

  // Documents register themselves so the log closes with the last of them, not the first.
  void AttachDocument() { ++documents_; }
  void DetachDocument();

  ScoreValues scoringTable;
  HetAtomRadii hetAtomRadii;
  // What became of reading the heteroatom radius file: a format error refuses it (the
  // table is then empty, and the user has been told).
  FileStatus hetRadiiStatus = FileStatus::Missing({});
  // The segmentation method's fitted parameters, read with the other data files; empty
  // (status not ok) when their file could not be read.
  SegmentParams segmentParams;
  FileStatus segmentParamsStatus = FileStatus::Missing({});

 private:
  std::string programFolder_;
  std::string requestedLogPath_;
  bool noLog_ = false;
  // The open log: its descriptor (which holds the lock) under a line-keeping buffer.
  struct Log {
    explicit Log(int fd) : fd(fd), buffer(fd, true), stream(&buffer) {}
    int fd;
    FdStreamBuf buffer;
    std::ostream stream;
  };
  std::unique_ptr<Log> log_;
  std::string logPath_;
  int logError_ = 0;
  int documents_ = 0;
};

}  // namespace tessmol
