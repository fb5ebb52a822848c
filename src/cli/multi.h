#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli multi FILE...: the multiple analysis, printed as the analysis list.
void SetupMulti(CLI::App& app, int& status);

}  // namespace tessmol::cli
