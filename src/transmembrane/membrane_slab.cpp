#include "transmembrane/membrane_slab.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

#include "base/parallel.h"
#include "transmembrane/geometry.h"
#include "transmembrane/symmetry.h"

namespace tessmol {

// Wimley, Creamer & White (1996) Biochemistry 35:5109, whole residues in a host peptide,
// water to octanol.
const std::array<float, kResidueTypeCount> kOctanolTransfer = {
    -2.09f, -1.71f, -0.71f, -1.25f, -1.12f, -0.46f, -0.67f, 0.50f, 1.15f, 0.14f,
    -0.02f, 0.25f,  0.46f,  0.77f,  0.85f,  3.63f,  3.64f,  0.11f, 2.80f, 1.81f};

// Tien, Meyer, Sydykova, Spielman & Wilke (2013) PLoS ONE 8:e80635, theoretical maxima.
const std::array<float, kResidueTypeCount> kMaxResidueArea = {
    285.0f, 240.0f, 263.0f, 201.0f, 197.0f, 174.0f, 224.0f, 129.0f, 104.0f, 159.0f,
    167.0f, 172.0f, 155.0f, 225.0f, 195.0f, 223.0f, 193.0f, 224.0f, 236.0f, 274.0f};

namespace {

struct Exposed {
  std::vector<Vec3> positions;  // from the centroid, so that nothing depends on the frame
  std::vector<float> gains;     // free energy gained when the atom lies in the bilayer
  std::vector<float> shares;    // the share of its residue's largest area that it exposes
  Vec3 centroid;
  // Two directions fixed in the protein (to its farthest exposed atoms) that set where
  // the rim's angular sectors start, whatever the frame the file uses.
  Vec3 reference, reference2;
};

// Which residues take part: those of the chosen chains, without the residues of a
// predicted model whose confidence is below the cut-off (their place is a guess).
using Selection = std::vector<char>;

Selection SelectResidues(const Structure& s, const std::vector<int32_t>& chains, float minConfidence,
                         int32_t* lowConfidence = nullptr) {
  Selection use(s.residues.size(), chains.empty() ? 1 : 0);
  for (int32_t c : chains) {
    const Chain& chain = s.chains[static_cast<size_t>(c)];
    for (int32_t r = chain.firstResidue; r >= 0 && r <= chain.lastResidue; ++r) use[r] = 1;
  }
  int32_t low = 0;
  if (s.confidence.size() == s.residues.size()) {
    for (size_t r = 0; r < use.size(); ++r) {
      if (use[r] && s.confidence[r] < minConfidence) use[r] = 0, ++low;
    }
  }
  if (lowConfidence != nullptr) *lowConfidence = low;
  return use;
}

Exposed ExposedAtoms(const Structure& s, const SurfaceResult& surface, const Selection& use) {
  Exposed e;
  double sx = 0, sy = 0, sz = 0;
  for (size_t k = 0; k < s.residues.size(); ++k) {
    const Residue& r = s.residues[k];
    if (!use[k] || r.type < 0 || r.type >= kResidueTypeCount) continue;
    const float perArea = -kOctanolTransfer[r.type] / kMaxResidueArea[r.type];
    auto add = [&](int32_t index) {
      if (index < 0) return;
      const Atom& a = s.atoms[index];
      const float sasa = surface.atoms[index].sasa;
      if (sasa <= 0.0f) return;
      e.positions.push_back({a.x, a.y, a.z});
      e.gains.push_back(perArea * sasa);
      e.shares.push_back(sasa / kMaxResidueArea[r.type]);
      sx += a.x;
      sy += a.y;
      sz += a.z;
    };
    for (int32_t index : {r.nIndex, r.caIndex, r.cIndex, r.oIndex}) add(index);
    for (int32_t index : r.sideChain) add(index);
  }
  if (!e.positions.empty()) {
    const double n = static_cast<double>(e.positions.size());
    e.centroid = {static_cast<float>(sx / n), static_cast<float>(sy / n), static_cast<float>(sz / n)};
    float far = -1.0f, far2 = -1.0f;
    for (Vec3& v : e.positions) {
      v = v - e.centroid;
      if (v.LengthSquared() > far) far = v.LengthSquared(), e.reference = v;
    }
    const Vec3 axis = e.reference.Normalised();
    for (const Vec3& v : e.positions) {
      const Vec3 off = v - axis * v.Dot(axis);
      if (off.LengthSquared() > far2) far2 = off.LengthSquared(), e.reference2 = off;
    }
  }
  return e;
}

struct SlabFit {
  double score = -1e30;
  float centre = 0.0f;  // along the normal, from the origin of the coordinates
  float halfThickness = 0.0f;
};

struct Scratch {
  std::vector<double> gain, share, profile, prefix, sliceCentre;
  std::vector<float> depth, x, y, rimRadius;
  std::vector<int> cell;
};

constexpr int kSectors = 32;

// Depth along the normal and position (x, y) across it of every exposed atom; the range
// of depths in lo and hi.
void ProjectAtoms(const Vec3& normal, const Exposed& e, Scratch& scratch, float& lo, float& hi) {
  const size_t n = e.positions.size();
  Vec3 u = e.reference - normal * e.reference.Dot(normal);
  if (u.LengthSquared() < 0.1f * e.reference.LengthSquared())
    u = e.reference2 - normal * e.reference2.Dot(normal);
  u.Normalise();
  const Vec3 v = normal.Cross(u);
  scratch.depth.resize(n);
  scratch.x.resize(n);
  scratch.y.resize(n);
  lo = 1e30f;
  hi = -1e30f;
  for (size_t a = 0; a < n; ++a) {
    scratch.depth[a] = e.positions[a].Dot(normal);
    scratch.x[a] = e.positions[a].Dot(u);
    scratch.y[a] = e.positions[a].Dot(v);
    lo = std::min(lo, scratch.depth[a]);
    hi = std::max(hi, scratch.depth[a]);
  }
}

// Only the outer rim of each thin slice can face lipid: in every angular sector around
// the slice's centre, the atoms within rimWidth of the farthest. The lining of a pore or
// of a barrel's inside, and the floor of deep clefts, never meet the bilayer. Leaves each
// atom's distance from its slice's centre in x, its cell (slice and sector) in cell and
// each cell's farthest distance in rimRadius.
void FindRim(const SlabSearch& p, Scratch& scratch, float lo, float hi) {
  const size_t n = scratch.depth.size();
  std::vector<float>& depth = scratch.depth;
  std::vector<float>& x = scratch.x;
  std::vector<float>& y = scratch.y;
  const long sliceOrigin = static_cast<long>(std::floor(lo / p.sliceWidth));
  const int slices = static_cast<int>(static_cast<long>(std::floor(hi / p.sliceWidth)) - sliceOrigin) + 1;
  std::vector<double>& centre = scratch.sliceCentre;
  centre.assign(3 * static_cast<size_t>(slices), 0.0);
  std::vector<int>& cell = scratch.cell;
  cell.resize(n);
  for (size_t a = 0; a < n; ++a) {
    const int slice = static_cast<int>(static_cast<long>(std::floor(depth[a] / p.sliceWidth)) - sliceOrigin);
    cell[a] = slice;
    centre[3 * slice] += x[a];
    centre[3 * slice + 1] += y[a];
    centre[3 * slice + 2] += 1.0;
  }
  std::vector<float>& rimRadius = scratch.rimRadius;
  rimRadius.assign(static_cast<size_t>(slices) * kSectors, 0.0f);
  for (size_t a = 0; a < n; ++a) {
    const int slice = cell[a];
    const double count = centre[3 * slice + 2];
    const float dx = x[a] - static_cast<float>(centre[3 * slice] / count);
    const float dy = y[a] - static_cast<float>(centre[3 * slice + 1] / count);
    // The diamond angle: monotonic in the true angle, 0 to 4, and cheap.
    const float sum = std::fabs(dx) + std::fabs(dy);
    float angle = 0.0f;
    if (sum > 0.0f)
      angle = dy >= 0 ? (dx >= 0 ? dy / sum : 1 - dx / sum) : (dx < 0 ? 2 - dy / sum : 3 + dx / sum);
    const int sector = std::min(kSectors - 1, static_cast<int>(angle * (kSectors / 4)));
    cell[a] = slice * kSectors + sector;
    x[a] = std::sqrt(dx * dx + dy * dy);
    rimRadius[cell[a]] = std::max(rimRadius[cell[a]], x[a]);
  }
}

// The rim atoms' gains and area shares in bins of depth from `origin` (in bins), each shared
// between the two nearest bin centres so that the profile moves smoothly with the normal;
// then the mean free energy of the exposed residues at each depth (over a few angstrom,
// with a neutral pseudo-residue so that thinly covered depths say little): how lipid-like
// the surface is, whatever its amount, so that tilting the slab to take in more surface does
// not pay. The profile is left in scratch.profile.
void DepthProfile(const Exposed& e, const SlabSearch& p, Scratch& scratch, long origin, int bins) {
  std::vector<double>& gain = scratch.gain;
  std::vector<double>& share = scratch.share;
  gain.assign(bins, 0.0);
  share.assign(bins, 0.0);
  for (size_t a = 0; a < scratch.depth.size(); ++a) {
    if (scratch.x[a] < scratch.rimRadius[scratch.cell[a]] - p.rimWidth) continue;
    const float f = scratch.depth[a] / p.binWidth - static_cast<float>(origin) - 0.5f;
    const long b = static_cast<long>(std::floor(f));
    const double upper = f - static_cast<float>(b);
    gain[b] += (1.0 - upper) * e.gains[a];
    share[b] += (1.0 - upper) * e.shares[a];
    gain[b + 1] += upper * e.gains[a];
    share[b + 1] += upper * e.shares[a];
  }
  std::vector<double>& profile = scratch.profile;
  profile.assign(bins, 0.0);
  const int reach = static_cast<int>(std::lround(p.meanWidth / (2 * p.binWidth)));
  double g = 0.0, w = 0.0;
  for (int b = 0; b < std::min(reach, bins); ++b) g += gain[b], w += share[b];
  for (int b = 0; b < bins; ++b) {
    if (b + reach < bins) g += gain[b + reach], w += share[b + reach];
    if (b - reach - 1 >= 0) g -= gain[b - reach - 1], w -= share[b - reach - 1];
    profile[b] = p.binWidth * g / (w + p.pseudoResidues);
  }
}

// The best centre and half-thickness for one normal, from the atoms' gains binned by
// depth: full weight well inside, falling linearly to nothing across the slab's edge.
SlabFit FitAlong(const Vec3& normal, const Exposed& e, const SlabSearch& p, Scratch& scratch) {
  SlabFit best;
  if (e.positions.empty()) return best;
  float lo = 0.0f, hi = 0.0f;
  ProjectAtoms(normal, e, scratch, lo, hi);
  FindRim(p, scratch, lo, hi);
  const int rampBins = std::max(2, static_cast<int>(std::lround(p.ramp / p.binWidth)) & ~1);
  const int kMin = static_cast<int>(std::lround(p.minHalfThickness / p.binWidth));
  const int kMax = static_cast<int>(std::lround(p.maxHalfThickness / p.binWidth));
  const int pad = kMax + rampBins;
  const long origin = static_cast<long>(std::floor(lo / p.binWidth)) - pad;
  const int bins = static_cast<int>(static_cast<long>(std::floor(hi / p.binWidth)) - origin) + pad + 1;
  DepthProfile(e, p, scratch, origin, bins);
  const std::vector<double>& profile = scratch.profile;
  std::vector<double>& prefix = scratch.prefix;
  prefix.assign(bins + 1, 0.0);
  for (int b = 0; b < bins; ++b) prefix[b + 1] = prefix[b] + profile[b];
  const int half = rampBins / 2;
  for (int i = pad; i < bins - pad; ++i) {
    for (int k = kMin; k <= kMax; ++k) {
      const int full = k - half;  // bins i - full to i + full count whole
      double gain = prefix[i + full + 1] - prefix[i - full];
      for (int j = full + 1; j < k + half; ++j)
        gain += (profile[i + j] + profile[i - j]) * (static_cast<double>(k + half - j) / rampBins);
      if (gain > best.score) {
        best.score = gain;
        best.centre = (static_cast<float>(origin + i) + 0.5f) * p.binWidth;
        best.halfThickness = static_cast<float>(k) * p.binWidth;
      }
    }
  }
  return best;
}

// Directions spread evenly over the upper hemisphere (a Fibonacci lattice).
std::vector<Vec3> HemisphereDirections(int count) {
  std::vector<Vec3> directions;
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i) {
    const double z = (i + 0.5) / count;
    const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
    const double phi = golden * i;
    directions.push_back({static_cast<float>(r * std::cos(phi)), static_cast<float>(r * std::sin(phi)),
                          static_cast<float>(z)});
  }
  return directions;
}

struct Candidate {
  Vec3 normal;
  SlabFit fit;
};

// Two unit vectors perpendicular to the unit vector `n` and to each other.
void Tangents(const Vec3& n, Vec3& u, Vec3& v) {
  const Vec3 helper = std::fabs(n.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
  u = n.Cross(helper).Normalised();
  v = n.Cross(u);
}

// Pattern search on the sphere around a start: steps along two tangents, halved when
// no neighbour does better.
Candidate Refine(Candidate start, const Exposed& e, const SlabSearch& p, Scratch& scratch) {
  Candidate best = start;
  for (float step = 2.0f * kDegrees; step > 0.1f * kDegrees;) {
    const Vec3 n = best.normal;
    Vec3 u, v;
    Tangents(n, u, v);
    Candidate move = best;
    for (int d = 0; d < 8; ++d) {
      const float angle = static_cast<float>(d) * static_cast<float>(M_PI) / 4.0f;
      const Vec3 trial = (n + (u * std::cos(angle) + v * std::sin(angle)) * std::tan(step)).Normalised();
      const SlabFit fit = FitAlong(trial, e, p, scratch);
      if (fit.score > move.fit.score) move = {trial, fit};
    }
    if (move.fit.score > best.fit.score) {
      best = move;
    } else {
      step *= 0.5f;
    }
  }
  return best;
}

// The direction of the line through a run's CA atoms that fits them best (the largest
// principal axis), pointing from the run's start to its end.
Vec3 SegmentAxis(const Structure& s, int32_t first, int32_t last) {
  Vec3 mean;
  const int count = last - first + 1;
  for (int32_t r = first; r <= last; ++r) {
    const Atom& a = s.atoms[s.residues[r].caIndex];
    mean += Vec3{a.x, a.y, a.z};
  }
  mean *= 1.0f / static_cast<float>(count);
  double c[3][3] = {};
  for (int32_t r = first; r <= last; ++r) {
    const Atom& a = s.atoms[s.residues[r].caIndex];
    const double d[3] = {a.x - mean.x, a.y - mean.y, a.z - mean.z};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) c[i][j] += d[i] * d[j];
  }
  const Atom& a0 = s.atoms[s.residues[first].caIndex];
  const Atom& a1 = s.atoms[s.residues[last].caIndex];
  double v[3] = {a1.x - a0.x, a1.y - a0.y, a1.z - a0.z};
  for (int iteration = 0; iteration < 50; ++iteration) {
    double w[3];
    for (int i = 0; i < 3; ++i) w[i] = c[i][0] * v[0] + c[i][1] * v[1] + c[i][2] * v[2];
    const double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    if (length == 0.0) break;
    for (int i = 0; i < 3; ++i) v[i] = w[i] / length;
  }
  Vec3 axis{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
  if (axis.Dot(Vec3{a1.x - a0.x, a1.y - a0.y, a1.z - a0.z}) < 0.0f) axis = -axis;
  return axis.Normalised();
}

float Depth(const Structure& s, int32_t atom, const Vec3& normal) {
  const Atom& a = s.atoms[atom];
  return Vec3{a.x, a.y, a.z}.Dot(normal);
}

}  // namespace

namespace {

// The depth of a run's CAs smoothed over two helical turns. `depth` holds the run and up to
// kSmoothReach residues of the chain either side of it, `lead` of them before: a helix that
// leaves the slab keeps rising in its smoothed depth up to the run's last residue, where a
// window cut at the run's end would flatten it.
constexpr int32_t kSmoothReach = 3;
std::vector<float> SmoothedDepth(const std::vector<float>& depth, int32_t lead, int32_t runLength) {
  const int32_t n = static_cast<int32_t>(depth.size());
  std::vector<float> smooth(static_cast<size_t>(runLength));
  for (int32_t i = 0; i < runLength; ++i) {
    const int32_t at = lead + i;
    const int32_t lo = std::max(0, at - kSmoothReach), hi = std::min(n - 1, at + kSmoothReach);
    float sum = 0.0f;
    for (int32_t j = lo; j <= hi; ++j) sum += depth[j];
    smooth[i] = sum / static_cast<float>(hi - lo + 1);
  }
  return smooth;
}

// Splits a run of residues inside the slab where the chain turns back along the normal (its
// smoothed depth retreats by more than `turn` angstrom from its farthest point): a helix
// hairpin or a strand hairpin whose loop stays in the slab is two segments, and a pore helix
// with the strand that climbs back out is a dip.
std::vector<std::pair<int32_t, int32_t>> SplitAtTurns(const std::vector<float>& smooth, float turn) {
  const int32_t n = static_cast<int32_t>(smooth.size());
  std::vector<std::pair<int32_t, int32_t>> pieces;
  int32_t begin = 0, extreme = 0, direction = 0;
  for (int32_t i = 1; i < n; ++i) {
    if (direction == 0) {
      if (std::fabs(smooth[i] - smooth[begin]) > turn) direction = smooth[i] > smooth[begin] ? 1 : -1;
      if (direction != 0) extreme = i;
      continue;
    }
    if ((smooth[i] - smooth[extreme]) * static_cast<float>(direction) > 0.0f) {
      extreme = i;
    } else if ((smooth[extreme] - smooth[i]) * static_cast<float>(direction) > turn) {
      pieces.push_back({begin, extreme});
      begin = extreme + 1;
      extreme = i;
      direction = -direction;
    }
  }
  pieces.push_back({begin, n - 1});
  return pieces;
}

// A pore helix with the strand back out is some 15 to 20 residues (KcsA's 62-82); shorter
// dips are loose tails and loops hanging into the slab (glycophorin's N-terminal stretch,
// porin's periplasmic turns), each an extra segment on bench/spanner3d_helix_range.sh.
constexpr int32_t kMinDipLength = 10;
// A crossing's end that stays within kFlatDepth angstrom of its farthest depth over at
// least kFlatEnd residues lies along the face and is trimmed off; a helix's own end takes
// two residues over that depth.
constexpr float kFlatDepth = 2.5f;
constexpr int32_t kFlatEnd = 4;
// Within a crossing, a stretch of at least kFlatMiddle residues whose depth stays within
// 2 kFlatDepth does not cross: a loop folded into a barrel's pore at mid-depth (the porins'
// constriction loop L3) between the strand that enters and the one that leaves. It is cut
// out, and the rising pieces either side are segments of their own.
constexpr int32_t kFlatMiddle = 8;

// The longest stretch of the CAs' depths within first..last that stays within 2 kFlatDepth
// over at least kFlatMiddle residues, or {-1, -1}. Unsmoothed: the strands either side
// would blur into it.
std::pair<int32_t, int32_t> FlatMiddle(const std::vector<float>& depth, int32_t first, int32_t last) {
  std::pair<int32_t, int32_t> best{-1, -1};
  for (int32_t i = first; i <= last; ++i) {
    float low = depth[i], high = depth[i];
    int32_t j = i;
    while (j + 1 <= last && std::max(high, depth[j + 1]) - std::min(low, depth[j + 1]) <= 2 * kFlatDepth) {
      ++j;
      low = std::min(low, depth[j]);
      high = std::max(high, depth[j]);
    }
    if (j - i + 1 >= kFlatMiddle && j - i > best.second - best.first) best = {i, j};
  }
  return best;
}

std::vector<SlabSegment> SegmentsInSlab(const Structure& s, const MembranePlacement& slab, int minLength,
                                        const Selection& use) {
  const Vec3 normal{slab.normal[0], slab.normal[1], slab.normal[2]};
  const float centre = Vec3{slab.centre[0], slab.centre[1], slab.centre[2]}.Dot(normal);
  const float half = slab.halfThickness;
  auto inside = [&](int32_t r) {
    const int32_t ca = s.residues[r].caIndex;
    return use[r] && ca >= 0 && std::fabs(Depth(s, ca, normal) - centre) <= half;
  };
  std::vector<SlabSegment> segments;
  auto add = [&](int32_t chain, int32_t first, int32_t last, const std::vector<float>& depth, int32_t offset,
                 bool crossing) {
    if (last - first + 1 < minLength) return;
    SlabSegment segment;
    segment.chain = chain;
    segment.first = first;
    segment.last = last;
    // The axis from the mean of the first turn's CAs to the mean of the last turn's.
    const int turn = std::min(4, (last - first + 1) / 2);
    Vec3 start, end;
    for (int i = 0; i < turn; ++i) {
      const Atom& a = s.atoms[s.residues[first + i].caIndex];
      const Atom& b = s.atoms[s.residues[last - i].caIndex];
      start += Vec3{a.x, a.y, a.z};
      end += Vec3{b.x, b.y, b.z};
    }
    const Vec3 axis = end - start;
    const float along = axis.Dot(normal);
    const float length = axis.Length();
    segment.tiltDegrees =
        length > 0.0f ? std::acos(std::min(1.0f, std::fabs(along) / length)) / kDegrees : 0.0f;
    if (crossing) {
      segment.nInside = along >= 0.0f;
    } else {
      // A dip enters and leaves on the side of its first residue (the normal points out).
      segment.kind = SegmentKind::kReEntrant;
      segment.nInside = depth[first - offset] < 0.0f;
    }
    segments.push_back(segment);
  };
  for (size_t k = 0; k < s.chains.size(); ++k) {
    const Chain& chain = s.chains[k];
    for (int32_t r = chain.firstResidue; r >= 0 && r <= chain.lastResidue;) {
      if (!inside(r)) {
        ++r;
        continue;
      }
      int32_t last = r;
      while (last < chain.lastResidue && inside(last + 1) &&
             s.residues[last + 1].resSeq - s.residues[last].resSeq <= 1)
        ++last;
      if (last - r + 1 >= minLength) {
        std::vector<float> depth;
        for (int32_t i = r; i <= last; ++i) depth.push_back(Depth(s, s.residues[i].caIndex, normal) - centre);
        // A piece crosses when it runs from one half of the slab to the other over at least
        // half its thickness; the pieces between crossings that reach the inner half of
        // the slab dip in and out (pore helices); shallower ones only lie along a face.
        int32_t dipFirst = -1, dipLast = -1;
        auto closeDip = [&]() {
          if (dipFirst < 0) return;
          float deepest = half;
          for (int32_t i = dipFirst; i <= dipLast; ++i) deepest = std::min(deepest, std::fabs(depth[i - r]));
          if (deepest <= 0.5f * half && dipLast - dipFirst + 1 >= kMinDipLength)
            add(static_cast<int32_t>(k), dipFirst, dipLast, depth, r, false);
          dipFirst = dipLast = -1;
        };
        // The chain's residues beside the run, as far as its numbering runs on unbroken.
        std::vector<float> around;
        int32_t lead = 0;
        for (int32_t i = r - 1;
             i >= chain.firstResidue && lead < kSmoothReach && s.residues[i].caIndex >= 0 &&
             s.residues[i + 1].resSeq - s.residues[i].resSeq <= 1;
             --i)
          ++lead;
        for (int32_t i = r - lead; i < r; ++i)
          around.push_back(Depth(s, s.residues[i].caIndex, normal) - centre);
        around.insert(around.end(), depth.begin(), depth.end());
        for (int32_t i = last + 1;
             i <= chain.lastResidue && i <= last + kSmoothReach && s.residues[i].caIndex >= 0 &&
             s.residues[i].resSeq - s.residues[i - 1].resSeq <= 1;
             ++i)
          around.push_back(Depth(s, s.residues[i].caIndex, normal) - centre);
        const std::vector<float> smooth = SmoothedDepth(around, lead, static_cast<int32_t>(depth.size()));
        for (const auto& [a, b] : SplitAtTurns(smooth, 6.0f)) {
          const float from = depth[a], to = depth[b];
          if (from * to < 0.0f && std::fabs(to - from) >= half) {
            closeDip();
            // A crossing ends where it stops rising through the slab: a loop or hairpin
            // that lies flat along a face beyond the helix's end (rhodopsin's extracellular
            // hairpin in a thick slab) is no part of it.
            const float rise = to > from ? 1.0f : -1.0f;
            // Trims a rising piece's flat ends, then cuts out a flat middle and trims the
            // pieces either side the same way.
            std::function<void(int32_t, int32_t)> crossing = [&](int32_t a, int32_t b) {
              if (b - a + 1 < minLength) return;
              float low = rise * smooth[a], high = low;
              for (int32_t i = a; i <= b; ++i) {
                low = std::min(low, rise * smooth[i]);
                high = std::max(high, rise * smooth[i]);
              }
              // The first residue near the top and the last near the bottom: a helix covers
              // the last few angstrom in two residues, a stretch along the face in many.
              int32_t nearTop = a, nearBottom = b;
              while (high - rise * smooth[nearTop] > kFlatDepth) ++nearTop;
              while (rise * smooth[nearBottom] - low > kFlatDepth) --nearBottom;
              const int32_t first = nearBottom - a >= kFlatEnd ? nearBottom : a;
              const int32_t last = b - nearTop >= kFlatEnd ? nearTop : b;
              const auto [flatFirst, flatLast] = FlatMiddle(depth, first, last);
              if (flatFirst < 0) {
                add(static_cast<int32_t>(k), r + first, r + last, depth, r, true);
                return;
              }
              crossing(first, flatFirst - 1);
              crossing(flatLast + 1, last);
            };
            crossing(a, b);
          } else {
            if (dipFirst < 0) dipFirst = r + a;
            dipLast = r + b;
          }
        }
        closeDip();
      }
      r = last + 1;
    }
  }
  return segments;
}

}  // namespace

std::vector<SlabSegment> SlabSegments(const Structure& s, const MembranePlacement& slab, int minLength) {
  return SegmentsInSlab(s, slab, minLength, SelectResidues(s, slab.chains, -1.0f));
}

namespace {
MembranePlacement FinishPlacement(const Structure& s, const Exposed& e, Vec3 normal, const SlabFit& fit,
                                  const SlabSearch& p, const Selection& use, int* margin = nullptr);
}  // namespace

namespace {

// The best normal of the surface alone: every direction of a hemisphere fitted, the best
// few that are not neighbours of a better one refined, and the winner moved to the middle
// of its plateau.
Candidate SearchNormals(const Exposed& e, const SlabSearch& p, Feedback& feedback) {
  const std::vector<Vec3> directions = HemisphereDirections(p.normals);
  std::vector<SlabFit> fits(directions.size());
  ParallelChunks<Scratch>(directions.size(), 16, p.threads, feedback,
                          [&](size_t begin, size_t end, Scratch& scratch) {
                            for (size_t d = begin; d < end; ++d)
                              fits[d] = FitAlong(directions[d], e, p, scratch);
                          });
  std::vector<size_t> order(directions.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return fits[a].score > fits[b].score; });
  std::vector<Candidate> starts;
  for (size_t d : order) {
    if (starts.size() == 6) break;
    bool near = false;
    for (const Candidate& c : starts)
      near = near || std::fabs(c.normal.Dot(directions[d])) > std::cos(15.0f * kDegrees);
    if (!near) starts.push_back({directions[d], fits[d]});
  }
  std::vector<Candidate> refined(starts.size());
  ParallelChunks<Scratch>(starts.size(), 1, p.threads, feedback,
                          [&](size_t begin, size_t end, Scratch& scratch) {
                            for (size_t c = begin; c < end; ++c)
                              refined[c] = Refine(starts[c], e, p, scratch);
                          });
  Candidate best = refined.front();
  for (const Candidate& c : refined)
    if (c.fit.score > best.fit.score) best = c;
  // The score is flat near its top over several degrees, so the top itself moves with the
  // smallest change of frame; the middle of the plateau does not. The normal becomes the
  // mean of the directions within 30 degrees of the best that score within `plateau` of
  // it, sampled on a fine grid about the best (the coarse lattice turns with the frame, and
  // its few points on the plateau would move the mean by degrees).
  if (p.plateau > 0.0f && best.fit.score > 0.0) {
    const double floor = best.fit.score * (1.0 - p.plateau);
    const Vec3 n = best.normal;
    Vec3 u, v;
    Tangents(n, u, v);
    const float reach = std::tan(30.0f * kDegrees), step = std::tan(p.plateauStep * kDegrees);
    const int steps = static_cast<int>(std::ceil(reach / step));
    std::vector<Vec3> local;
    for (int i = -steps; i <= steps; ++i)
      for (int j = -steps; j <= steps; ++j) {
        const float a = static_cast<float>(i) * step, b = static_cast<float>(j) * step;
        if (a * a + b * b <= reach * reach) local.push_back((n + u * a + v * b).Normalised());
      }
    std::vector<double> scores(local.size());
    ParallelChunks<Scratch>(local.size(), 16, p.threads, feedback,
                            [&](size_t begin, size_t end, Scratch& scratch) {
                              for (size_t d = begin; d < end; ++d)
                                scores[d] = FitAlong(local[d], e, p, scratch).score;
                            });
    // A square grid on the tangent plane covers the sphere more densely away from its
    // middle: each point weighs the solid angle it stands for (cos^3 of its angle).
    Vec3 mean;
    for (size_t d = 0; d < local.size(); ++d) {
      if (scores[d] < floor) continue;
      const float c = local[d].Dot(n);
      mean += local[d] * (c * c * c);
    }
    if (mean.Length() > 0.0f) {
      mean.Normalise();
      Scratch scratch;
      best = {mean, FitAlong(mean, e, p, scratch)};
    }
  }
  return best;
}

// The surface alone leaves the normal loose by several degrees, and so do the segments
// alone (bundles tilt their helices): the normal goes halfway between the surface's and
// the segments' mean axis, and the slab is fitted again.
Candidate AlignWithSegments(const Structure& s, const Exposed& e, const SlabSearch& p, const Selection& use,
                            Candidate best) {
  const Vec3 surfaceNormal = best.normal;
  for (int round = 0; round < p.axisRounds; ++round) {
    MembranePlacement trial;
    trial.normal = {best.normal.x, best.normal.y, best.normal.z};
    const Vec3 point = e.centroid + best.normal * best.fit.centre;
    trial.centre = {point.x, point.y, point.z};
    trial.halfThickness = best.fit.halfThickness;
    Vec3 axis;
    int counted = 0;
    for (const SlabSegment& segment : SegmentsInSlab(s, trial, p.minSegmentLength, use)) {
      if (segment.last - segment.first + 1 < 8 || segment.kind != SegmentKind::kCrossing) continue;
      Vec3 a = SegmentAxis(s, segment.first, segment.last);
      if (a.Dot(best.normal) < 0.0f) a = -a;
      axis += a * static_cast<float>(segment.last - segment.first + 1);
      ++counted;
    }
    if (counted < 2) break;
    axis.Normalise();
    axis = (axis + surfaceNormal * p.surfaceWeight).Normalised();
    Scratch scratch;
    best = {axis, FitAlong(axis, e, p, scratch)};
  }
  return best;
}

// Identical chains that sit alike in one bilayer are related by a turn about its normal:
// the axis of such a ring, when near the normal found, is the sharper normal (the surface
// and the tilted helices leave it loose by several degrees). An axis far from it relates
// copies lying antiparallel or side by side, which say nothing of the membrane. Only the
// crossing segments and a few residues either side are compared: how the copies sit in
// the bilayer, not their loose tails. `order` receives the ring's order when its axis was
// taken.
Candidate AlongSymmetryAxis(const Structure& s, const Exposed& e, const SlabSearch& p, const Selection& use,
                            Candidate best, int32_t& order) {
  if (p.maxSymmetryAngle <= 0.0f) return best;
  MembranePlacement trial;
  trial.normal = best.normal;
  trial.centre = e.centroid + best.normal * best.fit.centre;
  trial.halfThickness = best.fit.halfThickness;
  std::vector<int32_t> chains;
  Selection near(use.size(), 0);
  for (const SlabSegment& segment : SegmentsInSlab(s, trial, p.minSegmentLength, use)) {
    if (segment.kind != SegmentKind::kCrossing) continue;
    if (std::find(chains.begin(), chains.end(), segment.chain) == chains.end())
      chains.push_back(segment.chain);
    const Chain& chain = s.chains[static_cast<size_t>(segment.chain)];
    for (int32_t r = std::max(chain.firstResidue, segment.first - p.symmetryFlank);
         r <= std::min(chain.lastResidue, segment.last + p.symmetryFlank); ++r)
      near[static_cast<size_t>(r)] = use[static_cast<size_t>(r)];
  }
  if (chains.size() < 2) return best;
  std::sort(chains.begin(), chains.end());
  const SymmetryAxis ring = FindSymmetryAxis(s, chains, {}, near);
  if (!ring.found) return best;
  Vec3 axis{static_cast<float>(ring.direction.x), static_cast<float>(ring.direction.y),
            static_cast<float>(ring.direction.z)};
  if (axis.Dot(best.normal) < 0.0f) axis = -axis;
  if (axis.Dot(best.normal) < std::cos(p.maxSymmetryAngle * kDegrees)) return best;
  order = ring.order;
  Scratch scratch;
  return {axis, FitAlong(axis, e, p, scratch)};
}

}  // namespace

namespace {

// The slab over the selected residues; `margin` receives how clearly the positive-inside
// rule chose the side (the excess of lysines and arginines on the chosen inside).
MembranePlacement PlaceSelected(const Structure& s, const SurfaceResult& surface, const SlabSearch& p,
                                Feedback& feedback, const Selection& use, int* margin = nullptr) {
  MembranePlacement placement;
  placement.threshold = p.minScore;
  const Exposed e = ExposedAtoms(s, surface, use);
  if (e.positions.empty()) return placement;
  int32_t order = 0;
  const Candidate best =
      AlongSymmetryAxis(s, e, p, use, AlignWithSegments(s, e, p, use, SearchNormals(e, p, feedback)), order);
  placement = FinishPlacement(s, e, best.normal, best.fit, p, use, margin);
  placement.symmetryOrder = placement.placed ? order : 0;
  return placement;
}

Selection ChainsOnly(const Structure& s, const Selection& use, const std::vector<int32_t>& chains) {
  Selection only = SelectResidues(s, chains, -1.0f);
  for (size_t r = 0; r < only.size(); ++r) only[r] = static_cast<char>(only[r] && use[r]);
  return only;
}

}  // namespace

MembranePlacement PlaceMembrane(const Structure& s, const SurfaceResult& surface, const SlabSearch& p,
                                Feedback& feedback) {
  int32_t low = 0;
  const Selection use = SelectResidues(s, {}, p.minConfidence, &low);
  MembranePlacement placement = PlaceSelected(s, surface, p, feedback, use);
  placement.lowConfidence = low;
  return placement;
}

std::vector<MembranePlacement> PlaceMembranes(const Structure& s, const SurfaceResult& surface,
                                              const SlabSearch& p, Feedback& feedback) {
  int32_t low = 0;
  const Selection use = SelectResidues(s, {}, p.minConfidence, &low);
  MembranePlacement joint = PlaceSelected(s, surface, p, feedback, use);
  joint.lowConfidence = low;
  // The chains holding segments, those with the most segment residues first.
  std::vector<int32_t> held(s.chains.size(), 0);
  for (const SlabSegment& segment : joint.segments) held[segment.chain] += segment.last - segment.first + 1;
  std::vector<int32_t> order;
  for (size_t c = 0; c < held.size(); ++c)
    if (held[c] > 0) order.push_back(static_cast<int32_t>(c));
  if (!joint.placed || order.size() < 2) return {joint};
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return held[a] > held[b]; });

  // Each chain on its own. Only a chain that spans the membrane several times, with a clear
  // inside, says where its membrane is: a single helix leaves the normal loose.
  struct Own {
    MembranePlacement placement;
    int margin = 0;
    bool telling = false;
  };
  std::vector<Own> own(s.chains.size());
  for (int32_t c : order) {
    Own& o = own[c];
    o.placement = PlaceSelected(s, surface, p, feedback, ChainsOnly(s, use, {c}), &o.margin);
    int crossings = 0;
    for (const SlabSegment& segment : o.placement.segments)
      crossings += segment.kind == SegmentKind::kCrossing;
    o.telling = o.placement.placed && crossings >= p.minChainCrossings && o.margin >= p.minInsideMargin;
  }
  // Two chains share a membrane unless their own slabs point opposite ways, lie at a
  // large angle, or sit apart along the normal.
  auto share = [&](const MembranePlacement& a, const MembranePlacement& b) {
    const Vec3 na{a.normal[0], a.normal[1], a.normal[2]}, nb{b.normal[0], b.normal[1], b.normal[2]};
    if (na.Dot(nb) < std::cos(p.maxChainAngle * kDegrees)) return false;
    const Vec3 ca{a.centre[0], a.centre[1], a.centre[2]}, cb{b.centre[0], b.centre[1], b.centre[2]};
    return std::fabs((cb - ca).Dot(na)) <= a.halfThickness;
  };
  std::vector<std::vector<int32_t>> groups;
  std::vector<int32_t> followers;  // chains that tell nothing of their own: with the first group
  for (int32_t c : order) {
    if (!own[c].telling) {
      followers.push_back(c);
      continue;
    }
    bool placed = false;
    for (std::vector<int32_t>& group : groups) {
      if (share(own[group.front()].placement, own[c].placement)) {
        group.push_back(c);
        placed = true;
        break;
      }
    }
    if (!placed) groups.push_back({c});
  }
  if (groups.size() < 2) return {joint};
  groups.front().insert(groups.front().end(), followers.begin(), followers.end());
  std::vector<MembranePlacement> placements;
  for (std::vector<int32_t>& group : groups) {
    std::sort(group.begin(), group.end());
    MembranePlacement placement = group.size() == 1
                                      ? own[group.front()].placement
                                      : PlaceSelected(s, surface, p, feedback, ChainsOnly(s, use, group));
    placement.chains = group;
    placement.lowConfidence = low;
    placements.push_back(std::move(placement));
  }
  // In the order of the chains, whichever holds the most segments.
  std::stable_sort(
      placements.begin(), placements.end(),
      [](const MembranePlacement& a, const MembranePlacement& b) { return a.chains < b.chains; });
  return placements;
}

MembranePlacement PlaceMembraneAlong(const Structure& s, const SurfaceResult& surface, const Vec3& direction,
                                     const SlabSearch& p) {
  const Selection use = SelectResidues(s, {}, p.minConfidence);
  const Exposed e = ExposedAtoms(s, surface, use);
  if (e.positions.empty()) {
    MembranePlacement none;
    none.threshold = p.minScore;
    return none;
  }
  Scratch scratch;
  const Vec3 normal = direction.Normalised();
  return FinishPlacement(s, e, normal, FitAlong(normal, e, p, scratch), p, use);
}

namespace {

MembranePlacement FinishPlacement(const Structure& s, const Exposed& e, Vec3 normal, const SlabFit& fit,
                                  const SlabSearch& p, const Selection& use, int* margin) {
  MembranePlacement placement;
  placement.threshold = p.minScore;
  const float centre = e.centroid.Dot(normal) + fit.centre;
  const Vec3 point = e.centroid + normal * fit.centre;
  placement.normal = {normal.x, normal.y, normal.z};
  placement.centre = {point.x, point.y, point.z};
  placement.halfThickness = fit.halfThickness;
  placement.score = static_cast<float>(fit.score);

  // The positive-inside rule (von Heijne 1992): the side whose loops next to the bilayer
  // carry more lysines and arginines is the cytoplasm. The normal points away from it.
  // Only the chains that cross the slab count: a soluble partner bound on one side (an
  // antibody fragment on a channel's outer mouth) follows no such rule.
  Selection crossingChains(s.residues.size(), 0), inSegment(s.residues.size(), 0);
  int crossings = 0, crossingResidues = 0;
  for (const SlabSegment& segment : SegmentsInSlab(s, placement, p.minSegmentLength, use)) {
    if (segment.kind != SegmentKind::kCrossing) continue;
    ++crossings;
    crossingResidues += segment.last - segment.first + 1;
    const Chain& chain = s.chains[static_cast<size_t>(segment.chain)];
    for (int32_t r = chain.firstResidue; r >= 0 && r <= chain.lastResidue; ++r) crossingChains[r] = use[r];
    for (int32_t r = segment.first; r <= segment.last; ++r) inSegment[r] = 1;
  }
  // The rule speaks of loops (and tails) short enough to stay on their side whole, not of
  // translocated domains: each residue's loop, the run between crossings along its chain.
  std::vector<int32_t> loopLength(s.residues.size(), 0);
  for (const Chain& chain : s.chains) {
    for (int32_t r = chain.firstResidue; r >= 0 && r <= chain.lastResidue;) {
      if (inSegment[r]) {
        ++r;
        continue;
      }
      int32_t end = r;
      while (end + 1 <= chain.lastResidue && !inSegment[end + 1]) ++end;
      for (int32_t k = r; k <= end; ++k) loopLength[k] = end - r + 1;
      r = end + 1;
    }
  }
  // A beta strand rises about 3.3 A a residue, a helix 1.5 A: across a bilayer of some 30 A
  // strands take about ten residues, helices twenty. Outer-membrane barrels follow no
  // positive-inside rule; their extracellular loops are long and their periplasmic turns
  // short (Schulz 2002), so the side with more of the chains beyond the slab is outside.
  const bool barrel = crossings >= 4 && crossingResidues < 14 * crossings;
  int plus = 0, minus = 0;
  for (size_t k = 0; k < s.residues.size(); ++k) {
    const Residue& r = s.residues[k];
    if (!crossingChains[k] || r.caIndex < 0) continue;
    const float depth = Depth(s, r.caIndex, normal) - centre;
    const float beyond = std::fabs(depth) - placement.halfThickness;
    if (barrel) {
      // Residues beyond a plane count for the outside: `plus` names the cytoplasmic
      // (periplasmic) side below, so they count for the other side.
      if (beyond > 0.0f) (depth > 0.0f ? minus : plus) += 1;
      continue;
    }
    if ((r.type != kLys && r.type != kArg) || beyond <= 0.0f) continue;
    if (beyond > 10.0f && loopLength[k] > p.shortLoop) continue;
    (depth > 0.0f ? plus : minus) += 1;
  }
  if (plus > minus) {
    normal = -normal;
    placement.normal = {normal.x, normal.y, normal.z};
  }
  if (margin != nullptr) *margin = std::abs(plus - minus);
  placement.segments = SegmentsInSlab(s, placement, p.minSegmentLength, use);
  const bool crossed =
      std::any_of(placement.segments.begin(), placement.segments.end(), [&](const SlabSegment& g) {
        return g.kind == SegmentKind::kCrossing && g.last - g.first + 1 >= p.minCrossingLength;
      });
  placement.placed = placement.score >= p.minScore && crossed;
  if (!placement.placed) placement.segments.clear();
  return placement;
}

}  // namespace

}  // namespace tessmol
