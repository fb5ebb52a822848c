#include "base/run_names.h"

#include <filesystem>

namespace tessmol {

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal()) return true;
  std::error_code error;
  return fs::equivalent(a, b, error);
}

FileStatus RunNames::CheckNotInput(const std::string& path) const {
  for (const std::string& input : inputs_)
    if (SameFile(path, input))
      return FileStatus::WriteFailed(path, "it is one of the input files, which are never overwritten");
  return FileStatus::Ok(path);
}

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
