#include "model/het_atom_radii.h"

namespace tessmol {

void HetAtomRadii::Assign(HetAtom& atom) const {
  const std::string_view key = std::string_view(atom.name).substr(0, 2);
  float vdw = 1.4f;
  if (key.size() == 2) {
    auto found = radii_.find(key);
    if (found != radii_.end()) vdw = found->second;
  }
  atom.radius = kProbeRadius + vdw;
  if (atom.name.size() >= 2 && atom.name[1] == 'C') atom.polar = false;
  atom.sphereArea = atom.radius * atom.radius * 12.566371f;
}

}  // namespace tessmol
