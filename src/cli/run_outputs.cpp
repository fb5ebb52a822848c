#include "cli/run_outputs.h"

#include <filesystem>

#include "base/text.h"
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

namespace {

using Named = std::vector<std::pair<std::string, std::string>>;

// The refusal for the first of `files` (option, FILE; an empty FILE is not given) that ends
// in .tsm (the run's result files do), is one of `inputs`, or is named by another of
// `files` or by one of `others`; empty when there is none.
std::string Refusal(const Named& files, const std::vector<std::string>& inputs, const Named& others) {
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& [name, file] = files[i];
    if (file.empty()) continue;
    // A table or picture of a result's name would replace the result just written, and its
    // row would point at something else.
    if (EndsWithAnyCase(file, ".tsm"))
      return "Error: " + name + " names a result file (" + file + "), which only the analysis writes";
    for (const std::string& input : inputs)
      if (!input.empty() && SameFile(file, input))
        return "Error: " + name + " names the input file " + file + ", which is never overwritten";
    for (size_t j = i + 1; j < files.size(); ++j)
      if (!files[j].second.empty() && SameFile(file, files[j].second))
        return "Error: " + name + " and " + files[j].first + " name the same file " + file;
    for (const auto& [other, path] : others)
      if (!path.empty() && SameFile(file, path))
        return "Error: " + name + " and " + other + " name the same file " + file;
  }
  return {};
}

}  // namespace

std::string RefuseOutputOptions(const Named& options, const std::vector<std::string>& inputs) {
  // With several inputs each structure's file is named after it (PathFor), and checked then.
  return Refusal(options, inputs.size() == 1 ? inputs : std::vector<std::string>{}, {});
}

std::string RefuseRunFiles(const Named& runFiles, const Named& outputs,
                           const std::vector<std::string>& inputs) {
  return Refusal(runFiles, inputs, outputs);
}

}  // namespace tessmol::cli
