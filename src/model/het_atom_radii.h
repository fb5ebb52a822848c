// Van der Waals radii of heteroatoms, keyed by the first two characters of a HETATM atom
// name (the right-justified element symbol: " C", "FE", ...).
#pragma once

#include <map>
#include <string>

#include "model/structure.h"

namespace tessmol {

class HetAtomRadii {
 public:
  // Later entries with the same key replace earlier ones.
  void Set(const std::string& key, float vdwRadius) { radii_[key] = vdwRadius; }
  void Clear() { radii_.clear(); }
  bool empty() const { return radii_.empty(); }
  size_t size() const { return radii_.size(); }

  // Gives `atom` its expanded radius (table radius plus probe, 1.4 + 1.4 for an unknown
  // key), its sphere area, and its polarity: a heteroatom is polar unless the second
  // character of its name is "C" (carbon).
  void Assign(HetAtom& atom) const;

 private:
  std::map<std::string, float, std::less<>> radii_;
};

}  // namespace tessmol
