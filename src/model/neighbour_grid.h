// Atoms placed in a grid of cubic cells, from which the neighbours of any atom are found
// when they are needed: the atoms whose expanded spheres overlap its own, nearest first.
// Nothing per atom is stored but its place in the grid, so the surface-area pass can find
// the lists as it goes instead of keeping one for every atom of the structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/structure.h"

namespace tessmol {

// Cell edge of the neighbour grid: never less than 7.0 angstrom, and wide enough for the
// largest pair of expanded radii present, so no overlapping pair can lie two cells apart.
float NeighbourCellEdge(const Structure& structure, bool withHetAtoms);

// A neighbour: the squared distance between the centres and the atom.
using Neighbour = std::pair<float, AtomRef>;

// What one thread reuses from atom to atom: the first atom of every site in a cell and
// its 26 neighbours, laid out for the distance test, and the list being found.
struct NeighbourScratch {
  std::vector<float> x, y, z, radius;
  std::vector<AtomRef> ref;
  size_t ownFirst = 0;  // slot of the cell's own first site
  std::vector<uint64_t> keys, spareKeys;
  std::vector<Neighbour> found;
  bool wideVectors = true;  // eight lanes (AVX2) when the processor has them
};

// Whether this processor runs the eight-lane (AVX2) tests.
bool WideVectorsAvailable();

// Sorts distinct neighbour keys ascending, exactly as std::sort would (the test holds it to
// std::sort): the keys are first dealt into 64 buckets by squared distance (a counting
// sort), and an insertion sort then only reorders keys within a bucket. For the forty or so
// keys of an atom this takes a third of std::sort's time, 0.32 to 0.35 (bench/kernels.sh,
// user time, best of 5); lists under 16 keys go straight to the insertion sort.
void SortNeighbourKeys(std::vector<uint64_t>& keys, std::vector<uint64_t>& spare);

class NeighbourGrid {
 public:
  // The protein atoms, and the heteroatoms when `withHetAtoms`, at their positions now.
  NeighbourGrid(const Structure& structure, bool withHetAtoms);

  size_t CellCount() const { return cellKeys_.size(); }

  // Calls visit(ref, neighbours) for every atom placed in cell `cell`, its neighbours
  // sorted by distance and then by reference, so that the order never depends on how the
  // grid was walked. Of atoms at one point only the one with the largest radius is
  // listed: any point the others cover, it covers too, so atoms piled on one point (a
  // file with missing coordinates) cost as much as one atom.
  template <class Visit>
  void ForEachAtom(size_t cell, NeighbourScratch& scratch, Visit&& visit) const {
    CollectSites(cell, scratch);
    for (size_t site = cellSites_[cell]; site < cellSites_[cell + 1]; ++site) {
      for (size_t n = siteStart_[site]; n < siteStart_[site + 1]; ++n) {
        Find(n, site, scratch.ownFirst + (site - cellSites_[cell]), scratch);
        visit(items_[n].ref, static_cast<const std::vector<Neighbour>&>(scratch.found));
      }
    }
  }

  // The neighbours of one atom, by a search for its place: for single lookups.
  std::vector<Neighbour> NeighboursOf(AtomRef ref) const;

 private:
  struct Item {
    int64_t key;  // cell coordinates packed x, y, z: sorting by key sorts x outermost
    AtomRef ref;
    float x, y, z, radius;
  };
  int64_t FindCell(int64_t key) const;
  void CollectSites(size_t cell, NeighbourScratch& scratch) const;
  // The list of item `n` of site `site`, whose first atom is in slot `ownSlot`.
  void Find(size_t n, size_t site, size_t ownSlot, NeighbourScratch& scratch) const;

  // The occupied cells and in each the distinct positions ("sites"): atoms at one point
  // are one site, its members ordered largest radius first. Memory follows the atoms,
  // not the volume of the box.
  std::vector<Item> items_;        // by cell, then by site
  std::vector<int64_t> cellKeys_;  // sorted
  std::vector<size_t> cellSites_;  // first site of each cell, and one past the last
  std::vector<size_t> siteStart_;  // first item of each site, and one past the last
};

}  // namespace tessmol
