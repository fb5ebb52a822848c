#!/usr/bin/env bash
# The multiple analysis over every PDB structure of the shared data set (soluble, membrane,
# NMR, large; compressed files decompressed first), with one job and with two.
# Prints structures per second, atoms per second and the speed-up.
# Data: the shared data set's pdb folders (soluble, membrane_alpha, membrane_beta,
# membrane_frame, opm, nmr, large); snakemake for the sharded workflow.
# Usage: bench/multi.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/soluble' 'pdb/membrane_alpha' 'pdb/membrane_beta' 'pdb/membrane_frame' 'pdb/opm' 'pdb/nmr' 'pdb/large'
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

# The sharded workflow (2 shards, local engine) against one run with a custom table.
printf '%s\n' "${files[@]}" > files.txt
start=$(date +%s.%N)
"$cli" multi --jobs 2 --threads 1 --custom-table single.stb "${files[@]}" > single.tsv 2>/dev/null || true
middle=$(date +%s.%N)
snakemake -s "$OLDPWD/workflow/Snakefile" --cores 2 --quiet \
  --config structures="$PWD/files.txt" shards=2 outdir=run cli="$cli" > snakemake.log 2>&1
end=$(date +%s.%N)
awk -v s="$start" -v m="$middle" -v e="$end" 'BEGIN {
  printf "one multi --jobs 2: %.2f s; workflow with 2 shards: %.2f s; overhead %.0f %%\n", m - s, e - m, 100 * ((e - m) / (m - s) - 1) }'
cmp -s single.stb run/custom.stb && echo "merged table identical to one run's" || echo "TABLES DIFFER"
cmp -s single.tsv run/list.tsv && echo "merged list identical to one run's" || echo "LISTS DIFFER"

# Memory against the number of files: the same structures ten times over.
many=()
for round in $(seq 10); do many+=("${files[@]}"); done
for set in "${#files[@]}" "${#many[@]}"; do
  list=("${many[@]:0:$set}")
  /usr/bin/time -f "%M" -o rss.txt "$cli" multi --threads 1 "${list[@]}" > /dev/null 2>&1 || true
  echo "multi over $set files: peak memory $(($(cat rss.txt) / 1024)) MiB"
done
