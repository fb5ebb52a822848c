#include "surface/sasa.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

#include "base/parallel.h"
#include "base/vec3.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tessmol {

struct PointPatches {
  std::vector<float> cx, cy, cz;          // centre directions
  std::vector<float> cosReach, sinReach;  // of the cone's half-angle plus margin
  std::vector<float> x, y, z;             // kLanes per patch; NaN where no point is
  std::vector<uint32_t> full;             // lanes that hold a point
  size_t points = 0;
};

namespace {

// The neighbours of one atom: centre relative to the atom, squared radius, and what a
// point covered by this neighbour counts as.
struct NeighbourBuffer {
  std::vector<float> x, y, z, r2;
  std::vector<uint8_t> contact, polar;
  size_t count = 0;

  void Fill(const Structure& s, const Atom& atom, const std::vector<Neighbour>& neighbours) {
    count = neighbours.size();
    x.resize(count);
    y.resize(count);
    z.resize(count);
    r2.resize(count);
    contact.resize(count);
    polar.resize(count);
    for (size_t k = 0; k < count; ++k) {
      const Atom& b = s.AtomAt(neighbours[k].second);
      x[k] = b.x - atom.x;
      y[k] = b.y - atom.y;
      z[k] = b.z - atom.z;
      r2[k] = b.radius * b.radius;
      // Contacts with atoms of the same residue number count neither as contact nor polar.
      const bool otherResidue = b.resSeq != atom.resSeq;
      contact[k] = otherResidue ? 1 : 0;
      polar[k] = otherResidue && b.polar ? 1 : 0;
    }
  }
};

// The sphere points in patches of at most 32 neighbouring points, each patch a cone
// around its centre direction. A neighbour covers a cap of the atom's sphere; only the
// patches whose cones meet that cap (with a margin far above rounding) are tested, and
// each of their points is tested exactly as it would be alone: d2 = (r px - x)^2 +
// (r py - y)^2 + (r pz - z)^2 against the neighbour's squared radius, in that order.
// On 1AON at 1002 points, one thread, the pass takes 0.125 s of user time against 1.30 s
// for the same neighbour lists tested one point at a time, and 0.184 s with four-lane
// instead of eight-lane (AVX2) tests (bench/kernels.sh, best of 5). SasaPass tests hold
// the pass to one point at a time (EqualsTheTestOfOnePointAtATime) and to itself at any
// thread count and vector width, bit for bit.
constexpr size_t kLanes = 32;
constexpr double kConeMargin = 0.01;  // radians
constexpr double kUnitTolerance = 1e-5;

// `wanted` centre directions on a golden-section spiral, evenly over the sphere.
std::vector<Vec3d> SpiralCentres(size_t wanted) {
  std::vector<Vec3d> centres(wanted);
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (size_t i = 0; i < wanted; ++i) {
    const double z = 1.0 - (2.0 * static_cast<double>(i) + 1.0) / static_cast<double>(wanted);
    const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
    centres[i] = {r * std::cos(golden * static_cast<double>(i)),
                  r * std::sin(golden * static_cast<double>(i)), z};
  }
  return centres;
}

// The points grouped by their nearest centre, one group per centre; empty when a group
// would hold more than a patch's lanes. Points off the unit sphere (an edited point file)
// are no points of a cap: they follow in groups of their own that every neighbour tests.
std::vector<std::vector<size_t>> GroupPoints(const std::vector<SpherePoint>& points,
                                             const std::vector<double>& lengths,
                                             const std::vector<Vec3d>& centres) {
  std::vector<std::vector<size_t>> members(centres.size());
  std::vector<size_t> offSphere;
  for (size_t p = 0; p < points.size(); ++p) {
    if (!(std::abs(lengths[p] - 1.0) <= kUnitTolerance)) {
      offSphere.push_back(p);
      continue;
    }
    size_t best = 0;
    double bestDot = -2.0;
    for (size_t c = 0; c < centres.size(); ++c) {
      const double dot =
          centres[c][0] * points[p][0] + centres[c][1] * points[p][1] + centres[c][2] * points[p][2];
      if (dot > bestDot) {
        bestDot = dot;
        best = c;
      }
    }
    members[best].push_back(p);
  }
  if (std::any_of(members.begin(), members.end(), [](const auto& m) { return m.size() > kLanes; })) return {};
  for (size_t first = 0; first < offSphere.size(); first += kLanes) {
    members.emplace_back(
        offSphere.begin() + static_cast<std::ptrdiff_t>(first),
        offSphere.begin() + static_cast<std::ptrdiff_t>(std::min(first + kLanes, offSphere.size())));
  }
  return members;
}

// Appends one patch: the cone around the members' mean direction out to the farthest
// member (the whole sphere for points off it), and the members in its lanes.
void AddPatch(PointPatches& patches, const std::vector<SpherePoint>& points,
              const std::vector<double>& lengths, const std::vector<size_t>& m, bool onSphere) {
  Vec3d centre{0.0, 0.0, 0.0};
  for (size_t p : m) {
    for (size_t k = 0; k < 3; ++k) centre[k] += points[p][k];
  }
  const double norm = std::sqrt(centre[0] * centre[0] + centre[1] * centre[1] + centre[2] * centre[2]);
  for (size_t k = 0; k < 3; ++k) centre[k] = norm > 0.0 ? centre[k] / norm : 0.0;
  double widest = norm > 0.0 && onSphere ? 0.0 : M_PI;
  for (size_t p : m) {
    const double length = lengths[p];
    const double dot =
        length > 0.0
            ? (centre[0] * points[p][0] + centre[1] * points[p][1] + centre[2] * points[p][2]) / length
            : -1.0;
    widest = std::max(widest, std::acos(std::clamp(dot, -1.0, 1.0)));
  }
  const double reach = std::min(M_PI, widest + kConeMargin);
  patches.cx.push_back(static_cast<float>(centre[0]));
  patches.cy.push_back(static_cast<float>(centre[1]));
  patches.cz.push_back(static_cast<float>(centre[2]));
  patches.cosReach.push_back(static_cast<float>(std::cos(reach)));
  patches.sinReach.push_back(static_cast<float>(std::sin(reach)));
  const float none = std::numeric_limits<float>::quiet_NaN();
  uint32_t full = 0;
  for (size_t lane = 0; lane < kLanes; ++lane) {
    const bool used = lane < m.size();
    patches.x.push_back(used ? points[m[lane]][0] : none);
    patches.y.push_back(used ? points[m[lane]][1] : none);
    patches.z.push_back(used ? points[m[lane]][2] : none);
    if (used) full |= 1u << lane;
  }
  patches.full.push_back(full);
}

PointPatches MakePatches(const std::vector<SpherePoint>& points) {
  PointPatches patches;
  patches.points = points.size();
  std::vector<double> lengths;
  for (const SpherePoint& p : points)
    lengths.push_back(std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]));
  // About 28 points a centre; more centres while any patch would hold more than 32 points.
  std::vector<std::vector<size_t>> members;
  size_t wanted = std::max<size_t>(1, (points.size() + 27) / 28);
  while ((members = GroupPoints(points, lengths, SpiralCentres(wanted))).empty()) wanted += wanted / 4 + 1;
  for (size_t g = 0; g < members.size(); ++g) {
    if (!members[g].empty()) AddPatch(patches, points, lengths, members[g], g < wanted);
  }
  // Whole blocks of eight patches; the padding holds no point.
  while (patches.full.size() % 8 != 0) {
    patches.cx.push_back(0.0f);
    patches.cy.push_back(0.0f);
    patches.cz.push_back(0.0f);
    patches.cosReach.push_back(-1.0f);
    patches.sinReach.push_back(0.0f);
    patches.full.push_back(0u);
  }
  return patches;
}

// The lanes of patch q whose points, on a sphere of radius r, lie strictly inside the
// sphere of squared radius r2 centred at (nx, ny, nz).
inline uint32_t CoverMask(const PointPatches& patches, size_t q, float r, float nx, float ny, float nz,
                          float r2) {
  const size_t at = q * kLanes;
#if defined(__SSE2__)
  const __m128 vr = _mm_set1_ps(r), vx = _mm_set1_ps(nx), vy = _mm_set1_ps(ny), vz = _mm_set1_ps(nz);
  const __m128 vr2 = _mm_set1_ps(r2);
  uint32_t mask = 0;
  for (size_t k = 0; k < kLanes; k += 4) {
    const __m128 dx = _mm_sub_ps(_mm_mul_ps(vr, _mm_loadu_ps(patches.x.data() + at + k)), vx);
    const __m128 dy = _mm_sub_ps(_mm_mul_ps(vr, _mm_loadu_ps(patches.y.data() + at + k)), vy);
    const __m128 dz = _mm_sub_ps(_mm_mul_ps(vr, _mm_loadu_ps(patches.z.data() + at + k)), vz);
    const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    mask |= static_cast<uint32_t>(_mm_movemask_ps(_mm_cmplt_ps(d2, vr2))) << k;
  }
  return mask;
#else
  uint32_t mask = 0;
  for (size_t k = 0; k < kLanes; ++k) {
    const float dx = r * patches.x[at + k] - nx, dy = r * patches.y[at + k] - ny,
                dz = r * patches.z[at + k] - nz;
    if (dx * dx + dy * dy + dz * dz < r2) mask |= 1u << k;
  }
  return mask;
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSMOL_AVX2 1
__attribute__((target("avx2"))) inline uint32_t CoverMaskWide(const PointPatches& patches, size_t q, float r,
                                                              float nx, float ny, float nz, float r2) {
  const size_t at = q * kLanes;
  const __m256 vr = _mm256_set1_ps(r), vx = _mm256_set1_ps(nx), vy = _mm256_set1_ps(ny),
               vz = _mm256_set1_ps(nz);
  const __m256 vr2 = _mm256_set1_ps(r2);
  uint32_t mask = 0;
  for (size_t k = 0; k < kLanes; k += 8) {
    const __m256 dx = _mm256_sub_ps(_mm256_mul_ps(vr, _mm256_loadu_ps(patches.x.data() + at + k)), vx);
    const __m256 dy = _mm256_sub_ps(_mm256_mul_ps(vr, _mm256_loadu_ps(patches.y.data() + at + k)), vy);
    const __m256 dz = _mm256_sub_ps(_mm256_mul_ps(vr, _mm256_loadu_ps(patches.z.data() + at + k)), vz);
    const __m256 d2 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    mask |= static_cast<uint32_t>(_mm256_movemask_ps(_mm256_cmp_ps(d2, vr2, _CMP_LT_OQ))) << k;
  }
  return mask;
}
#endif

struct PointCounts {
  uint32_t buried = 0, contact = 0, polar = 0;
};

struct PatchState {
  std::vector<uint32_t> done;  // per patch, the points covered so far
};

// Of the eight patches from `block` on, those with points still open whose cones meet
// the cap a neighbour at (nx, ny, nz), `d` away, covers: its half-angle has cosine c and
// sine s. The cone meets the cap unless the angle between their axes exceeds the sum of
// their half-angles; a sum past pi always meets it, and so does a neighbour at the centre.
inline uint32_t Candidates(const PointPatches& patches, const PatchState& state, size_t block, float nx,
                           float ny, float nz, float d, float c, float s) {
  uint32_t mask = 0;
  for (size_t i = 0; i < 8; ++i) {
    const size_t q = block + i;
    if (state.done[q] == patches.full[q]) continue;
    const float along = patches.cx[q] * nx + patches.cy[q] * ny + patches.cz[q] * nz;
    if (d > 0.0f && c > -patches.cosReach[q] &&
        along < d * (c * patches.cosReach[q] - s * patches.sinReach[q]))
      continue;
    mask |= 1u << i;
  }
  return mask;
}

#if defined(TESSMOL_AVX2)
__attribute__((target("avx2"))) inline uint32_t CandidatesWide(const PointPatches& patches,
                                                               const PatchState& state, size_t block,
                                                               float nx, float ny, float nz, float d, float c,
                                                               float s) {
  if (d == 0.0f) return Candidates(patches, state, block, nx, ny, nz, d, c, s);
  const __m256 cosR = _mm256_loadu_ps(patches.cosReach.data() + block);
  const __m256 sinR = _mm256_loadu_ps(patches.sinReach.data() + block);
  const __m256 along = _mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(patches.cx.data() + block), _mm256_set1_ps(nx)),
                    _mm256_mul_ps(_mm256_loadu_ps(patches.cy.data() + block), _mm256_set1_ps(ny))),
      _mm256_mul_ps(_mm256_loadu_ps(patches.cz.data() + block), _mm256_set1_ps(nz)));
  const __m256 limit = _mm256_mul_ps(
      _mm256_set1_ps(d),
      _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(c), cosR), _mm256_mul_ps(_mm256_set1_ps(s), sinR)));
  const __m256 meets =
      _mm256_or_ps(_mm256_cmp_ps(along, limit, _CMP_GE_OQ),
                   _mm256_cmp_ps(_mm256_set1_ps(c), _mm256_sub_ps(_mm256_setzero_ps(), cosR), _CMP_LE_OQ));
  const __m256i done = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state.done.data() + block));
  const __m256i full = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(patches.full.data() + block));
  const auto finished =
      static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(done, full))));
  return static_cast<uint32_t>(_mm256_movemask_ps(meets)) & ~finished & 0xffu;
}
#endif

using CoverFn = uint32_t (*)(const PointPatches&, size_t, float, float, float, float, float);
using CandidatesFn = uint32_t (*)(const PointPatches&, const PatchState&, size_t, float, float, float, float,
                                  float, float);

// Neighbours in list order: each point counts for the first neighbour that covers it
// (the nearest covering one decides what it touches); a point none covers is open to the
// solvent, a contact and a polar one.
// Always inlined into its two callers, so that inside the AVX2 one the eight-lane tests
// are inlined too (a call across the target boundary cannot be). With the tests as
// template arguments the compiler sees each call's target. Against the macro this replaced,
// 1AON at 1002 points on one thread took 0.17-0.19 s of user time against 0.19-0.20 s, with
// identical result files (five runs each, alternating).
template <CoverFn cover, CandidatesFn candidates>
[[gnu::always_inline]] inline PointCounts CountPointsWith(const NeighbourBuffer& nb, float r,
                                                          const PointPatches& patches, PatchState& state) {
  PointCounts counts;
  state.done.assign(patches.full.size(), 0u);
  size_t open = patches.points;
  for (size_t k = 0; k < nb.count && open > 0; ++k) {
    // The covered cap's half-angle, by the law of cosines on the two radii and the distance
    // (in single precision: the cones' margin is far wider than its rounding).
    const float d2 = nb.x[k] * nb.x[k] + nb.y[k] * nb.y[k] + nb.z[k] * nb.z[k];
    const float dk = std::sqrt(d2);
    const float cosCap =
        dk > 0.0f ? (r * r + d2 - nb.r2[k]) / (2.0f * r * dk) : (nb.r2[k] > r * r ? -1.0f : 1.0f);
    const float c = std::clamp(cosCap, -1.0f, 1.0f);
    const float sinCap = std::sqrt(1.0f - c * c);
    for (size_t block = 0; block < patches.full.size(); block += 8) {
      for (uint32_t m = candidates(patches, state, block, nb.x[k], nb.y[k], nb.z[k], dk, c, sinCap); m != 0;
           m &= m - 1) {
        const size_t q = block + static_cast<size_t>(__builtin_ctz(m));
        const uint32_t fresh =
            cover(patches, q, r, nb.x[k], nb.y[k], nb.z[k], nb.r2[k]) & ~state.done[q] & patches.full[q];
        if (fresh == 0) continue;
        state.done[q] |= fresh;
        const auto n = static_cast<uint32_t>(__builtin_popcount(fresh));
        open -= n;
        counts.buried += n;
        counts.contact += nb.contact[k] * n;
        counts.polar += nb.polar[k] * n;
      }
    }
  }
  counts.contact += static_cast<uint32_t>(open);
  counts.polar += static_cast<uint32_t>(open);
  return counts;
}

PointCounts CountPoints(const NeighbourBuffer& nb, float r, const PointPatches& patches, PatchState& state) {
  return CountPointsWith<CoverMask, Candidates>(nb, r, patches, state);
}

#if defined(TESSMOL_AVX2)
__attribute__((target("avx2"))) PointCounts CountPointsWide(const NeighbourBuffer& nb, float r,
                                                            const PointPatches& patches, PatchState& state) {
  return CountPointsWith<CoverMaskWide, CandidatesWide>(nb, r, patches, state);
}
#endif

constexpr size_t kAtomsForThreads = 1000;

struct PassScratch {
  NeighbourScratch neighbours;
  NeighbourBuffer buffer;
  PatchState patches;
};

bool UseWideVectors(const SasaSettings& settings) {
#if defined(TESSMOL_AVX2)
  return settings.wideVectors && WideVectorsAvailable();
#else
  (void)settings;
  return false;
#endif
}

// What the pass finds for one atom goes to the result's own record: other threads read the
// structure's atoms (as neighbours), never these.
void SampleAtom(const Atom& atom, const PointPatches& patches, PassScratch& scratch, bool wide,
                AtomSurface& result) {
  const float r = atom.radius;
#if defined(TESSMOL_AVX2)
  const PointCounts counts = wide ? CountPointsWide(scratch.buffer, r, patches, scratch.patches)
                                  : CountPoints(scratch.buffer, r, patches, scratch.patches);
#else
  (void)wide;
  const PointCounts counts = CountPoints(scratch.buffer, r, patches, scratch.patches);
#endif
  const float count = static_cast<float>(patches.points);
  result.sasa = ((count - static_cast<float>(counts.buried)) / count) * atom.sphereArea;
  result.contactPoints = counts.contact;
  result.polarPoints = counts.polar;
}

// Residue areas and counts from the atoms' (CA with the side chain), the burial values
// from the type's reference side area, and the total.
void SumResidues(const Structure& s, SurfaceResult& result, std::ostream* log) {
  result.totalSASA = 0.0f;
  result.residues.assign(s.residues.size(), ResidueSurface{});
  const std::vector<AtomSurface>& atoms = result.atoms;
  for (size_t k = 0; k < s.residues.size(); ++k) {
    const Residue& r = s.residues[k];
    ResidueSurface& out = result.residues[k];
    if (r.HasMainChain()) {
      out.mainSASA = atoms[r.cIndex].sasa + atoms[r.oIndex].sasa + atoms[r.nIndex].sasa;
      // CA belongs to the side chain for areas and contacts: a glycine has a side area.
      out.sideSASA = atoms[r.caIndex].sasa;
      out.contactPoints = static_cast<int32_t>(atoms[r.caIndex].contactPoints);
      out.polarPoints = static_cast<int32_t>(atoms[r.caIndex].polarPoints);
    } else {
      if (log) {
        *log << "Warning!! - residue " << r.name << r.resSeq
             << " missing main chain atoms. Scores may be incorrect\n";
      }
      out.contactPoints = 1;
      out.polarPoints = 1;
    }
    for (int32_t index : r.sideChain) {
      const AtomSurface& a = atoms[index];
      out.sideSASA += a.sasa;
      out.contactPoints += static_cast<int32_t>(a.contactPoints);
      out.polarPoints += static_cast<int32_t>(a.polarPoints);
    }
    if (r.type < 0 || r.type >= kResidueTypeCount) {
      if (log)
        *log << "Warning!! Unknown residue type, residue: " << r.resSeq << " chain: " << r.chainId << '\n';
    } else {
      const float reference = kReferenceSideArea[r.type];
      out.areaBuried = reference - out.sideSASA;
      // A side chain wholly covered by its own residue touches nothing: call it apolar.
      out.fractionPolar = out.contactPoints == 0
                              ? 0.0f
                              : static_cast<float>(out.polarPoints) / static_cast<float>(out.contactPoints);
      out.kavelinFP = out.fractionPolar - out.sideSASA / reference;
    }
    result.totalSASA += out.mainSASA;
    result.totalSASA += out.sideSASA;
  }
}

}  // namespace

SurfacePoints::SurfacePoints(const std::vector<SpherePoint>& points)
    : patches_(points.empty() ? nullptr : std::make_shared<const PointPatches>(MakePatches(points))) {}

SurfacePoints ReadSurfacePoints(int resolution, const std::string& programFolder, Feedback& feedback,
                                std::ostream* note) {
  const std::string file = SpherePointFile(resolution);
  const std::string path = programFolder + file;
  FileStatus status;
  const std::vector<SpherePoint> points =
      file.empty() ? std::vector<SpherePoint>{} : ReadSpherePoints(path, note, &status);
  if (points.empty()) {
    feedback.ShowMessage(
        file.empty() ? "Error: There is no sphere point set for resolution " + std::to_string(resolution) +
                           ". Surface areas were not calculated."
        : status.problem == FileProblem::kFormat
            ? status.Describe() + ". Surface areas were not calculated."
            : "Error: Could not read sphere points from " + path + ". Surface areas were not calculated.");
    return {};
  }
  return SurfacePoints(points);
}

std::optional<SurfaceResult> CalculateSASA(const Protein& protein, int resolution,
                                           const std::string& programFolder, Feedback& feedback,
                                           const SasaSettings& settings) {
  const SurfacePoints points = ReadSurfacePoints(resolution, programFolder, feedback, settings.note);
  if (points.empty()) return std::nullopt;
  return CalculateSASA(protein, points, feedback, settings);
}

std::optional<SurfaceResult> CalculateSASA(const Protein& protein, const std::vector<SpherePoint>& points,
                                           Feedback& feedback, const SasaSettings& settings) {
  if (points.empty()) {
    feedback.ShowMessage("Error: The sphere point set is empty. Surface areas were not calculated.");
    return std::nullopt;
  }
  return CalculateSASA(protein, SurfacePoints(points), feedback, settings);
}

std::optional<SurfaceResult> CalculateSASA(const Protein& protein, const SurfacePoints& points,
                                           Feedback& feedback, const SasaSettings& settings) {
  if (settings.log) *settings.log << "Creating structure " << protein.fileName << "...\n";
  std::shared_ptr<const NeighbourGrid> grid = protein.neighbourGrid;
  if (!grid) grid = std::make_shared<const NeighbourGrid>(protein.structure, !protein.ignoreHeteroAtoms);
  return CalculateSASA(protein.structure, *grid, points, feedback, settings);
}

SurfaceResult CalculateSASA(const Structure& s, const NeighbourGrid& grid, const SurfacePoints& points,
                            Feedback& feedback, const SasaSettings& settings) {
  feedback.BeginProgress(kCalculatingSasa);
  // Each atom's neighbours are found from the grid as the atom is sampled, cell by cell.
  const bool wide = UseWideVectors(settings);
  const PointPatches& patches = points.patches();
  // A small structure's pass takes less time than starting threads for it (a 50-residue
  // helix model, about 400 atoms: 1 ms): it runs on the calling thread alone.
  const int threads = s.atoms.size() < kAtomsForThreads ? 1 : settings.threads;
  SurfaceResult surface;
  surface.atoms.resize(s.atoms.size());
  ParallelChunks<PassScratch>(
      grid.CellCount(), 4, threads, feedback, [&](size_t begin, size_t end, PassScratch& scratch) {
        scratch.neighbours.wideVectors = wide;
        for (size_t c = begin; c < end; ++c) {
          grid.ForEachAtom(c, scratch.neighbours, [&](AtomRef ref, const std::vector<Neighbour>& found) {
            if (ref.hetero()) return;
            const Atom& atom = s.atoms[ref.index()];
            scratch.buffer.Fill(s, atom, found);
            SampleAtom(atom, patches, scratch, wide, surface.atoms[ref.index()]);
          });
        }
      });
  SumResidues(s, surface, settings.log);
  feedback.EndProgress();
  return surface;
}

}  // namespace tessmol
