#pragma once

#include <CLI/CLI.hpp>

namespace tessmol::cli {

// multi's exit status when the only failures were structure files it could not read or
// analyse: every other file was analysed and every result written (1 means a result, the
// table or the list could not be written).
inline constexpr int kSomeInputsNotAnalysed = 3;

// tessmol-cli multi FILE...: the multiple analysis, printed as the analysis list.
void SetupMulti(CLI::App& app, int& status);
// merge-counts and merge-lists: the shards of a multiple analysis made one.
void SetupMerge(CLI::App& app, int& status);

}  // namespace tessmol::cli
