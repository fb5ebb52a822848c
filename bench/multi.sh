#!/usr/bin/env bash
# The multiple analysis over every PDB structure of the shared data set (soluble, membrane,
# NMR, large; compressed files decompressed first), with one job and with two.
# Prints structures per second, atoms per second and the speed-up.
set -euo pipefail
cd "$(dirname "$0")/.."
data="${TESSMOL_SHARED_DATA:-../shared/data}"
build="${TESSMOL_BUILD_DIR:-build}"
scripts/build.sh >/dev/null
cli="$(pwd)/$build/bin/tessmol-cli"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/in" "$tmp/out"
for dir in soluble membrane_alpha membrane_beta membrane_frame opm nmr large; do
  for f in "$data/pdb/$dir"/*.pdb "$data/pdb/$dir"/*.pdb.gz; do
    [ -e "$f" ] || continue
    base=$(basename "$f" .gz)
    case "$f" in *.gz) gunzip -c "$f" > "$tmp/in/${dir}_$base" ;; *) cp "$f" "$tmp/in/${dir}_$base" ;; esac
  done
done
files=("$tmp/in"/*.pdb)
atoms=$(awk 'FNR == 1 { stop = 0 } /^ENDMDL/ { stop = 1 } !stop && /^ATOM/ { n++ } END { print n }' "${files[@]}")
echo "${#files[@]} structures, $atoms atoms in their first models"
cd "$tmp/out"
for jobs in 1 2 1 2; do
  start=$(date +%s.%N)
  "$cli" multi --jobs "$jobs" --threads 1 "${files[@]}" > "list_$jobs.tsv" 2>/dev/null || true
  end=$(date +%s.%N)
  rows=$(($(wc -l < "list_$jobs.tsv") - 1))
  awk -v j="$jobs" -v s="$start" -v e="$end" -v n="$rows" -v a="$atoms" 'BEGIN {
    printf "jobs %d: %d structures in %.2f s, %.1f structures/s, %.0f atoms/s\n", j, n, e - s, n / (e - s), a / (e - s) }'
done
cmp -s list_1.tsv list_2.tsv && echo "lists identical with 1 and 2 jobs" || echo "LISTS DIFFER"
