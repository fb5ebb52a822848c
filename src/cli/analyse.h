#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli analyse FILE...: surface areas, environments and scores of each structure.
void SetupAnalyse(CLI::App& app, int& status);

}  // namespace tessmol::cli
