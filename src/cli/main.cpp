// tessmol-cli: Tessmol's analyses for scripts, batch runs and clusters.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <streambuf>

#include "base/file_status.h"
#include "base/version.h"
#include "cli/analyse.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "cli/membrane.h"
#include "cli/multi.h"
#include "cli/read.h"
#include "cli/spanner2d.h"
#include "cli/stored.h"

namespace {

int Run(int argc, char** argv) {
  CLI::App app{
      "Tessmol: residue-by-residue evaluation of protein structures. Structures are read from PDB "
      "or mmCIF files, plain or gzip-compressed (.gz), told apart by their content; sequences "
      "from FASTA files.",
      "tessmol-cli"};
  // Before the sub-commands, which take their parent's formatter when they are made.
  app.formatter(std::make_shared<tessmol::cli::WrappingFormatter>());
  app.set_version_flag("--version", std::string("tessmol-cli ") + tessmol::kVersion);
  app.require_subcommand(1);
  int status = 0;
  tessmol::cli::SetupAnalyse(app, status);
  tessmol::cli::SetupMulti(app, status);
  tessmol::cli::SetupMerge(app, status);
  tessmol::cli::SetupRecalc(app, status);
  tessmol::cli::SetupShow(app, status);
  tessmol::cli::SetupSpanner2D(app, status);
  tessmol::cli::SetupMembrane(app, status);
  tessmol::cli::SetupRead(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    // Help and version are successes; every other parse error is bad usage.
    return code == 0 ? 0 : 2;
  }
  return status;
}

// Standard output written with write(2), keeping the first error: the C library under
// std::cout forgets why a write failed before the program ends.
class CheckedOutput : public std::streambuf {
 public:
  CheckedOutput() { setp(buffer_, buffer_ + sizeof buffer_); }
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const char* next = pbase();
    while (error_ == 0 && next < pptr()) {
      const ssize_t written = ::write(STDOUT_FILENO, next, static_cast<size_t>(pptr() - next));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) error_ = written < 0 ? errno : EIO;
      if (written > 0) next += written;
    }
    setp(buffer_, buffer_ + sizeof buffer_);
    return error_ == 0;
  }

  char buffer_[1 << 16];
  int error_ = 0;
};

// What was printed must have reached standard output (a full disk, a closed pipe): an
// output that is cut short is a failure, whatever the run's own status.
int FinishStandardOutput(int status, const CheckedOutput* checked) {
  std::cout.flush();
  int error = checked != nullptr ? checked->error() : 0;
  errno = 0;
  if (std::fflush(stdout) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && !std::ferror(stdout) && std::cout.good()) return status;
  std::cerr << "Error: cannot write standard output: "
            << (error != 0 ? std::strerror(error) : "a write failed") << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C or a cancelled job leaves no half-written temporary beside the outputs.
  tessmol::RemoveTemporariesOnTermination();
  // A terminal keeps its line-by-line output; files and pipes are written through a
  // buffer that remembers a failed write.
  static CheckedOutput checked;
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  std::streambuf* const previous = terminal ? nullptr : std::cout.rdbuf(&checked);
  int status = 1;
  // No failure ends the program by an abort: it is named and the status is 1.
  try {
    status = Run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "Error: " << error.what() << std::endl;
    status = 1;
  } catch (...) {
    std::cerr << "Error: an unexpected failure" << std::endl;
    status = 1;
  }
  tessmol::cli::ShutdownChartRendering();
  // A log that lost lines is a failed write, worse than inputs that could not be read (3).
  if (!tessmol::cli::LogsWritten() && (status == 0 || status == 3)) status = 1;
  status = FinishStandardOutput(status, terminal ? nullptr : &checked);
  if (previous != nullptr) std::cout.rdbuf(previous);
  return status;
}
