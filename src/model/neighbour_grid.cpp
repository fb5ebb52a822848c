#include "model/neighbour_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    for (const HetAtom& atom : structure.hetAtoms) largest = std::max(largest, atom.radius);
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
    for (const HetAtom& atom : s.hetAtoms) lower(atom);
  }
  items_.reserve(s.atoms.size() + (withHet ? s.hetAtoms.size() : 0));
  auto place = [&](const Atom& atom, AtomRef ref) {
    const int64_t i = CellCoordinate(atom.x, low[0], edge);
    const int64_t j = CellCoordinate(atom.y, low[1], edge);
    const int64_t k = CellCoordinate(atom.z, low[2], edge);
    items_.push_back({PackKey(i, j, k), ref, atom.x, atom.y, atom.z, atom.radius});
  };
  if (withHet) {
    for (size_t h = 0; h < s.hetAtoms.size(); ++h) place(s.hetAtoms[h], AtomRef::Hetero(static_cast<int32_t>(h)));
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

void NeighbourGrid::CollectSites(size_t cell, std::vector<size_t>& around) const {
  const int64_t ci = cellKeys_[cell] >> (2 * kKeyBits);
  const int64_t cj = (cellKeys_[cell] >> kKeyBits) & kMaxCell;
  const int64_t ck = cellKeys_[cell] & kMaxCell;
  around.clear();
  for (int64_t di = -1; di <= 1; ++di) {
    for (int64_t dj = -1; dj <= 1; ++dj) {
      for (int64_t dk = -1; dk <= 1; ++dk) {
        const int64_t i = ci + di, j = cj + dj, k = ck + dk;
        if (i < 0 || j < 0 || k < 0 || i > kMaxCell || j > kMaxCell || k > kMaxCell) continue;
        const int64_t other = FindCell(PackKey(i, j, k));
        if (other < 0) continue;
        for (size_t site = cellSites_[other]; site < cellSites_[other + 1]; ++site) around.push_back(site);
      }
    }
  }
}

void NeighbourGrid::Find(size_t n, NeighbourScratch& scratch) const {
  const Item& a = items_[n];
  scratch.found.clear();
  for (size_t site : scratch.around) {
    size_t m = siteStart_[site];
    if (m == n) ++m;  // the atom itself: the next one at its point, if any
    if (m >= siteStart_[site + 1]) continue;
    const Item& b = items_[m];
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const float d2 = dx * dx + dy * dy + dz * dz;
    const float reach = a.radius + b.radius;
    if (d2 < reach * reach) scratch.found.emplace_back(d2, b.ref);
  }
  std::sort(scratch.found.begin(), scratch.found.end());
}

std::vector<Neighbour> NeighbourGrid::NeighboursOf(AtomRef ref) const {
  NeighbourScratch scratch;
  for (size_t n = 0; n < items_.size(); ++n) {
    if (!(items_[n].ref == ref)) continue;
    const size_t cell = static_cast<size_t>(FindCell(items_[n].key));
    CollectSites(cell, scratch.around);
    Find(n, scratch);
    return scratch.found;
  }
  return {};
}

}  // namespace tessmol
