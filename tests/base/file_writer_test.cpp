// The one safe writer, on real files: what it replaces, what it leaves alone, and what a
// failed write leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "base/file_status.h"
#include "test_support.h"

namespace tessmol {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Every entry of a folder with its contents ("<folder>" for a folder, "<pipe>" for a pipe).
std::map<std::string, std::string> Listing(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const fs::file_status status = entry.symlink_status();
    entries[entry.path().filename().string()] = fs::is_symlink(status)
                                                    ? "-> " + fs::read_symlink(entry.path()).string()
                                                : fs::is_directory(status) ? "<folder>"
                                                : fs::is_fifo(status)      ? "<pipe>"
                                                                           : ReadAll(entry.path());
  }
  return entries;
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode;
}

TEST(SafeWriter, LeavesEveryFileItDidNotMakeAlone) {
  test::ScratchFolder scratch;
  // Files of the user's and of other programs whose names look like temporaries, one like
  // a temporary of a killed run of ours, and one of a process that no longer exists.
  pid_t gone = 999999;
  while (::kill(gone, 0) == 0 || errno != ESRCH) --gone;
  WriteText("thesis.partial-2024-01-15.docx", "chapter one");
  WriteText("backup.tar.partial-20240115", "tar");
  WriteText("notes.partial-123", "notes");
  WriteText("r.tsm.partial-" + std::to_string(gone) + "-0", "half a file");
  WriteText(".r.tsm.tessmol-tmp-0123456789abcdef", "killed run");
  fs::create_directory("x.partial-999999");
  const auto before = Listing(".");
  ASSERT_TRUE(WriteFileAtomically("r.tsm", [](std::ostream& out) { out << "first"; }).ok());
  ASSERT_TRUE(WriteBytesAtomically("r.tsm", "second").ok());
  EXPECT_FALSE(WriteBytesAtomically("no/such/folder/r.tsm", "x").ok());
  auto after = Listing(".");
  EXPECT_EQ(after["r.tsm"], "second");
  after.erase("r.tsm");
  EXPECT_EQ(after, before);  // nothing removed, changed or left behind
}

TEST(SafeWriter, KeepsTheMode) {
  test::ScratchFolder scratch;
  WriteText("private.tsm", "old");
  fs::permissions("private.tsm", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteBytesAtomically("private.tsm", "new").ok());
  EXPECT_EQ(ModeOf("private.tsm") & 07777, 0600u);
  EXPECT_EQ(ReadAll("private.tsm"), "new");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ASSERT_TRUE(WriteBytesAtomically("fresh.tsm", "x").ok());
  EXPECT_EQ(ModeOf("fresh.tsm") & 07777, 0666u & ~mask);
  // Given a name chosen after writing, the file takes that name's old mode.
  WriteText("late.tsm", "old");
  fs::permissions("late.tsm", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  PendingFile pending = PendingFile::Write("early.tsm", [](std::ostream& out) { out << "late"; });
  ASSERT_TRUE(pending.Commit("late.tsm").ok());
  EXPECT_EQ(ModeOf("late.tsm") & 07777, 0640u);
}

// What is at a name but no regular file is never written over: a symbolic link (to a file
// or to a device, as /dev/stdout is), a pipe, a folder. The write fails and says why.
TEST(SafeWriter, RefusesToReplaceWhatIsNoRegularFile) {
  test::ScratchFolder scratch;
  WriteText("outside", "not ours");
  fs::create_symlink(fs::absolute("outside"), "linked.svg");
  fs::create_symlink("/dev/null", "device.png");
  ASSERT_EQ(::mkfifo("pipe.svg", 0600), 0);
  fs::create_directory("folder.tsm");
  const auto before = Listing(".");
  for (const auto& [name, what] : {std::pair{"linked.svg", "a symbolic link"},
                                   {"device.png", "a symbolic link"},
                                   {"pipe.svg", "a pipe"},
                                   {"folder.tsm", "a folder"}}) {
    const FileStatus status = WriteBytesAtomically(name, "<svg/>");
    EXPECT_EQ(status.problem, FileProblem::kWriteFailed) << name;
    EXPECT_EQ(status.detail, std::string("it is ") + what + ", not a file; nothing is written over it")
        << name;
    // Named only when committed: refused then too.
    PendingFile late = PendingFile::Write("elsewhere.tsm", [](std::ostream& out) { out << "x"; });
    EXPECT_FALSE(late.Commit(name).ok()) << name;
  }
  EXPECT_EQ(Listing("."), before);  // links, pipe and folder as they were, no temporary left
  EXPECT_EQ(ReadAll("outside"), "not ours");
}

// A write-protected file is kept although its folder would let a rename replace it (as it
// would for root whatever the mode): named when written, or only when committed.
TEST(SafeWriter, RefusesToReplaceAWriteProtectedFile) {
  test::ScratchFolder scratch;
  WriteText("kept.cif", "data_1ABC");
  fs::permissions("kept.cif", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto before = Listing(".");
  const FileStatus status = WriteBytesAtomically("kept.cif", "replaced");
  EXPECT_EQ(status.Describe(),
            "Error: cannot write kept.cif: it is write-protected; nothing is written over it");
  {
    PendingFile late = PendingFile::Write("elsewhere.tsv", [](std::ostream& out) { out << "x"; });
    EXPECT_FALSE(late.Commit("kept.cif").ok());
  }
  EXPECT_EQ(Listing("."), before);
  EXPECT_EQ(ReadAll("kept.cif"), "data_1ABC");
  // Write permission given back: written over as before, its mode kept.
  fs::permissions("kept.cif", fs::perms::owner_write, fs::perm_options::add);
  ASSERT_TRUE(WriteBytesAtomically("kept.cif", "replaced").ok());
  EXPECT_EQ(ReadAll("kept.cif"), "replaced");
  EXPECT_EQ(ModeOf("kept.cif") & 07777, 0644u);
}

// Ctrl-C or a cancelled job while a file is being written: the program ends by that
// signal, the old file is whole and no temporary is left beside it; an ignored signal
// stays ignored.
TEST(SafeWriter, ATerminatingSignalLeavesNoTemporary) {
  test::ScratchFolder scratch;
  WriteText("result.tsm", "old result");
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RemoveTemporariesOnTermination();
      (void)WriteFileAtomically("result.tsm", [signal](std::ostream& out) {
        out << std::string(100000, 'r');
        out.flush();
        ::raise(signal);
      });
      ::_exit(0);  // not reached: the signal ends the program
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == signal) << signal;
    EXPECT_EQ(Listing("."), (std::map<std::string, std::string>{{"result.tsm", "old result"}})) << signal;
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
    RemoveTemporariesOnTermination();
    const FileStatus written = WriteFileAtomically("result.tsm", [](std::ostream& out) {
      ::raise(SIGHUP);
      out << "new result";
    });
    ::_exit(written.ok() ? 0 : 1);
  }
  int raw = 0;
  ::waitpid(child, &raw, 0);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  EXPECT_EQ(ReadAll("result.tsm"), "new result");
}

TEST(SafeWriter, AFullDiskKeepsTheOldFileAndSaysWhy) {
  test::ScratchFolder scratch;
  WriteText("chart.png", "old picture");
  // A child whose files may not grow past 4 KB stands for a full disk.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const FileStatus written = WriteBytesAtomically("chart.png", std::string(100000, 'p'));
    const bool said = written.problem == FileProblem::kWriteFailed && written.path == "chart.png" &&
                      written.Describe() == "Error: cannot write chart.png: File too large";
    ::_exit(said ? 0 : 1);
  }
  int raw = 0;
  ::waitpid(child, &raw, 0);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  EXPECT_EQ(Listing("."), (std::map<std::string, std::string>{{"chart.png", "old picture"}}));
}

TEST(SafeWriter, PlantedSymlinksInASharedFolderAreNeverFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to play the other user";
  test::ScratchFolder scratch;
  WriteText("precious", "root's own");
  fs::create_directory("shared");
  fs::permissions("shared", fs::perms::all | fs::perms::sticky_bit);
  // Another user plants symlinks at the target's name and at the names temporaries had.
  const int planted = test::WithoutRoot([&] {
    std::error_code error;
    const fs::path precious = fs::absolute("precious");
    fs::create_symlink(precious, "shared/result.tsm", error);
    for (int n = 0; n < 8 && !error; ++n)
      fs::create_symlink(precious,
                         "shared/result.tsm.partial-" + std::to_string(::getppid()) + "-" + std::to_string(n),
                         error);
    fs::create_symlink(precious, "shared/.result.tsm.tessmol-tmp-0000000000000000", error);
    return error ? 1 : 0;
  });
  ASSERT_EQ(planted, 0);
  // The link at the target's name is refused; the ones at temporary-like names are never
  // met, since the temporary's name is new and opened with O_EXCL.
  EXPECT_FALSE(WriteBytesAtomically("shared/result.tsm", "the result").ok());
  ASSERT_TRUE(WriteBytesAtomically("shared/other.tsm", "the result").ok());
  EXPECT_EQ(ReadAll("precious"), "root's own");
  EXPECT_TRUE(fs::is_symlink("shared/result.tsm"));
  EXPECT_EQ(ReadAll("shared/other.tsm"), "the result");
  EXPECT_EQ(Listing("shared").size(), 11u);  // the other user's links stay, beside the new file
}

}  // namespace
}  // namespace tessmol
