#include "cli/run_outputs.h"

#include <filesystem>

namespace tessmol::cli {

namespace {

namespace fs = std::filesystem;

// One file however it is spelt: the same path, or a hard or symbolic link to it.
bool SameFile(const std::string& a, const std::string& b) {
  if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal()) return true;
  std::error_code error;
  return fs::equivalent(a, b, error);
}

}  // namespace

std::string RunOutputs::PathFor(const std::string& file, const std::string& structure, bool several) {
  const fs::path given(file);
  std::string stem = given.stem().string();
  if (several) stem += "-" + fs::path(structure).stem().string();
  return names_.Take((given.parent_path() / stem).string(), given.extension().string());
}

FileStatus RunOutputs::CheckNotInput(const std::string& path) const {
  for (const std::string& input : inputs_)
    if (SameFile(path, input))
      return FileStatus::WriteFailed(path, "it is one of the input files, which are never overwritten");
  return {};
}

std::string RefuseOutputOptions(const std::vector<std::pair<std::string, std::string>>& options,
                                const std::vector<std::string>& inputs) {
  for (size_t i = 0; i < options.size(); ++i) {
    const auto& [name, file] = options[i];
    if (file.empty()) continue;
    // The run's own result files end so: a table or picture of that name would replace
    // the result just written, and its row would point at something else.
    if (fs::path(file).extension() == ".tsm")
      return "Error: " + name + " names a result file (" + file + "), which only the analysis writes";
    if (inputs.size() == 1 && SameFile(file, inputs.front()))
      return "Error: " + name + " names the input file " + file + ", which is never overwritten";
    for (size_t j = i + 1; j < options.size(); ++j)
      if (!options[j].second.empty() && SameFile(file, options[j].second))
        return "Error: " + name + " and " + options[j].first + " name the same file " + file;
  }
  return {};
}

}  // namespace tessmol::cli
