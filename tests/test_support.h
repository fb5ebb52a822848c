// Helpers shared by the test programs: paths to the real structures, reading them, and
// running external oracles.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#ifdef TESSMOL_GTEST
#include <gtest/gtest.h>
#endif

#include "model/het_atom_radii.h"
#include "model/het_radii_file.h"
#include "model/pdb_reader.h"
#include "model/protein.h"

namespace tessmol::test {

inline std::string DataPath(const std::string& name) {
  return std::string(TESSMOL_TEST_DATA) + "/" + name;
}
inline std::string ProgramFolder() {
  return TESSMOL_PROGRAM_FOLDER;
}

inline const HetAtomRadii& StandardHetRadii() {
  static const HetAtomRadii table = [] {
    HetAtomRadii t;
    SilentFeedback quiet;
    // The shipped table: every test that reads a structure needs it.
    if (const FileStatus loaded = LoadHetAtomRadii(ProgramFolder() + kHetRadiiFile, t, quiet); !loaded)
      throw std::runtime_error(loaded.Describe());
    return t;
  }();
  return table;
}

struct ReadStructureResult {
  Structure structure;
  bool isNMR = false;
  bool opened = false;
  FileStatus status;  // of opening, then of reading
};

inline ReadStructureResult ReadPdb(const std::string& path) {
  PdbReader reader(StandardHetRadii());
  ReadStructureResult result;
  result.status = reader.Open(path);
  result.opened = result.status.ok();
  if (result.opened) result.status = reader.Read();
  reader.Close();
  result.structure = reader.structure();
  result.isNMR = reader.isNMR();
  return result;
}

inline Protein LoadedProtein(const std::string& name, bool ignoreHet) {
  Protein protein;
  protein.structure = ReadPdb(DataPath(name)).structure;
  protein.fileName = name;
  protein.ignoreHeteroAtoms = ignoreHet;
  SilentFeedback quiet;
  protein.Load(quiet);
  return protein;
}

// Keeps the surface pass's result with the protein, as the document does; false when the
// pass could not run.
inline bool KeepSurface(Protein& protein, std::optional<SurfaceResult> surface) {
  if (!surface) return false;
  protein.surface = std::move(*surface);
  return true;
}

// A sanitizer's report in what a process printed: it has a fault, whatever its status.
inline bool HasSanitizerReport(const std::string& text) {
  for (const char* mark : {"ERROR: AddressSanitizer", "LeakSanitizer",
                           "runtime error:", "SUMMARY: UndefinedBehaviorSanitizer"}) {
    if (text.find(mark) != std::string::npos) return true;
  }
  return false;
}

// Every process the tests start ends with status 86 on a sanitizer's report, never with
// the program's own 1, whatever options the environment already gives them.
inline void GiveSanitizersTheirOwnStatus() {
  static const bool done = [] {
    const std::pair<const char*, const char*> settings[] = {{"ASAN_OPTIONS", "exitcode=86"},
                                                            {"UBSAN_OPTIONS", "halt_on_error=1:exitcode=86"}};
    for (const auto& [name, extra] : settings) {
      const char* current = std::getenv(name);
      std::string value = current != nullptr ? current : "";
      if (value.find("exitcode=") != std::string::npos) continue;
      ::setenv(name, (value.empty() ? value : value + ":").append(extra).c_str(), 1);
    }
    return true;
  }();
  (void)done;
}

// Standard output and standard error of a shell command, and its exit status. A test
// that starts a process fails when the process printed a sanitizer's report.
struct CommandResult {
  std::string out;
  std::string err;
  int status = -1;
};

inline CommandResult RunCommand(const std::string& command) {
  GiveSanitizersTheirOwnStatus();
  CommandResult result;
  char errPath[] = "/tmp/tessmol_stderr_XXXXXX";
  const int errFile = ::mkstemp(errPath);
  if (errFile < 0) return result;
  ::close(errFile);
  FILE* pipe = popen(("{ " + command + "\n} 2>" + errPath).c_str(), "r");
  if (pipe != nullptr) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  if (FILE* err = std::fopen(errPath, "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, err)) > 0) result.err.append(buffer, n);
    std::fclose(err);
  }
  ::unlink(errPath);
#ifdef TESSMOL_GTEST
  if (HasSanitizerReport(result.out) || HasSanitizerReport(result.err)) {
    ADD_FAILURE() << "a sanitizer reported a fault in: " << command << "\n" << result.err << result.out;
  }
#endif
  return result;
}

#ifdef TESSMOL_GTEST
// The peer tools the tests check against (FreeSASA, DSSP, gemmi, python3's jsonschema) are
// installed by scripts/install-deps.sh, so a missing one is a broken set-up: the test that
// needs it fails, naming the package, rather than passing without checking anything.
inline testing::AssertionResult Installed(const std::string& probe, const std::string& package) {
  if (RunCommand(probe + " >/dev/null 2>&1").status == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "`" << probe << "` fails: scripts/install-deps.sh installs "
                                     << package;
}
inline testing::AssertionResult ToolInstalled(const std::string& command, const std::string& package) {
  return Installed("command -v " + command, package);
}
#endif

// Runs `body` without the power to read every file: as root (as CI runs), in a child
// process that has dropped to the unprivileged user nobody. Returns body's result, or -1
// when the child could not be made.
inline int WithoutRoot(const std::function<int()>& body) {
  if (::geteuid() != 0) return body();
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    ::_exit(body());
  }
  int raw = 0;
  ::waitpid(child, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace tessmol::test

#include <unistd.h>

#include <filesystem>

namespace tessmol::test {

// A fresh folder that is the current folder while the object lives; result files, which
// the pipeline writes to the current folder, land there.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tessmol_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace tessmol::test
