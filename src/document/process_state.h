// What every document of one running program shares: where the program's data lives, the
// log file, the score table with which residues are scored, and the heteroatom radii.
// The application makes one and hands it to each document; tests make a fresh one per case.
#pragma once

#include <fstream>
#include <string>

#include "model/feedback.h"
#include "model/het_atom_radii.h"
#include "scoring/score_table.h"
#include "transmembrane/segments.h"

namespace tessmol {

class ProcessState {
 public:
  // `programFolder` is the folder of the data files, without a trailing separator.
  explicit ProcessState(std::string programFolder);

  const std::string& programFolder() const { return programFolder_; }

  // The log file of the surface-area pass; null while none is open.
  std::ostream* logFile() { return logFile_.is_open() ? &logFile_ : nullptr; }
  bool OpenLog(const std::string& path);
  // Where the first document opens the log instead of the work folder's Logfile.log
  // (the command line's --log); set before the first document is made.
  void RequestLogPath(std::string path) { requestedLogPath_ = std::move(path); }
  const std::string& requestedLogPath() const { return requestedLogPath_; }
  void CloseLog() { logFile_.close(); }

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
  std::ofstream logFile_;
  int documents_ = 0;
};

}  // namespace tessmol
