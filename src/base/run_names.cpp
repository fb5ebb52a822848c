#include "base/run_names.h"

namespace tessmol {

std::string RunNames::Take(const std::string& stem, const std::string& extension) {
  std::string name = stem + extension;
  if (given_.insert(name).second) return name;
  // Names are only added during a run, so every suffix below the one remembered is taken.
  int& n = nextSuffix_.try_emplace(name, 2).first->second;
  for (;; ++n) {
    std::string unique = stem + "-" + std::to_string(n) + extension;
    if (given_.insert(unique).second) {
      ++n;
      return unique;
    }
  }
}

}  // namespace tessmol
