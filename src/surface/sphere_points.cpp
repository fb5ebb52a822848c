#include "surface/sphere_points.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

#include "base/text.h"

namespace tessmol {

namespace {
constexpr std::array<int, kSasaResolutionCount> kCounts = {92, 162, 252, 392, 482, 1002, 2562};
// A point set larger than this is no point set but a damaged file; refuse to allocate it.
constexpr int kMaxPoints = 1000000;
// Points lie on the unit sphere; a file may hold others (they are sampled, to no use), but
// none so far out that a radius times it, squared, leaves float range.
constexpr double kMaxPointCoordinate = 1000.0;
}  // namespace

std::string SpherePointFile(int resolution) {
  if (resolution < 0 || resolution >= kSasaResolutionCount) return {};
  return "/Sphere_Points/maxvol.3." + std::to_string(kCounts[resolution]) + ".txt";
}

int SpherePointCount(int resolution) {
  if (resolution < 0 || resolution >= kSasaResolutionCount) return 0;
  return kCounts[resolution];
}

std::vector<SpherePoint> ReadSpherePoints(const std::string& path, std::ostream* note, FileStatus* status) {
  if (note != nullptr) *note << "using spherical code file " << path << '\n';
  FileStatus ignored;
  FileStatus& result = status != nullptr ? *status : ignored;
  std::vector<SpherePoint> points;
  std::ifstream in;
  if (!OpenForReading(in, path)) {
    result = ReadFailure(path);
    return points;
  }
  std::string line;
  const int32_t count = ReadLine(in, line) ? ParseInt(line) : 0;
  if (count <= 0 || count > kMaxPoints) {
    result = FileStatus::Format(path, 1, "the point count is not a whole number from 1 to 1000000");
    return points;
  }
  points.resize(static_cast<size_t>(count));
  int lineNumber = 1;
  for (SpherePoint& p : points) {
    for (size_t axis = 0; axis < 3; ++axis) {
      float& v = p[axis];
      if (!ReadLine(in, line)) {
        v = 0.0f;
        continue;
      }
      ++lineNumber;
      const std::optional<double> value = ParseFiniteReal(line);
      if (!value || std::fabs(*value) > kMaxPointCoordinate) {
        result = FileStatus::Format(path, lineNumber, "the coordinate is not a number from -1000 to 1000");
        return {};
      }
      v = static_cast<float>(*value);
    }
  }
  result = FileStatus::Ok(path);
  return points;
}

}  // namespace tessmol
