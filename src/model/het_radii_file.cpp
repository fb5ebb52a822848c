#include "model/het_radii_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/text.h"

namespace tessmol {

void LoadHetAtomRadii(const std::string& path, HetAtomRadii& table, Feedback& feedback) {
  table.Clear();
  std::ifstream in;
  if (!OpenForReading(in, path)) {
    feedback.ShowMessage("Error: Could not find file " + path +
                         "  Heteroatoms will not be processed correctly");
    return;
  }
  std::string line;
  while (ReadLine(in, line)) {
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2) continue;
    const double radius = ParseReal(fields[1]);
    // Comment lines and negative radii are no entries: their keys never match a
    // two-character atom name field anyway, or would give a sphere of no meaning.
    if (radius < 0.0) continue;
    table.Set(fields[0], static_cast<float>(radius));
  }
}

}  // namespace tessmol
