#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli membrane FILE...: the lipid slab placed on each structure.
void SetupMembrane(CLI::App& app, int& status);

}  // namespace tessmol::cli
