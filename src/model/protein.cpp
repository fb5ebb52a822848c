#include "model/protein.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/parallel.h"

namespace tessmol {

namespace {

constexpr float kMinimumCellEdge = 7.0f;
constexpr int kKeyBits = 21;
constexpr int64_t kMaxCell = (int64_t{1} << kKeyBits) - 1;

struct GridItem {
  int64_t key;  // cell coordinates packed x, y, z: sorting by key sorts x outermost
  AtomRef ref;
  float x, y, z, radius;
};

int64_t CellCoordinate(float value, float low, float edge) {
  const double cell = std::floor((static_cast<double>(value) - low) / edge);
  // Every coordinate lies in the box; the clamp only keeps absurd coordinates (a PDB
  // field allows 1e8 angstrom) from overflowing the packed key. Atoms clamped into one
  // cell are still tested by their exact distances.
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
    for (const HetAtom& atom : structure.hetAtoms) largest = std::max(largest, atom.radius);
  }
  return std::max(kMinimumCellEdge, 2.0f * largest);
}

void Protein::Load(Feedback& feedback, int threads) {
  feedback.BeginProgress(kLoadingProtein);
  Structure& s = structure;
  const bool withHet = !ignoreHeteroAtoms;

  if (withHet) {
    for (const HetAtom& atom : s.hetAtoms) s.ExtendBox(atom);
  }

  const float edge = NeighbourCellEdge(s, withHet);
  std::vector<GridItem> items;
  items.reserve(s.atoms.size() + (withHet ? s.hetAtoms.size() : 0));
  auto place = [&](const Atom& atom, AtomRef ref) {
    const int64_t i = CellCoordinate(atom.x, s.xyzExtremities[0].f1, edge);
    const int64_t j = CellCoordinate(atom.y, s.xyzExtremities[1].f1, edge);
    const int64_t k = CellCoordinate(atom.z, s.xyzExtremities[2].f1, edge);
    items.push_back({PackKey(i, j, k), ref, atom.x, atom.y, atom.z, atom.radius});
  };
  // Heteroatoms first, then atoms, each in file order.
  if (withHet) {
    for (size_t h = 0; h < s.hetAtoms.size(); ++h) {
      place(s.hetAtoms[h], AtomRef::Hetero(static_cast<int32_t>(h)));
    }
  }
  for (size_t a = 0; a < s.atoms.size(); ++a) place(s.atoms[a], AtomRef::Protein(static_cast<int32_t>(a)));
  std::stable_sort(items.begin(), items.end(),
                   [](const GridItem& l, const GridItem& r) { return l.key < r.key; });

  // Occupied cells only: memory follows the atoms, not the volume of the box.
  std::vector<int64_t> cellKeys;
  std::vector<size_t> cellStart;
  for (size_t n = 0; n < items.size(); ++n) {
    if (n == 0 || items[n].key != items[n - 1].key) {
      cellKeys.push_back(items[n].key);
      cellStart.push_back(n);
    }
  }
  cellStart.push_back(items.size());

  auto findCell = [&](int64_t key) -> int64_t {
    auto found = std::lower_bound(cellKeys.begin(), cellKeys.end(), key);
    if (found == cellKeys.end() || *found != key) return -1;
    return found - cellKeys.begin();
  };

  const int64_t mask = kMaxCell;
  // Every atom's list depends only on the grid, so cells are shared out among threads;
  // each thread writes the lists of its own cells' atoms only.
  auto buildCell = [&](size_t c, std::vector<size_t>& around, std::vector<std::pair<float, AtomRef>>& found) {
    const int64_t ci = cellKeys[c] >> (2 * kKeyBits);
    const int64_t cj = (cellKeys[c] >> kKeyBits) & mask;
    const int64_t ck = cellKeys[c] & mask;
    around.clear();
    for (int64_t di = -1; di <= 1; ++di) {
      for (int64_t dj = -1; dj <= 1; ++dj) {
        for (int64_t dk = -1; dk <= 1; ++dk) {
          const int64_t i = ci + di, j = cj + dj, k = ck + dk;
          if (i < 0 || j < 0 || k < 0 || i > kMaxCell || j > kMaxCell || k > kMaxCell) continue;
          const int64_t cell = findCell(PackKey(i, j, k));
          if (cell >= 0) around.push_back(static_cast<size_t>(cell));
        }
      }
    }
    for (size_t n = cellStart[c]; n < cellStart[c + 1]; ++n) {
      const GridItem& a = items[n];
      found.clear();
      for (size_t cell : around) {
        for (size_t m = cellStart[cell]; m < cellStart[cell + 1]; ++m) {
          if (m == n) continue;
          const GridItem& b = items[m];
          const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
          const float d2 = dx * dx + dy * dy + dz * dz;
          const float reach = a.radius + b.radius;
          if (d2 < reach * reach) found.emplace_back(d2, b.ref);
        }
      }
      // Ties in distance are broken by the reference so that the order never depends
      // on how the grid was walked.
      std::sort(found.begin(), found.end());
      Atom& atom = a.ref.hetero() ? s.hetAtoms[a.ref.index()] : s.atoms[a.ref.index()];
      atom.neighbours.clear();
      atom.neighbourDist2.clear();
      atom.neighbours.reserve(found.size());
      atom.neighbourDist2.reserve(found.size());
      for (const auto& [d2, ref] : found) {
        atom.neighbours.push_back(ref);
        atom.neighbourDist2.push_back(d2);
      }
    }
  };

  struct CellScratch {
    std::vector<size_t> around;
    std::vector<std::pair<float, AtomRef>> found;
  };
  ParallelChunks<CellScratch>(cellKeys.size(), 16, threads, feedback,
                              [&](size_t begin, size_t end, CellScratch& scratch) {
                                for (size_t c = begin; c < end; ++c)
                                  buildCell(c, scratch.around, scratch.found);
                              });
  feedback.EndProgress();
}

}  // namespace tessmol
