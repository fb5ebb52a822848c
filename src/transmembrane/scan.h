// The transmembrane window scan: a stretch of residues is a transmembrane segment when,
// over a window, the KAVELIN scores (as if buried in the bilayer) run clearly above the
// Profiles-3D scores (as they are), both within their expected ranges.
#pragma once

#include "document/spanner_params.h"
#include "model/protein.h"

namespace tessmol {

// Rewrites every residue's transmembrane flag and moving averages. Needs the solvent and
// KAVELIN scores and side-chain areas. Windows are searched longest first, chain by chain
// in `chains` order; an accepted window blocks the windows that start inside it.
void ScanTransmembrane(Protein& protein, const Spanner2DParams& params);

}  // namespace tessmol
