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

namespace {

// The occupied cells of the grid, and in each the distinct positions ("sites"): atoms at
// one point are one site, its members ordered largest radius first. Memory follows the
// atoms, not the volume of the box.
struct Grid {
  std::vector<GridItem> items;    // by cell, then by site
  std::vector<int64_t> cellKeys;  // sorted
  std::vector<size_t> cellSites;  // first site of each cell, and one past the last
  std::vector<size_t> siteStart;  // first item of each site, and one past the last

  int64_t FindCell(int64_t key) const {
    auto found = std::lower_bound(cellKeys.begin(), cellKeys.end(), key);
    if (found == cellKeys.end() || *found != key) return -1;
    return found - cellKeys.begin();
  }
};

Grid BuildGrid(const Structure& s, bool withHet, float edge) {
  Grid grid;
  grid.items.reserve(s.atoms.size() + (withHet ? s.hetAtoms.size() : 0));
  auto place = [&](const Atom& atom, AtomRef ref) {
    const int64_t i = CellCoordinate(atom.x, s.xyzExtremities[0].f1, edge);
    const int64_t j = CellCoordinate(atom.y, s.xyzExtremities[1].f1, edge);
    const int64_t k = CellCoordinate(atom.z, s.xyzExtremities[2].f1, edge);
    grid.items.push_back({PackKey(i, j, k), ref, atom.x, atom.y, atom.z, atom.radius});
  };
  if (withHet) {
    for (size_t h = 0; h < s.hetAtoms.size(); ++h) place(s.hetAtoms[h], AtomRef::Hetero(static_cast<int32_t>(h)));
  }
  for (size_t a = 0; a < s.atoms.size(); ++a) place(s.atoms[a], AtomRef::Protein(static_cast<int32_t>(a)));
  // Every atom's list is sorted at the end, so the order within a cell only has to bring
  // atoms at one point together, the one that covers most first.
  std::sort(grid.items.begin(), grid.items.end(), [](const GridItem& l, const GridItem& r) {
    if (l.key != r.key) return l.key < r.key;
    if (l.x != r.x) return l.x < r.x;
    if (l.y != r.y) return l.y < r.y;
    if (l.z != r.z) return l.z < r.z;
    if (l.radius != r.radius) return l.radius > r.radius;
    return l.ref < r.ref;
  });
  const std::vector<GridItem>& items = grid.items;
  for (size_t n = 0; n < items.size(); ++n) {
    const bool newCell = n == 0 || items[n].key != items[n - 1].key;
    if (newCell) {
      grid.cellKeys.push_back(items[n].key);
      grid.cellSites.push_back(grid.siteStart.size());
    }
    if (newCell || items[n].x != items[n - 1].x || items[n].y != items[n - 1].y || items[n].z != items[n - 1].z) {
      grid.siteStart.push_back(n);
    }
  }
  grid.cellSites.push_back(grid.siteStart.size());
  grid.siteStart.push_back(items.size());
  return grid;
}

struct CellScratch {
  std::vector<size_t> around;  // sites of the cell and its 26 neighbours
  std::vector<std::pair<float, AtomRef>> found;
};

// The neighbour lists of the atoms of cell c. Of the atoms at one point only the one
// with the largest radius is listed: any point the others cover, it covers too. So atoms
// piled on one point (a file with missing coordinates) cost as much as one atom.
void BuildCell(Structure& s, const Grid& grid, size_t c, CellScratch& scratch) {
  const int64_t mask = kMaxCell;
  const int64_t ci = grid.cellKeys[c] >> (2 * kKeyBits);
  const int64_t cj = (grid.cellKeys[c] >> kKeyBits) & mask;
  const int64_t ck = grid.cellKeys[c] & mask;
  scratch.around.clear();
  for (int64_t di = -1; di <= 1; ++di) {
    for (int64_t dj = -1; dj <= 1; ++dj) {
      for (int64_t dk = -1; dk <= 1; ++dk) {
        const int64_t i = ci + di, j = cj + dj, k = ck + dk;
        if (i < 0 || j < 0 || k < 0 || i > kMaxCell || j > kMaxCell || k > kMaxCell) continue;
        const int64_t cell = grid.FindCell(PackKey(i, j, k));
        if (cell < 0) continue;
        for (size_t site = grid.cellSites[cell]; site < grid.cellSites[cell + 1]; ++site) {
          scratch.around.push_back(site);
        }
      }
    }
  }
  for (size_t n = grid.siteStart[grid.cellSites[c]]; n < grid.siteStart[grid.cellSites[c + 1]]; ++n) {
    const GridItem& a = grid.items[n];
    scratch.found.clear();
    for (size_t site : scratch.around) {
      size_t m = grid.siteStart[site];
      if (m == n) ++m;  // the atom itself: the next one at its point, if any
      if (m >= grid.siteStart[site + 1]) continue;
      const GridItem& b = grid.items[m];
      const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
      const float d2 = dx * dx + dy * dy + dz * dz;
      const float reach = a.radius + b.radius;
      if (d2 < reach * reach) scratch.found.emplace_back(d2, b.ref);
    }
    // Ties in distance are broken by the reference so that the order never depends
    // on how the grid was walked.
    std::sort(scratch.found.begin(), scratch.found.end());
    Atom& atom = a.ref.hetero() ? s.hetAtoms[a.ref.index()] : s.atoms[a.ref.index()];
    atom.neighbours.clear();
    atom.neighbourDist2.clear();
    atom.neighbours.reserve(scratch.found.size());
    atom.neighbourDist2.reserve(scratch.found.size());
    for (const auto& [d2, ref] : scratch.found) {
      atom.neighbours.push_back(ref);
      atom.neighbourDist2.push_back(d2);
    }
  }
}

}  // namespace

void Protein::Load(Feedback& feedback, int threads) {
  feedback.BeginProgress(kLoadingProtein);
  Structure& s = structure;
  const bool withHet = !ignoreHeteroAtoms;
  if (withHet) {
    for (const HetAtom& atom : s.hetAtoms) s.ExtendBox(atom);
  }
  const Grid grid = BuildGrid(s, withHet, NeighbourCellEdge(s, withHet));
  // Every atom's list depends only on the grid, so cells are shared out among threads;
  // each thread writes the lists of its own cells' atoms only.
  ParallelChunks<CellScratch>(grid.cellKeys.size(), 16, threads, feedback,
                              [&](size_t begin, size_t end, CellScratch& scratch) {
                                for (size_t c = begin; c < end; ++c) BuildCell(s, grid, c, scratch);
                              });
  feedback.EndProgress();
}

}  // namespace tessmol
