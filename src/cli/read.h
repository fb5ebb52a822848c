#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli read FILE...: what the reader made of each structure file.
void SetupRead(CLI::App& app, int& status);

}  // namespace tessmol::cli
