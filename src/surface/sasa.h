// Solvent accessible surface area by sampling points on every atom's expanded sphere
// (van der Waals radius plus a 1.4 angstrom probe) and testing them against the spheres
// of the atom's neighbours, nearest first. The same test counts the points that touch
// another residue or the solvent, and how many of those touch a polar atom or solvent:
// the residue's fraction polar.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/feedback.h"
#include "model/protein.h"
#include "surface/sphere_points.h"

namespace tessmol {

inline constexpr const char* kCalculatingSasa = "Calculating solvent accessible surface area...";

struct SasaSettings {
  int threads = 0;               // 0: one per core
  std::ostream* log = nullptr;   // the log file; nothing is logged when null
  std::ostream* note = nullptr;  // receives the name of the point file read
  bool wideVectors = true;       // eight lanes (AVX2) when the processor has them
};

struct PointPatches;

// A point set grouped into the pass's patches, made once and used for any number of
// structures: a run of many small models (one per FASTA record) would otherwise read the
// point file and group its points again for each. Copies share the patches.
class SurfacePoints {
 public:
  SurfacePoints() = default;
  explicit SurfacePoints(const std::vector<SpherePoint>& points);
  bool empty() const { return patches_ == nullptr; }
  const PointPatches& patches() const { return *patches_; }

 private:
  std::shared_ptr<const PointPatches> patches_;
};

// The point set of `resolution` (0 to 6) read from `programFolder` and grouped; empty,
// with the message CalculateSASA gives, when there is none to read.
SurfacePoints ReadSurfacePoints(int resolution, const std::string& programFolder, Feedback& feedback,
                                std::ostream* note = nullptr);

// The pass on `structure` with the neighbour grid made from it and a point set in hand
// (not empty): every atom's area and point counts, every residue's areas, contacts and
// fractions polar, and the total.
// Every atom's result depends only on the input, so any number of threads gives
// bit-identical areas and counts.
SurfaceResult CalculateSASA(const Structure& structure, const NeighbourGrid& grid,
                            const SurfacePoints& points, Feedback& feedback,
                            const SasaSettings& settings = {});

// The pass on a protein, on the neighbour grid of Protein::Load (made here when Load did
// not run; the caller lets it go once the pass has used it). nullopt, with a message, when
// the point set is empty: no area can be measured with no points.
std::optional<SurfaceResult> CalculateSASA(const Protein& protein, const SurfacePoints& points,
                                           Feedback& feedback, const SasaSettings& settings = {});
std::optional<SurfaceResult> CalculateSASA(const Protein& protein, const std::vector<SpherePoint>& points,
                                           Feedback& feedback, const SasaSettings& settings = {});
// The same with the point set of `resolution` (0 to 6) read from `programFolder`.
std::optional<SurfaceResult> CalculateSASA(const Protein& protein, int resolution,
                                           const std::string& programFolder, Feedback& feedback,
                                           const SasaSettings& settings = {});

}  // namespace tessmol
