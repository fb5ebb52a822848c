#!/usr/bin/env bash
# Tessmol's whole analysis against FreeSASA, alternately in one session, with the same radii
# (our atom classes, given to FreeSASA as a classifier) and without heteroatoms.
#  1. 1002 points against FreeSASA's Shrake-Rupley at 1000 points, both on two threads:
#     seconds (best of the rounds), time ratio, seconds per 10,000 atoms, and peak memory per
#     atom above the empty process (the program printing its help).
#  2. A small file (crambin): wall time of the whole run of each program, best of 20.
#  3. 2562 points (--resolution 6) against FreeSASA's Lee-Richards at 100 slices per atom
#     (near exact): per-atom RMSE, and our time beside Lee-Richards at its default 20 slices.
# Data: the shared data set's pdb/large/1AON.pdb.gz, pdb/large/2ISK.pdb and
# pdb/membrane_alpha/1U19.pdb; freesasa on the PATH.
# Usage: bench/sasa_vs_freesasa.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/large/1AON.pdb.gz' 'pdb/large/2ISK.pdb' 'pdb/membrane_alpha/1U19.pdb'
rounds="${ROUNDS:-3}"
scripts/build.sh >/dev/null
cli="$(pwd)/$build/bin/tessmol-cli"
with_scratch 1AON
cp "$data/pdb/large/2ISK.pdb" "$data/pdb/membrane_alpha/1U19.pdb" tests/data/1CRN.pdb "$tmp/"
config="$(pwd)/tests/data/tessmol_classes.freesasa"
cd "$tmp"

# "seconds peak-KiB" of one run; the seconds by the shell's clock, since time's %e
# counts in hundredths, which is 6 % of the 1AON run.
measure() {
  local s e kib
  s=${EPOCHREALTIME//[!0-9]/}
  kib=$(/usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1)
  e=${EPOCHREALTIME//[!0-9]/}
  echo "$(awk -v d="$((e - s))" 'BEGIN { printf "%.4f", d / 1e6 }') $kib"
}
best() { echo "$1 $2" | awk '{print ($1 < $2) ? $1 : $2}'; }
empty_t=$(measure "$cli" --help | cut -d' ' -f2)
empty_f=$(measure freesasa --help | cut -d' ' -f2)

echo "1. 1002 points, 2 threads, against FreeSASA Shrake-Rupley 1000 points, 2 threads"
printf "%-6s %7s %9s %9s %7s %12s %12s %10s %10s\n" structure atoms tessmol_s freesasa_s ratio "t s/10k at" "fs s/10k at" "t B/atom" "fs B/atom"
for name in 1U19 2ISK 1AON; do
  file="$tmp/$name.pdb"
  atoms=$(grep -c '^ATOM' "$file")
  best_t=999999 best_f=999999 mem_t=0 mem_f=0
  for ((r = 0; r < rounds; r++)); do
    read -r t m < <(measure "$cli" analyse --resolution 5 --threads 2 --ignore-het "$file")
    best_t=$(best "$t" "$best_t"); mem_t=$m
    read -r f n < <(measure freesasa --shrake-rupley --resolution=1000 --n-threads=2 --config-file="$config" "$file")
    best_f=$(best "$f" "$best_f"); mem_f=$n
  done
  awk -v n="$name" -v a="$atoms" -v t="$best_t" -v f="$best_f" -v mt="$((mem_t - empty_t))" -v mf="$((mem_f - empty_f))" 'BEGIN {
    printf "%-6s %7d %9.3f %9.3f %7.3f %12.3f %12.3f %10.0f %10.0f\n", n, a, t, f, t / f, t * 1e4 / a, f * 1e4 / a, mt * 1024 / a, mf * 1024 / a }'
done

echo
echo "2. Crambin (327 atoms), whole run, default settings of each, best of 20"
wall() {  # best wall time in microseconds of 20 runs
  # The shell's own clock: timing with $(date) would count the start of a date process too.
  local b=999999
  for ((r = 0; r < 20; r++)); do
    local s e
    s=${EPOCHREALTIME//[!0-9]/}; "$@" >/dev/null 2>&1; e=${EPOCHREALTIME//[!0-9]/}
    b=$(best "$((e - s))" "$b")
  done
  echo "$b"
}
t=$(wall "$cli" analyse 1CRN.pdb)
f=$(wall freesasa --config-file="$config" 1CRN.pdb)
awk -v t="$t" -v f="$f" 'BEGIN { printf "tessmol %.1f ms  freesasa %.1f ms  ratio %.2f\n", t / 1000, f / 1000, t / f }'

echo
echo "3. 2562 points (--resolution 6) against FreeSASA Lee-Richards 100 slices, per atom"
printf "%-6s %7s %10s %10s %12s %12s\n" structure atoms "RMSE A^2" "max |d|" "tessmol_s" "fs LR20 s"
for name in 1U19 2ISK 1AON; do
  file="$tmp/$name.pdb"
  atoms=$(grep -c '^ATOM' "$file")
  best_t=999999 best_l=999999
  for ((r = 0; r < rounds; r++)); do
    read -r t _ < <(measure "$cli" analyse --resolution 6 --threads 2 --ignore-het "$file")
    best_t=$(best "$t" "$best_t")
    read -r l _ < <(measure freesasa --lee-richards --resolution=20 --n-threads=2 --config-file="$config" "$file")
    best_l=$(best "$l" "$best_l")
  done
  freesasa --lee-richards --resolution=100 --n-threads=2 --config-file="$config" --format=pdb "$file" 2>/dev/null |
    awk '/^ATOM/ { n = substr($0, 13, 4); gsub(/ /, "", n)
                   print substr($0, 22, 1) "|" substr($0, 23, 4) + 0 "|" n "\t" substr($0, 61, 6) + 0 }' > "$name.fs"
  # Result file ATOM fields: name chain index serial x y z resSeq class radius area sasa ...
  awk -F'\t' '$1 == "ATOM" { print $3 "|" $9 "|" $2 "\t" $13 }' "$name.tsm" > "$name.ts"
  awk -F'\t' -v n="$name" -v a="$atoms" -v t="$best_t" -v l="$best_l" '
    FNR == NR { fs[$1] = $2; next }
    ($1 in fs) { d = $2 - fs[$1]; s += d * d; k++; if (d < 0) d = -d; if (d > m) m = d }
    END { printf "%-6s %7d %10.3f %10.2f %12.2f %12.2f   (%d atoms matched)\n", n, a, sqrt(s / k), m, t, l, k }' "$name.fs" "$name.ts"
done
