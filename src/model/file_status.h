// What became of a file operation. Readers and writers of every layer return one, so a
// missing file, an unreadable one, a format error and a failed write are never taken for
// success; the front ends only turn it into words (stderr and an exit status, or a
// message box).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>

namespace tessmol {

enum class FileProblem { kNone, kMissing, kUnreadable, kFormat, kWriteFailed };

struct FileStatus {
  FileProblem problem = FileProblem::kNone;
  std::string path;
  int line = 0;        // the offending line, counted from 1, for kFormat
  std::string detail;  // what was wrong with it

  bool ok() const { return problem == FileProblem::kNone; }
  explicit operator bool() const { return ok(); }

  static FileStatus Ok(std::string path) { return {FileProblem::kNone, std::move(path), 0, {}}; }
  static FileStatus Missing(std::string path) { return {FileProblem::kMissing, std::move(path), 0, {}}; }
  static FileStatus Unreadable(std::string path, std::string detail = {}) {
    return {FileProblem::kUnreadable, std::move(path), 0, std::move(detail)};
  }
  static FileStatus Format(std::string path, int line, std::string detail) {
    return {FileProblem::kFormat, std::move(path), line, std::move(detail)};
  }
  static FileStatus WriteFailed(std::string path, std::string detail = {}) {
    return {FileProblem::kWriteFailed, std::move(path), 0, std::move(detail)};
  }

  // One line for the user, naming the file: "Error: cannot read x.tsm: no such file".
  std::string Describe() const;
};

// A file that could not be handled in the memory there was: "Error: cannot read PATH: out
// of memory".
inline FileStatus OutOfMemory(const std::string& path) {
  return FileStatus::Unreadable(path, "out of memory");
}

// Why opening `path` for reading failed: kMissing or kUnreadable (a folder, no
// permission), from the system's error.
FileStatus ReadFailure(const std::string& path);

// Writes `path` through a temporary file beside it (NAME.partial-PID-N) that is renamed
// over it only when everything was written, so a failed or concurrent write never
// leaves a broken or empty file. The first write into a folder also removes the
// temporaries that killed runs left there.
FileStatus WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// A file written in full under a temporary name beside `path`, and moved by Commit to
// its final name in that folder (which may be chosen later, by another thread); removed
// when it never is. What WriteFileAtomically does in two steps.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(PendingFile&& other) noexcept { *this = std::move(other); }
  PendingFile& operator=(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  static PendingFile Write(const std::string& path, const std::function<void(std::ostream&)>& write);
  // Moves the file to `path`; a failure, now or in writing, is reported for `path`.
  FileStatus Commit(const std::string& path);

 private:
  void Discard();
  std::string temporary_;  // empty once committed or when nothing was written
  FileStatus status_;
};

}  // namespace tessmol
