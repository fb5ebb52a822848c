#include "model/neighbour_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tessmol {

namespace {

constexpr float kMinimumCellEdge = 7.0f;
constexpr int kKeyBits = 21;
constexpr int64_t kMaxCell = (int64_t{1} << kKeyBits) - 1;

int64_t CellCoordinate(float value, float low, float edge) {
  const double cell = std::floor((static_cast<double>(value) - low) / edge);
  // The clamp only keeps absurd coordinates (a PDB field allows 1e8 angstrom) from
  // overflowing the packed key. Atoms clamped into one cell are still tested by their
  // exact distances.
  if (!(cell >= 0.0)) return 0;
  return cell > static_cast<double>(kMaxCell) ? kMaxCell : static_cast<int64_t>(cell);
}

int64_t PackKey(int64_t i, int64_t j, int64_t k) {
  return (i << (2 * kKeyBits)) | (j << kKeyBits) | k;
}

}  // namespace

float NeighbourCellEdge(const Structure& structure, bool withHetAtoms) {
  float largest = 0.0f;
  for (const Atom& atom : structure.atoms) largest = std::max(largest, atom.radius);
  if (withHetAtoms) {
    for (const HetAtom& atom : structure.hetAtoms) {
      if (!IsWaterName(atom.residueName)) largest = std::max(largest, atom.radius);
    }
  }
  return std::max(kMinimumCellEdge, 2.0f * largest);
}

NeighbourGrid::NeighbourGrid(const Structure& s, bool withHet) {
  const float edge = NeighbourCellEdge(s, withHet);
  // The grid's corner is the lowest coordinate placed; where the cells fall changes only
  // the order in which candidates are met, never a list.
  float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::max()};
  auto lower = [&](const Atom& atom) {
    low[0] = std::min(low[0], atom.x);
    low[1] = std::min(low[1], atom.y);
    low[2] = std::min(low[2], atom.z);
  };
  for (const Atom& atom : s.atoms) lower(atom);
  if (withHet) {
    for (const HetAtom& atom : s.hetAtoms) {
      if (!IsWaterName(atom.residueName)) lower(atom);
    }
  }
  items_.reserve(s.atoms.size() + (withHet ? s.hetAtoms.size() : 0));
  auto place = [&](const Atom& atom, AtomRef ref) {
    const int64_t i = CellCoordinate(atom.x, low[0], edge);
    const int64_t j = CellCoordinate(atom.y, low[1], edge);
    const int64_t k = CellCoordinate(atom.z, low[2], edge);
    items_.push_back({PackKey(i, j, k), ref, atom.x, atom.y, atom.z, atom.radius});
  };
  if (withHet) {
    // Waters are the solvent: they never cover the surface.
    for (size_t h = 0; h < s.hetAtoms.size(); ++h) {
      if (!IsWaterName(s.hetAtoms[h].residueName))
        place(s.hetAtoms[h], AtomRef::Hetero(static_cast<int32_t>(h)));
    }
  }
  for (size_t a = 0; a < s.atoms.size(); ++a) place(s.atoms[a], AtomRef::Protein(static_cast<int32_t>(a)));
  // Every list is sorted when it is found, so the order within a cell only has to bring
  // atoms at one point together, the one that covers most first.
  std::sort(items_.begin(), items_.end(), [](const Item& l, const Item& r) {
    if (l.key != r.key) return l.key < r.key;
    if (l.x != r.x) return l.x < r.x;
    if (l.y != r.y) return l.y < r.y;
    if (l.z != r.z) return l.z < r.z;
    if (l.radius != r.radius) return l.radius > r.radius;
    return l.ref < r.ref;
  });
  for (size_t n = 0; n < items_.size(); ++n) {
    const bool newCell = n == 0 || items_[n].key != items_[n - 1].key;
    if (newCell) {
      cellKeys_.push_back(items_[n].key);
      cellSites_.push_back(siteStart_.size());
    }
    if (newCell || items_[n].x != items_[n - 1].x || items_[n].y != items_[n - 1].y ||
        items_[n].z != items_[n - 1].z) {
      siteStart_.push_back(n);
    }
  }
  cellSites_.push_back(siteStart_.size());
  siteStart_.push_back(items_.size());
}

int64_t NeighbourGrid::FindCell(int64_t key) const {
  auto found = std::lower_bound(cellKeys_.begin(), cellKeys_.end(), key);
  if (found == cellKeys_.end() || *found != key) return -1;
  return found - cellKeys_.begin();
}

void NeighbourGrid::CollectSites(size_t cell, NeighbourScratch& scratch) const {
  const int64_t ci = cellKeys_[cell] >> (2 * kKeyBits);
  const int64_t cj = (cellKeys_[cell] >> kKeyBits) & kMaxCell;
  const int64_t ck = cellKeys_[cell] & kMaxCell;
  // The occupied cells among the 27 first, so the slots are sized once and filled by index.
  size_t cells[27];
  size_t found = 0, total = 0;
  for (int64_t di = -1; di <= 1; ++di) {
    for (int64_t dj = -1; dj <= 1; ++dj) {
      for (int64_t dk = -1; dk <= 1; ++dk) {
        const int64_t i = ci + di, j = cj + dj, k = ck + dk;
        if (i < 0 || j < 0 || k < 0 || i > kMaxCell || j > kMaxCell || k > kMaxCell) continue;
        const int64_t other = FindCell(PackKey(i, j, k));
        if (other < 0) continue;
        cells[found++] = static_cast<size_t>(other);
        total += cellSites_[other + 1] - cellSites_[other];
      }
    }
  }
  // Whole blocks of eight; the padding is at no distance at all (NaN) and never overlaps.
  const size_t padded = (total + 7) / 8 * 8;
  scratch.x.resize(padded);
  scratch.y.resize(padded);
  scratch.z.resize(padded);
  scratch.radius.resize(padded);
  scratch.ref.resize(total, AtomRef::Protein(0));
  size_t slot = 0;
  for (size_t c = 0; c < found; ++c) {
    if (cells[c] == cell) scratch.ownFirst = slot;
    for (size_t site = cellSites_[cells[c]]; site < cellSites_[cells[c] + 1]; ++site, ++slot) {
      const Item& b = items_[siteStart_[site]];
      scratch.x[slot] = b.x;
      scratch.y[slot] = b.y;
      scratch.z[slot] = b.z;
      scratch.radius[slot] = b.radius;
      scratch.ref[slot] = b.ref;
    }
  }
  const float none = std::numeric_limits<float>::quiet_NaN();
  for (; slot < padded; ++slot) {
    scratch.x[slot] = scratch.y[slot] = scratch.z[slot] = none;
    scratch.radius[slot] = 0.0f;
  }
}

namespace {

// A neighbour as one sortable number: the squared distance (never negative, so its bits
// sort as the value does) above the reference (sign bit flipped, so it sorts as signed).
uint64_t NeighbourKey(float d2, AtomRef ref) {
  uint32_t bits;
  std::memcpy(&bits, &d2, sizeof bits);
  const int32_t value = ref.hetero() ? -ref.index() - 1 : ref.index();
  return (uint64_t{bits} << 32) | (static_cast<uint32_t>(value) ^ 0x80000000u);
}

// The squared distance a key holds in its high word.
float DistanceOfKey(uint64_t key) {
  float d2;
  const auto bits = static_cast<uint32_t>(key >> 32);
  std::memcpy(&d2, &bits, sizeof d2);
  return d2;
}

void InsertionSort(std::vector<uint64_t>& keys) {
  for (size_t i = 1; i < keys.size(); ++i) {
    const uint64_t key = keys[i];
    size_t j = i;
    for (; j > 0 && keys[j - 1] > key; --j) keys[j] = keys[j - 1];
    keys[j] = key;
  }
}

}  // namespace

void SortNeighbourKeys(std::vector<uint64_t>& keys, std::vector<uint64_t>& spare) {
  const size_t n = keys.size();
  if (n < 16) {
    InsertionSort(keys);
    return;
  }
  constexpr uint32_t kBuckets = 64;
  // Keys order as their distances do, so the largest key holds the largest distance.
  const float top = DistanceOfKey(*std::max_element(keys.begin(), keys.end()));
  const float scale = top > 0.0f ? static_cast<float>(kBuckets - 1) / top : 0.0f;
  const auto bucketOf = [scale](uint64_t key) {
    // Monotonic in d2, so the buckets keep the keys' order. The insertion sort below
    // sorts whatever it is given, so the buckets only decide how much it has to do.
    const float b = DistanceOfKey(key) * scale;
    return b < static_cast<float>(kBuckets - 1) ? static_cast<uint32_t>(b) : kBuckets - 1;
  };
  uint32_t start[kBuckets + 1] = {};
  for (uint64_t key : keys) ++start[bucketOf(key) + 1];
  for (uint32_t b = 1; b <= kBuckets; ++b) start[b] += start[b - 1];
  spare.resize(n);
  for (uint64_t key : keys) spare[start[bucketOf(key)]++] = key;
  InsertionSort(spare);
  keys.swap(spare);
}

namespace {

Neighbour FromKey(uint64_t key) {
  const auto value = static_cast<int32_t>(static_cast<uint32_t>(key) ^ 0x80000000u);
  return {DistanceOfKey(key), value < 0 ? AtomRef::Hetero(-(value + 1)) : AtomRef::Protein(value)};
}

}  // namespace

namespace {

// The candidates whose spheres overlap the atom's, as keys, four at a time. Each
// candidate gets the same operations, in the same order, as one at a time would:
// d2 = dx*dx + dy*dy + dz*dz against (ra + rb)^2. The padding is NaN and never overlaps.
void Overlapping(const float* x, const float* y, const float* z, const float* radius, const AtomRef* ref,
                 size_t count, float axs, float ays, float azs, float ars, size_t skip,
                 std::vector<uint64_t>& keys) {
#if defined(__SSE2__)
  const __m128 ax = _mm_set1_ps(axs), ay = _mm_set1_ps(ays), az = _mm_set1_ps(azs), ar = _mm_set1_ps(ars);
  alignas(16) float d2s[4];
  for (size_t k = 0; k < count; k += 4) {
    const __m128 dx = _mm_sub_ps(ax, _mm_loadu_ps(x + k));
    const __m128 dy = _mm_sub_ps(ay, _mm_loadu_ps(y + k));
    const __m128 dz = _mm_sub_ps(az, _mm_loadu_ps(z + k));
    const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    const __m128 reach = _mm_add_ps(ar, _mm_loadu_ps(radius + k));
    auto mask = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(d2, _mm_mul_ps(reach, reach))));
    if (mask == 0) continue;
    _mm_store_ps(d2s, d2);
    for (; mask != 0; mask &= mask - 1) {
      const auto lane = static_cast<size_t>(__builtin_ctz(mask));
      if (k + lane != skip) keys.push_back(NeighbourKey(d2s[lane], ref[k + lane]));
    }
  }
#else
  for (size_t k = 0; k < count; ++k) {
    const float dx = axs - x[k], dy = ays - y[k], dz = azs - z[k];
    const float d2 = dx * dx + dy * dy + dz * dz;
    const float reach = ars + radius[k];
    if (d2 < reach * reach && k != skip) keys.push_back(NeighbourKey(d2, ref[k]));
  }
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSMOL_AVX2 1
// The same, eight at a time.
__attribute__((target("avx2"))) void OverlappingWide(const float* x, const float* y, const float* z,
                                                     const float* radius, const AtomRef* ref, size_t count,
                                                     float axs, float ays, float azs, float ars, size_t skip,
                                                     std::vector<uint64_t>& keys) {
  const __m256 ax = _mm256_set1_ps(axs), ay = _mm256_set1_ps(ays), az = _mm256_set1_ps(azs);
  const __m256 ar = _mm256_set1_ps(ars);
  alignas(32) float d2s[8];
  for (size_t k = 0; k < count; k += 8) {
    const __m256 dx = _mm256_sub_ps(ax, _mm256_loadu_ps(x + k));
    const __m256 dy = _mm256_sub_ps(ay, _mm256_loadu_ps(y + k));
    const __m256 dz = _mm256_sub_ps(az, _mm256_loadu_ps(z + k));
    const __m256 d2 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    const __m256 reach = _mm256_add_ps(ar, _mm256_loadu_ps(radius + k));
    auto mask =
        static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(d2, _mm256_mul_ps(reach, reach), _CMP_LT_OQ)));
    if (mask == 0) continue;
    _mm256_store_ps(d2s, d2);
    for (; mask != 0; mask &= mask - 1) {
      const auto lane = static_cast<size_t>(__builtin_ctz(mask));
      if (k + lane != skip) keys.push_back(NeighbourKey(d2s[lane], ref[k + lane]));
    }
  }
}
#endif

}  // namespace

bool WideVectorsAvailable() {
#if defined(TESSMOL_AVX2)
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

void NeighbourGrid::Find(size_t n, size_t site, size_t ownSlot, NeighbourScratch& scratch) const {
  const Item& a = items_[n];
  scratch.keys.clear();
  // The atom's own site (slot ownSlot) is taken below.
#if defined(TESSMOL_AVX2)
  if (scratch.wideVectors && WideVectorsAvailable()) {
    OverlappingWide(scratch.x.data(), scratch.y.data(), scratch.z.data(), scratch.radius.data(),
                    scratch.ref.data(), scratch.x.size(), a.x, a.y, a.z, a.radius, ownSlot, scratch.keys);
  } else
#endif
  {
    Overlapping(scratch.x.data(), scratch.y.data(), scratch.z.data(), scratch.radius.data(),
                scratch.ref.data(), scratch.x.size(), a.x, a.y, a.z, a.radius, ownSlot, scratch.keys);
  }
  // Of its own site the atom sees the first member, or the next one when it is the first.
  size_t m = siteStart_[site];
  if (m == n) ++m;
  if (m < siteStart_[site + 1]) {
    const Item& b = items_[m];
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const float d2 = dx * dx + dy * dy + dz * dz;
    const float reach = a.radius + b.radius;
    if (d2 < reach * reach) scratch.keys.push_back(NeighbourKey(d2, b.ref));
  }
  // Nearest first; ties in distance are broken by the reference, so that the order never
  // depends on how the grid was walked.
  SortNeighbourKeys(scratch.keys, scratch.spareKeys);
  scratch.found.clear();
  for (uint64_t key : scratch.keys) scratch.found.push_back(FromKey(key));
}

std::vector<Neighbour> NeighbourGrid::NeighboursOf(AtomRef ref) const {
  NeighbourScratch scratch;
  for (size_t cell = 0; cell < cellKeys_.size(); ++cell) {
    for (size_t site = cellSites_[cell]; site < cellSites_[cell + 1]; ++site) {
      for (size_t n = siteStart_[site]; n < siteStart_[site + 1]; ++n) {
        if (!(items_[n].ref == ref)) continue;
        CollectSites(cell, scratch);
        Find(n, site, scratch.ownFirst + (site - cellSites_[cell]), scratch);
        return scratch.found;
      }
    }
  }
  return {};
}

}  // namespace tessmol
