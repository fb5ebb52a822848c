// The names of the files one run writes: a name already given in the run comes back with
// "-2", "-3", ... before its extension, so that two inputs of one name never share an output;
// and a name that is one of the run's inputs is never written.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/file_status.h"

namespace tessmol {

// One file however it is spelt: the same path, or a hard or symbolic link to it.
bool SameFile(const std::string& a, const std::string& b);

class RunNames {
 public:
  // A new run, of these input files: every name is free again.
  void Clear(std::vector<std::string> inputs = {}) {
    given_.clear();
    nextSuffix_.clear();
    inputs_ = std::move(inputs);
  }
  // A failure naming `path` when it is one of the run's input files, which an output never
  // replaces (a structure file named NAME.tsm would be its own result's name); success
  // otherwise.
  FileStatus CheckNotInput(const std::string& path) const;
  // STEM + EXTENSION when the run has not given it yet, else the first STEM-N + EXTENSION
  // (N from 2) it has not given; the name returned is given from now on.
  std::string Take(const std::string& stem, const std::string& extension);

 private:
  std::set<std::string> given_;
  // Per name, the first suffix not yet tried: the 20,000th record of one FASTA file gets
  // "-20000" without trying the 19,998 suffixes before it.
  std::map<std::string, int> nextSuffix_;
  std::vector<std::string> inputs_;
};

}  // namespace tessmol
