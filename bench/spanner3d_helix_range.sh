#!/usr/bin/env bash
# Spanner3D on the membrane structures that come with structure-derived segments, with
# both ways of typing the helix model's residues.
set -euo pipefail
cd "$(dirname "$0")/.."
data="${TESSMOL_SHARED_DATA:-../shared/data}"
build="${TESSMOL_BUILD_DIR:-build}"
scripts/build.sh >/dev/null
args=()
for pdb in "$(realpath "$data")"/pdb/membrane_frame/*.pdb; do args+=("$pdb" "${pdb%.pdb}.span"); done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
"$OLDPWD/$build/bin/bench_spanner3d_helix_range" "${args[@]}"
