// The names of the files one run writes: a name already given in the run comes back with
// "-2", "-3", ... before its extension, so that two inputs of one name never share an output.
#pragma once

#include <map>
#include <set>
#include <string>

namespace tessmol {

class RunNames {
 public:
  // A new run: every name is free again.
  void Clear() {
    given_.clear();
    nextSuffix_.clear();
  }
  // STEM + EXTENSION when the run has not given it yet, else the first STEM-N + EXTENSION
  // (N from 2) it has not given; the name returned is given from now on.
  std::string Take(const std::string& stem, const std::string& extension);

 private:
  std::set<std::string> given_;
  // Per name, the first suffix not yet tried: the 20,000th record of one FASTA file gets
  // "-20000" without trying the 19,998 suffixes before it.
  std::map<std::string, int> nextSuffix_;
};

}  // namespace tessmol
