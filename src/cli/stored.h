#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// tessmol-cli recalc RESULT.tsm...: rescore stored results against a score table.
void SetupRecalc(CLI::App& app, int& status);
// tessmol-cli show RESULT.tsm: the summary (and residue table) of a stored result.
void SetupShow(CLI::App& app, int& status);

}  // namespace tessmol::cli
