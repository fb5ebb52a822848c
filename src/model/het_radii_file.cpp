#include "model/het_radii_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/text.h"

namespace tessmol {

FileStatus LoadHetAtomRadii(const std::string& path, HetAtomRadii& table, Feedback& feedback) {
  table.Clear();
  std::ifstream in;
  if (!OpenForReading(in, path)) {
    feedback.ShowMessage("Error: Could not find file " + path +
                         "  Heteroatoms will not be processed correctly");
    return ReadFailure(path);
  }
  HetAtomRadii loaded;
  int lineNumber = 0;
  std::string line;
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2) continue;
    const std::optional<double> radius = ParseFiniteReal(fields[1]);
    // Comment lines and negative radii are no entries: their keys never match a
    // two-character atom name field anyway, or would give a sphere of no meaning.
    if (radius && *radius < 0.0) continue;
    // A field without a number reads as 0, as it always has: an entry of radius 0.
    if (!radius || (*radius != 0.0 && (*radius < kMinHetRadius || *radius > kMaxHetRadius))) {
      const FileStatus refused =
          FileStatus::Format(path, lineNumber, "the radius is not a number from 0.5 to 5 angstrom");
      feedback.ShowMessage(refused.Describe() + "  Heteroatoms will not be processed correctly");
      return refused;
    }
    loaded.Set(fields[0], static_cast<float>(*radius));
  }
  if (ReadFailed(in)) {
    feedback.ShowMessage("Error: Could not read file " + path +
                         "  Heteroatoms will not be processed correctly");
    return FileStatus::Unreadable(path, "read error on line " + std::to_string(lineNumber + 1));
  }
  table = std::move(loaded);
  return FileStatus::Ok(path);
}

}  // namespace tessmol
