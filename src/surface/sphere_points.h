// Point sets on the unit sphere at which every atom's expanded sphere is sampled.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "base/file_status.h"
#include "base/vec3.h"

namespace tessmol {

using SpherePoint = Vec3;

inline constexpr int kSasaResolutionCount = 7;

// File of resolution option 0 to 6 relative to the program folder ("/Sphere_Points/..."),
// empty for any other option; and the number of points it promises.
std::string SpherePointFile(int resolution);
int SpherePointCount(int resolution);

// Reads a point set: line 1 the number of points N (1 to 1,000,000), then 3N lines x1,
// y1, z1, x2, ... each within +-1000 (an infinity, NaN or overflow is refused).
// A file that cannot be read or is refused gives an empty set, and `status`, when given,
// says why (a format error with its line); missing coordinate lines read as 0.
// `note`, when given, receives "using spherical code file " + path.
std::vector<SpherePoint> ReadSpherePoints(const std::string& path, std::ostream* note = nullptr,
                                          FileStatus* status = nullptr);

}  // namespace tessmol
