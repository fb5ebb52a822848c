#include "model/file_status.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tessmol {

std::string FileStatus::Describe() const {
  const std::string suffix = detail.empty() ? std::string() : ": " + detail;
  switch (problem) {
    case FileProblem::kNone:
      return {};
    case FileProblem::kMissing:
      return "Error: cannot read " + path + ": no such file";
    case FileProblem::kUnreadable:
      return "Error: cannot read " + path + suffix;
    case FileProblem::kFormat:
      return "Error: format error in " + path + " on line " + std::to_string(line) + suffix;
    case FileProblem::kWriteFailed:
      return "Error: cannot write " + path + suffix;
  }
  return {};
}

FileStatus ReadFailure(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (path.empty() || status.type() == std::filesystem::file_type::not_found) return FileStatus::Missing(path);
  if (std::filesystem::is_directory(status)) return FileStatus::Unreadable(path, "it is a folder");
  if (::access(path.c_str(), R_OK) != 0) return FileStatus::Unreadable(path, std::strerror(errno));
  return FileStatus::Unreadable(path);
}

}  // namespace tessmol

#include <signal.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>

namespace tessmol {

namespace {

constexpr std::string_view kPartialMarker = ".partial-";

// Temporaries of processes that no longer exist, in the folder of `target`.
void RemoveStaleTemporaries(const std::filesystem::path& folder) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  std::lock_guard<std::mutex> lock(mutex);
  // Once per folder, by where it is: "." names another folder after a change of folder.
  std::error_code error;
  const std::filesystem::path where = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  if (!cleaned.insert(where.lexically_normal().string()).second) return;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    const size_t marker = name.rfind(kPartialMarker);
    if (marker == std::string::npos) continue;
    std::string digits = name.substr(marker + kPartialMarker.size());
    digits = digits.substr(0, digits.find('-'));
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH)) {
      std::error_code ignored;
      std::filesystem::remove(it->path(), ignored);
    }
  }
}

}  // namespace

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    Discard();
    temporary_ = std::move(other.temporary_);
    status_ = std::move(other.status_);
    other.temporary_.clear();
  }
  return *this;
}

PendingFile::~PendingFile() {
  Discard();
}

void PendingFile::Discard() {
  if (temporary_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
  temporary_.clear();
}

PendingFile PendingFile::Write(const std::string& path, const std::function<void(std::ostream&)>& write) {
  namespace fs = std::filesystem;
  PendingFile file;
  const fs::path target(path);
  RemoveStaleTemporaries(target.parent_path());
  // One name per write, so threads and processes writing one file never share a temporary.
  static std::atomic<unsigned> writes{0};
  fs::path temporary = target;
  temporary += std::string(kPartialMarker) + std::to_string(::getpid()) + "-" + std::to_string(writes++);
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) {
    file.status_ = FileStatus::WriteFailed(path, std::strerror(errno));
    return file;
  }
  file.temporary_ = temporary.string();
  write(out);
  out.flush();
  out.close();
  if (!out) {
    file.Discard();
    file.status_ = FileStatus::WriteFailed(path, "the disk may be full");
    return file;
  }
  file.status_ = FileStatus::Ok(path);
  return file;
}

FileStatus PendingFile::Commit(const std::string& path) {
  if (!status_) return FileStatus::WriteFailed(path, status_.detail);
  std::error_code error;
  std::filesystem::rename(temporary_, path, error);
  if (error) return FileStatus::WriteFailed(path, error.message());  // the destructor removes it
  temporary_.clear();
  return FileStatus::Ok(path);
}

FileStatus WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  return PendingFile::Write(path, write).Commit(path);
}

}  // namespace tessmol
