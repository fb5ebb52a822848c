#!/usr/bin/env bash
# The membrane placed on the structures of known frame (membrane_frame with their span
# files, OPM files with their DUM planes), each turned and moved at random, and on the
# soluble structures, which must get none. Arguments go to the program (--seed N).
# Data: the shared data set's pdb/membrane_frame (structures with their .span files),
# pdb/opm and pdb/soluble.
# Usage: bench/membrane_placement.sh [DATA_FOLDER] [--seed N]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/membrane_frame/*.pdb' 'pdb/membrane_frame/*.span' 'pdb/opm/*.pdb' 'pdb/soluble/*.pdb*'
scripts/build.sh >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
soluble=()
for f in "$data"/pdb/soluble/*.pdb*; do
  case "$f" in
    *.gz) zcat "$f" >"$tmp/$(basename "${f%.gz}")"; soluble+=("$tmp/$(basename "${f%.gz}")") ;;
    *) soluble+=("$f") ;;
  esac
done
"$build/bin/bench_membrane_placement" "$@" "$data"/pdb/membrane_frame/*.pdb "$data"/pdb/opm/*.pdb \
  --soluble "${soluble[@]}"
