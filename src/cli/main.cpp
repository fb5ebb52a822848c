// tessmol-cli: Tessmol's analyses for scripts, batch runs and clusters.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/analyse.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "cli/membrane.h"
#include "cli/multi.h"
#include "cli/read.h"
#include "cli/spanner2d.h"
#include "cli/stored.h"

int main(int argc, char** argv) {
  CLI::App app{"Tessmol: residue-by-residue evaluation of protein structures", "tessmol-cli"};
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
  tessmol::cli::ShutdownChartRendering();
  if (!tessmol::cli::LogsWritten() && status == 0) status = 1;
  return status;
}
