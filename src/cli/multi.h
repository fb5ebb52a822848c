#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli multi FILE...: the multiple analysis, printed as the analysis list.
void SetupMulti(CLI::App& app, int& status);
// merge-counts and merge-lists: the shards of a multiple analysis made one.
void SetupMerge(CLI::App& app, int& status);

}  // namespace tessmol::cli
