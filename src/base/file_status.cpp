#include "base/file_status.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

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
  if (path.empty() || status.type() == std::filesystem::file_type::not_found)
    return FileStatus::Missing(path);
  if (std::filesystem::is_directory(status)) return FileStatus::Unreadable(path, "it is a folder");
  if (::access(path.c_str(), R_OK) != 0) return FileStatus::Unreadable(path, std::strerror(errno));
  return FileStatus::Unreadable(path);
}

namespace {

// Read once, before any thread runs, because reading it means setting it.
const mode_t kUmask = [] {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}();

// Marks the temporaries as this program's alone, so that no other program's files are
// ever taken for one.
constexpr std::string_view kTemporaryMarker = ".tessmol-tmp-";

// The temporaries being written, where a terminating signal's handler can reach them with
// nothing but unlink: a slot is free (0), being filled (1) or names a temporary (2).
constexpr int kTemporarySlots = 64;
struct TemporarySlot {
  std::atomic<int> state{0};
  char path[4096];
};
TemporarySlot gTemporaries[kTemporarySlots];

int RememberTemporary(const std::string& path) {
  if (path.size() >= sizeof TemporarySlot::path) return -1;
  for (int k = 0; k < kTemporarySlots; ++k) {
    int free = 0;
    if (!gTemporaries[k].state.compare_exchange_strong(free, 1)) continue;
    std::memcpy(gTemporaries[k].path, path.c_str(), path.size() + 1);
    gTemporaries[k].state.store(2);
    return k;
  }
  return -1;  // more at once than the slots: this one is left to the run that made it
}

void ForgetTemporary(int& slot) {
  if (slot >= 0) gTemporaries[slot].state.store(0);
  slot = -1;
}

extern "C" void RemoveTemporariesAndEnd(int signal) {
  const int saved = errno;
  for (TemporarySlot& slot : gTemporaries) {
    if (slot.state.load() == 2) ::unlink(slot.path);
  }
  errno = saved;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

std::string RandomHex() {
  unsigned char bytes[8];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    std::random_device device;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

// What the old file at `path` was (its mode and owner), when it is a regular file; a
// symlink or nothing there gives a new file's mode.
struct OldFile {
  mode_t mode = 0666 & ~kUmask;
  bool exists = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

OldFile OldFileAt(const std::string& path) {
  OldFile old;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    old.mode = st.st_mode & 01777;  // never set-user or set-group-ID on a file we wrote
    old.exists = true;
    old.uid = st.st_uid;
    old.gid = st.st_gid;
  }
  return old;
}

// Gives the open temporary the old file's owner (where we may) and mode.
int TakeOver(int fd, const OldFile& old) {
  struct stat st {};
  if (old.exists && ::fstat(fd, &st) == 0 && (st.st_uid != old.uid || st.st_gid != old.gid)) {
    if (::fchown(fd, old.uid, old.gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.gid);
  }
  return ::fchmod(fd, old.mode) == 0 ? 0 : errno;
}

// Why `path` may not be written over: anything there but a regular file (a device such
// as /dev/null, a pipe, a folder, a symbolic link to anywhere) is the user's or the
// system's, and renaming a new file over it would destroy it, as it would a write-protected
// file. Empty when it may.
// A regular file `st` describes that its owner means to keep: no write bit, or none for us.
bool ProtectedFile(const struct stat& st, const std::string& path) {
  return S_ISREG(st.st_mode) &&
         ((st.st_mode & 0222) == 0 || (::access(path.c_str(), W_OK) != 0 && errno == EACCES));
}

std::string NotWrittenOver(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  if (S_ISREG(st.st_mode)) {
    // A write-protected file is one its owner means to keep: renaming over it would
    // replace it all the same (the folder, not the file, decides), and so would root.
    return ProtectedFile(st, path) ? kWriteProtected : std::string();
  }
  const char* what = S_ISLNK(st.st_mode)    ? "a symbolic link"
                     : S_ISDIR(st.st_mode)  ? "a folder"
                     : S_ISFIFO(st.st_mode) ? "a pipe"
                     : S_ISSOCK(st.st_mode) ? "a socket"
                                            : "a device";
  return std::string("it is ") + what + ", not a file; nothing is written over it";
}

std::string Reason(int error) {
  return error == 0 ? std::string("the output could not be written") : std::string(std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (!Write(false)) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

bool FdStreamBuf::Write(bool all) {
  if (error_ != 0) return false;
  const char* begin = pbase();
  const char* end = pptr();
  if (!all && wholeLines_) {
    const char* last = end;
    while (last != begin && last[-1] != '\n') --last;
    if (last != begin) end = last;
  }
  const char* at = begin;
  while (at < end) {
    const ssize_t n = ::write(fd_, at, static_cast<size_t>(end - at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    at += n;
  }
  // What is left (a line not yet ended) moves to the buffer's start.
  const size_t left = static_cast<size_t>(pptr() - end);
  std::memmove(buffer_.data(), end, left);
  Reset();
  pbump(static_cast<int>(left));
  return true;
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    Discard();
    temporary_ = std::move(other.temporary_);
    slot_ = other.slot_;
    other.slot_ = -1;
    writtenFor_ = std::move(other.writtenFor_);
    mode_ = other.mode_;
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
  ::unlink(temporary_.c_str());
  ForgetTemporary(slot_);
  temporary_.clear();
}

PendingFile PendingFile::Write(const std::string& path, const std::function<void(std::ostream&)>& write) {
  PendingFile file;
  std::string name = std::filesystem::path(path).filename().string();
  if (name.empty() || name == "." || name == "..") {
    file.status_ = FileStatus::WriteFailed(path, "no file name");
    return file;
  }
  if (const std::string refused = NotWrittenOver(path); !refused.empty()) {
    file.status_ = FileStatus::WriteFailed(path, refused);
    return file;
  }
  // Room for the marker within the longest name a folder takes.
  if (name.size() > 200) name.resize(200);
  const std::string prefix = (std::filesystem::path(path).parent_path() / ("." + name)).string();
  int fd = -1;
  std::string temporary;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temporary = prefix + std::string(kTemporaryMarker) + RandomHex();
    fd = ::open(temporary.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    file.status_ = FileStatus::WriteFailed(path, std::strerror(errno));
    return file;
  }
  file.temporary_ = temporary;
  file.slot_ = RememberTemporary(temporary);
  int error = 0;
  {
    FdStreamBuf buffer(fd, false);
    std::ostream out(&buffer);
    write(out);
    out.flush();
    error = buffer.error();
    if (error == 0 && !out) error = EIO;
  }
  const OldFile old = OldFileAt(path);
  if (error == 0) error = TakeOver(fd, old);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    file.Discard();
    file.status_ = FileStatus::WriteFailed(path, Reason(error));
    return file;
  }
  file.writtenFor_ = path;
  file.mode_ = old.mode;
  file.status_ = FileStatus::Ok(path);
  return file;
}

FileStatus PendingFile::Commit(const std::string& path) {
  if (!status_) return FileStatus::WriteFailed(path, status_.detail);
  if (temporary_.empty()) return FileStatus::WriteFailed(path, "nothing was written");
  if (const std::string refused = NotWrittenOver(path); !refused.empty())
    return FileStatus::WriteFailed(path, refused);
  if (path != writtenFor_) {
    // Named later than written: the old file of this name decides the mode.
    const OldFile old = OldFileAt(path);
    const int fd = ::open(temporary_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int error = fd < 0 ? errno : TakeOver(fd, old);
    if (fd >= 0) ::close(fd);
    if (error != 0) return FileStatus::WriteFailed(path, std::strerror(error));
  }
  if (::rename(temporary_.c_str(), path.c_str()) != 0) {
    return FileStatus::WriteFailed(path, std::strerror(errno));  // the destructor removes it
  }
  ForgetTemporary(slot_);
  temporary_.clear();
  // The new name lasts through a crash only once the folder is synced; some file
  // systems cannot, and the file is in place either way.
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return FileStatus::Ok(path);
}

FileStatus WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  return PendingFile::Write(path, write).Commit(path);
}

void RemoveTemporariesOnTermination() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal the caller's parent ignores (nohup, a background job's SIGINT) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

bool IsWriteProtected(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && ProtectedFile(st, path);
}

FileStatus WriteBytesAtomically(const std::string& path, std::string_view bytes) {
  return WriteFileAtomically(
      path, [&](std::ostream& out) { out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
}

}  // namespace tessmol
