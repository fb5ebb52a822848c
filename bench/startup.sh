#!/usr/bin/env bash
# What a run of tessmol-cli costs before it does any work, by the two choices made for it:
#  - libstdc++ linked in statically (src/CMakeLists.txt): against the same objects linked
#    with the shared library (relinked here from the build's own link command);
#  - the PNG charts in a module opened only when a .png is asked for (src/cli/chart_png.cpp):
#    against a run that loads Qt's Gui library at start, as linking it in would
#    (LD_PRELOAD as the stand-in).
# Each: user+sys CPU seconds of RUNS (default 100) analyses of crambin, best of 3 rounds.
# Data: tests/data/1CRN.pdb only; no shared data.
# Usage: bench/startup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${TESSMOL_BUILD_DIR:-build}")"
runs="${RUNS:-100}"
scripts/build.sh >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp" "$build/bin/tessmol-cli-shared-libstdc++"' EXIT
# The link command of tessmol-cli without the static runtime, into a second binary beside
# the first (it finds its data files beside itself).
link=$(cd "$build" && ninja -t commands bin/tessmol-cli | tail -n 1)
link=${link//-static-libstdc++ -static-libgcc/}
(cd "$build" && eval "${link//-o bin\/tessmol-cli /-o bin/tessmol-cli-shared-libstdc++ }")
qt=$(ldd "$build/bin/libtessmol_png.so" | awk '/libQt6Gui/ { print $3 }')
crambin="$(pwd)/tests/data/1CRN.pdb"
cd "$tmp"
seconds() {  # best user+sys seconds of $runs runs of the command
  local best=999 round t
  for round in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S'; time (for ((i = 0; i < runs; i++)); do "$@" >/dev/null 2>&1; done); } 2>&1 |
      awk '{ print $1 + $2 }')
    best=$(echo "$t $best" | awk '{ print ($1 < $2) ? $1 : $2 }')
  done
  echo "$best"
}
static=$(seconds "$build/bin/tessmol-cli" analyse "$crambin")
shared=$(seconds "$build/bin/tessmol-cli-shared-libstdc++" analyse "$crambin")
withqt=$(seconds env LD_PRELOAD="$qt" "$build/bin/tessmol-cli" analyse "$crambin")
plainenv=$(seconds env "$build/bin/tessmol-cli" analyse "$crambin")
awk -v n="$runs" -v a="$static" -v b="$shared" -v c="$withqt" -v d="$plainenv" 'BEGIN {
  printf "per run: static libstdc++ %.2f ms, shared libstdc++ %.2f ms\n", 1000 * a / n, 1000 * b / n
  printf "per run through env: as built %.2f ms, with Qt Gui loaded %.2f ms\n", 1000 * d / n, 1000 * c / n }'
