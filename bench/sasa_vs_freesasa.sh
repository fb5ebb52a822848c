#!/usr/bin/env bash
# Whole pipeline at 1002 points against FreeSASA's Shrake-Rupley at 1000 points, both on
# two threads with the same radii (our atom classes, given to FreeSASA as a classifier) and
# without heteroatoms, alternately in one session. Prints seconds (best of the rounds),
# the time ratio, seconds per 10,000 atoms and peak memory per atom.
set -euo pipefail
cd "$(dirname "$0")/.."
data="${TESSMOL_SHARED_DATA:-../shared/data}"
build="${TESSMOL_BUILD_DIR:-build}"
rounds="${ROUNDS:-3}"
scripts/build.sh >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gunzip -c "$data/pdb/large/1AON.pdb.gz" > "$tmp/1AON.pdb"
cp "$data/pdb/large/2ISK.pdb" "$data/pdb/membrane_alpha/1U19.pdb" "$tmp/"
config=tests/data/tessmol_classes.freesasa

# "seconds peak-KiB" of one run
measure() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -n 1; }

printf "%-6s %7s %9s %9s %7s %12s %12s %10s %10s\n" structure atoms tessmol_s freesasa_s ratio "t s/10k at" "fs s/10k at" "t B/atom" "fs B/atom"
for name in 1U19 2ISK 1AON; do
  file="$tmp/$name.pdb"
  atoms=$(grep -c '^ATOM' "$file")
  best_t=999999 best_f=999999 mem_t=0 mem_f=0
  for ((r = 0; r < rounds; r++)); do
    read -r t m < <(measure "$build/bin/tessmol-cli" analyse --resolution 5 --threads 2 --ignore-het "$file")
    best_t=$(echo "$t $best_t" | awk '{print ($1 < $2) ? $1 : $2}'); mem_t=$m
    read -r f n < <(measure freesasa --shrake-rupley --resolution=1000 --n-threads=2 --config-file="$config" "$file")
    best_f=$(echo "$f $best_f" | awk '{print ($1 < $2) ? $1 : $2}'); mem_f=$n
  done
  awk -v n="$name" -v a="$atoms" -v t="$best_t" -v f="$best_f" -v mt="$mem_t" -v mf="$mem_f" 'BEGIN {
    printf "%-6s %7d %9.2f %9.2f %7.2f %12.3f %12.3f %10.0f %10.0f\n", n, a, t, f, t / f, t * 1e4 / a, f * 1e4 / a, mt * 1024 / a, mf * 1024 / a }'
done
