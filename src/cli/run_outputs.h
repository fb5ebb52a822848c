#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/file_status.h"
#include "base/run_names.h"

namespace tessmol::cli {

// The files a command writes for each structure of a run from an option naming FILE
// (--chart, --residues-out, --bfactor-out, --write): FILE as given for a single structure,
// else FILE with the structure's name before the extension, and a name already given in
// the run gets "-2", "-3", ... before its extension, as result files do.
class RunOutputs {
 public:
  explicit RunOutputs(std::vector<std::string> inputs) { names_.Clear(std::move(inputs)); }
  // The file of `structure` (its file's path or name) for an option naming `file`.
  std::string PathFor(const std::string& file, const std::string& structure, bool several);
  // A failure naming `path` when it is one of the run's input files, which an output never
  // replaces; success otherwise.
  FileStatus CheckNotInput(const std::string& path) const;

 private:
  RunNames names_;
};

// Before any work, for options (name, FILE; an empty FILE is not given) that each write one
// file per structure: the refusal when FILE ends in .tsm (the run's result files do), when,
// for a single input, FILE is that input, or when two options name one file; empty when
// there is none.
std::string RefuseOutputOptions(const std::vector<std::pair<std::string, std::string>>& options,
                                const std::vector<std::string>& inputs);

// Before any work, and before the log is opened: the refusal for files written once for the
// whole run (the log, a custom table or counts, the helix model) when one ends in .tsm, is
// any of the run's inputs (structures, a file list, a score table read), or is named twice,
// here or by one of the per-structure `outputs`; empty when there is none.
std::string RefuseRunFiles(const std::vector<std::pair<std::string, std::string>>& runFiles,
                           const std::vector<std::pair<std::string, std::string>>& outputs,
                           const std::vector<std::string>& inputs);

}  // namespace tessmol::cli
