#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli spanner2d FILE.fasta...: transmembrane segments predicted from sequences.
void SetupSpanner2D(CLI::App& app, int& status);

}  // namespace tessmol::cli
