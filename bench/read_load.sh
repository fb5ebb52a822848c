#!/usr/bin/env bash
# Reading plus Load on the largest structure of the shared data set (GroEL-GroES 1AON).
# Data: the shared data set's pdb/large/1AON.pdb.gz.
# Usage: bench/read_load.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/large/1AON.pdb.gz'
scripts/build.sh >/dev/null
with_scratch 1AON
for run in 1 2 3; do
  echo "run $run:"
  "$build/bin/bench_read_load" "$tmp/1AON.pdb"
done
