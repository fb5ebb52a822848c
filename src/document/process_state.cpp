#include "document/process_state.h"

namespace tessmol {

ProcessState::ProcessState(std::string programFolder)
    : scoringTable(BuiltInScores()), programFolder_(std::move(programFolder)) {}

bool ProcessState::OpenLog(const std::string& path) {
  logFile_.close();
  logFile_.clear();
  logFile_.open(path, std::ios::out | std::ios::trunc);
  return logFile_.is_open();
}

void ProcessState::DetachDocument() {
  if (documents_ > 0) --documents_;
  if (documents_ == 0) CloseLog();
}

}  // namespace tessmol
