// What became of a file operation. Readers and writers of every layer return one, so a
// missing file, an unreadable one, a format error and a failed write are never taken for
// success; the front ends only turn it into words (stderr and an exit status, or a
// message box).
#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessmol {

enum class FileProblem { kNone, kMissing, kUnreadable, kFormat, kWriteFailed };

struct [[nodiscard]] FileStatus {
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

// Writes `path` through a new temporary file beside it (".NAME.tessmol-tmp-" and random
// hex, created exclusively and never through a symlink), synced and given the old file's
// mode before it is renamed over `path`; so a failed, killed or concurrent write never
// leaves a broken or empty file, and a symlink at `path` is replaced, never written
// through. Every failure names `path` and the system's reason. Only the temporary this
// call made is ever removed.
FileStatus WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);
// The same for bytes already in memory (a rendered image).
FileStatus WriteBytesAtomically(const std::string& path, std::string_view bytes);
// A regular file its owner has made read-only (no write bit), or that this process may
// not write: what every writer keeps, even one (root) whom the mode would not stop.
bool IsWriteProtected(const std::string& path);
inline constexpr const char* kWriteProtected = "it is write-protected; nothing is written over it";

// A program ended by SIGINT, SIGTERM or SIGHUP (Ctrl-C, a scheduler's cancel, a closed
// terminal) first removes the temporaries it is writing, then ends by that signal as it
// would have. Call once, early, from a program's main; a library leaves signals alone.
void RemoveTemporariesOnTermination();

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
  std::string temporary_;   // empty once committed or when nothing was written
  int slot_ = -1;           // where a terminating signal finds it (see RemoveTemporariesOnTermination)
  std::string writtenFor_;  // the path whose old mode the temporary was given
  unsigned mode_ = 0;
  FileStatus status_;
};

// An open file descriptor as a stream's buffer that keeps the first write error
// (errno), which a plain file stream forgets. With `wholeLines`, what it writes before
// the end ends at a line's end, so processes appending to one file do not split each
// other's lines.
class FdStreamBuf : public std::streambuf {
 public:
  FdStreamBuf(int fd, bool wholeLines) : fd_(fd), wholeLines_(wholeLines) {
    buffer_.resize(1 << 16);
    Reset();
  }
  int error() const { return error_; }
  // Writes whatever is buffered; false (and error() set) when it could not be written.
  bool Drain() { return Write(true); }

 protected:
  int_type overflow(int_type c) override;
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Write(bool all);
  void Reset() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  int fd_;
  bool wholeLines_;
  int error_ = 0;
  std::vector<char> buffer_;
};

}  // namespace tessmol
