#!/usr/bin/env bash
# Spanner3D on the membrane structures that come with structure-derived segments, with
# both ways of typing the helix model's residues.
# Data: the shared data set's pdb/membrane_frame (structures with their .span files).
# Usage: bench/spanner3d_helix_range.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/membrane_frame/*.pdb' 'pdb/membrane_frame/*.span'
scripts/build.sh >/dev/null
args=()
for pdb in "$(realpath "$data")"/pdb/membrane_frame/*.pdb; do args+=("$pdb" "${pdb%.pdb}.span"); done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
"$OLDPWD/$build/bin/bench_spanner3d_helix_range" "${args[@]}"
