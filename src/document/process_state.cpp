#include "document/process_state.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace tessmol {

namespace {

constexpr const char* kLogName = "Logfile.log";

// $XDG_STATE_HOME/tessmol, else ~/.local/state/tessmol; empty when there is no home.
std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/tessmol";
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
    home = h;
  } else if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return home.empty() ? std::string() : home + "/.local/state/tessmol";
}

// Makes `folder` and its missing parents private to this user, as a state folder is.
void MakePrivateFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

}  // namespace

ProcessState::ProcessState(std::string programFolder)
    : scoringTable(BuiltInScores()), programFolder_(std::move(programFolder)) {}

FileStatus ProcessState::OpenLog(const std::string& path) {
  CloseLog();
  // A run empties its log: never a file its owner has write-protected.
  if (IsWriteProtected(path)) return FileStatus::WriteFailed(path, kWriteProtected);
  // Not blocking: a FIFO with no reader is refused, not waited on.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return FileStatus::WriteFailed(path, std::strerror(errno));
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // Every run holds a shared lock while it logs; the one that finds none held may empty
  // the log, as a fresh run always has. The exclusive lock is held only for that moment,
  // so a run that misses its shared one is not kept waiting long.
  struct stat st {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) (void)::ftruncate(fd, 0);
    ::flock(fd, LOCK_SH);
  } else {
    for (int attempt = 0; attempt < 50 && ::flock(fd, LOCK_SH | LOCK_NB) != 0; ++attempt)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  log_ = std::make_unique<Log>(fd);
  logPath_ = path;
  logError_ = 0;
  return FileStatus::Ok(path);
}

FileStatus ProcessState::OpenDefaultLog(Feedback& feedback) {
  const std::string temp = programFolder_ + "/temp";
  std::error_code ignored;
  std::filesystem::create_directories(temp, ignored);
  if (::faccessat(AT_FDCWD, temp.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
    const FileStatus opened = OpenLog(temp + "/" + kLogName);
    if (opened) return opened;
    // The folder is ours to write, so a log it refuses (a symlink, another user's file)
    // is worth saying before the user's own state folder takes it.
    feedback.ShowMessage("Warning: cannot use the log " + opened.path + ": " + opened.detail);
  }
  const std::string folder = StateFolder();
  if (folder.empty())
    return FileStatus::WriteFailed(temp + "/" + kLogName, "no folder of this user's may hold it");
  MakePrivateFolders(folder);
  return OpenLog(folder + "/" + kLogName);
}

void ProcessState::CloseLog() {
  if (!log_) return;
  log_->stream.flush();
  int error = log_->buffer.error();
  if (error == 0 && !log_->stream) error = EIO;
  if (::close(log_->fd) != 0 && error == 0) error = errno;
  if (logError_ == 0) logError_ = error;
  log_.reset();
}

FileStatus ProcessState::logStatus() const {
  int error = logError_;
  if (error == 0 && log_) error = log_->buffer.error();
  if (error == 0) return FileStatus::Ok(logPath_);
  return FileStatus::WriteFailed(logPath_, std::strerror(error));
}

void ProcessState::DetachDocument() {
  if (documents_ > 0) --documents_;
  if (documents_ == 0) CloseLog();
}

}  // namespace tessmol
