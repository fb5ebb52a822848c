#include "cli/run_outputs.h"

#include <filesystem>

#include "document/tessmol_doc.h"

namespace tessmol::cli {

namespace fs = std::filesystem;

std::string RunOutputs::PathFor(const std::string& file, const std::string& structure, bool several) {
  const fs::path given(file);
  std::string stem = given.stem().string();
  // Named as the structure's result is: without a compression suffix and the extension.
  if (several) stem += "-" + fs::path(ResultNameFor(fs::path(structure).filename().string())).stem().string();
  return names_.Take((given.parent_path() / stem).string(), given.extension().string());
}

FileStatus RunOutputs::CheckNotInput(const std::string& path) const {
  return names_.CheckNotInput(path);
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

std::string RefuseRunFiles(const std::vector<std::pair<std::string, std::string>>& runFiles,
                           const std::vector<std::pair<std::string, std::string>>& outputs,
                           const std::vector<std::string>& inputs) {
  for (size_t i = 0; i < runFiles.size(); ++i) {
    const auto& [name, file] = runFiles[i];
    if (file.empty()) continue;
    if (fs::path(file).extension() == ".tsm")
      return "Error: " + name + " names a result file (" + file + "), which only the analysis writes";
    for (const std::string& input : inputs)
      if (!input.empty() && SameFile(file, input))
        return "Error: " + name + " names the input file " + file + ", which is never overwritten";
    for (size_t j = i + 1; j < runFiles.size(); ++j)
      if (!runFiles[j].second.empty() && SameFile(file, runFiles[j].second))
        return "Error: " + name + " and " + runFiles[j].first + " name the same file " + file;
    for (const auto& [other, path] : outputs)
      if (!path.empty() && SameFile(file, path))
        return "Error: " + name + " and " + other + " name the same file " + file;
  }
  return {};
}

}  // namespace tessmol::cli
