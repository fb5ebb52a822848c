#include "surface/sphere_points.h"

#include <filesystem>
#include <fstream>
#include <ostream>

#include "base/text.h"

namespace tessmol {

namespace {
constexpr std::array<int, kSasaResolutionCount> kCounts = {92, 162, 252, 392, 482, 1002, 2562};
// A point set larger than this is no point set but a damaged file; refuse to allocate it.
constexpr int kMaxPoints = 1000000;
}  // namespace

std::string SpherePointFile(int resolution) {
  if (resolution < 0 || resolution >= kSasaResolutionCount) return {};
  return "/Sphere_Points/maxvol.3." + std::to_string(kCounts[resolution]) + ".txt";
}

int SpherePointCount(int resolution) {
  if (resolution < 0 || resolution >= kSasaResolutionCount) return 0;
  return kCounts[resolution];
}

std::vector<SpherePoint> ReadSpherePoints(const std::string& path, std::ostream* note) {
  if (note != nullptr) *note << "using spherical code file " << path << '\n';
  std::vector<SpherePoint> points;
  std::ifstream in;
  if (!OpenForReading(in, path)) return points;
  std::string line;
  if (!ReadLine(in, line)) return points;
  const int32_t count = ParseInt(line);
  if (count <= 0 || count > kMaxPoints) return points;
  points.resize(static_cast<size_t>(count));
  for (SpherePoint& p : points) {
    for (float& v : p) {
      v = ReadLine(in, line) ? ParseFloat(line) : 0.0f;
    }
  }
  return points;
}

}  // namespace tessmol
