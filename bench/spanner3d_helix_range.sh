#!/usr/bin/env bash
# Spanner3D on the membrane structures that come with structure-derived segments, with
# both ways of typing the helix model's residues, segments, the slab and the default; and
# on the soluble structures, which must get no segment.
# Data: the shared data set's pdb/membrane_frame (structures with their .span files) and
# pdb/soluble.
# Usage: bench/spanner3d_helix_range.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/membrane_frame/*.pdb' 'pdb/membrane_frame/*.span' 'pdb/soluble/*.pdb*'
scripts/build.sh >/dev/null
args=()
for pdb in "$(realpath "$data")"/pdb/membrane_frame/*.pdb; do args+=("$pdb" "${pdb%.pdb}.span"); done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
args+=(--soluble)
for f in "$(realpath "$data")"/pdb/soluble/*.pdb*; do
  case "$f" in
    *.gz) zcat "$f" >"$tmp/$(basename "${f%.gz}")"; args+=("$tmp/$(basename "${f%.gz}")") ;;
    *) args+=("$f") ;;
  esac
done
cd "$tmp"
"$OLDPWD/$build/bin/bench_spanner3d_helix_range" "${args[@]}"
