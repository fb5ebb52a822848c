#!/usr/bin/env bash
# The core's speed tricks against the plain code they replace (bench/kernels.cpp): number
# text and number reading, the neighbour sort, the surface pass's patches and lanes, and
# the result file's writer, on GroEL-GroES 1AON (58,674 atoms). User CPU time of one
# thread, best of ROUNDS (default 5); the result file by wall time, then again with the
# process held to one core (taskset -c 0), which is what its second thread is measured by.
# Data: the shared data set's pdb/large/1AON.pdb.gz.
# Usage: bench/kernels.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/large/1AON.pdb.gz'
scripts/build.sh >/dev/null
with_scratch 1AON
"$build/bin/bench_kernels" "$tmp/1AON.pdb" --rounds "${ROUNDS:-5}"
echo "on one core:"
taskset -c 0 "$build/bin/bench_kernels" "$tmp/1AON.pdb" --rounds "${ROUNDS:-5}" | tail -n 1
