#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for SECONDS, two at a
# time (both cores), each from its seed corpus (tests/fuzz/corpus) and the corpus grown in
# earlier runs (build-fuzz/corpus). Prints executions, coverage and corpus size per target;
# exits 1 when any target found something (the input is under build-fuzz/findings/TARGET:
# copy it into tests/fuzz/regressions/TARGET once mended, so every build replays it).
# Usage: tools/fuzz.sh SECONDS [TARGET...]   (targets: structure result score_table
#        chart_options het_radii fasta json mmcif gzip)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(structure result score_table chart_options het_radii fasta json mmcif gzip)
build="${TESSMOL_FUZZ_BUILD_DIR:-build-fuzz}"
# The targets write every input to a scratch file; on a disk a stalled write shows up as a
# slow unit, so they write into memory where the machine has it.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSMOL_FUZZ=ON \
  -DTESSMOL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all >/dev/null

declare -A max_len=([structure]=8192 [result]=32768 [score_table]=4096 [chart_options]=1024 [het_radii]=2048 [fasta]=2048
  [json]=8192 [mmcif]=8192 [gzip]=4096)
run() {
  local t="$1"
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  local dict=()
  [ -f "tests/fuzz/dict/$t.dict" ] && dict=(-dict="tests/fuzz/dict/$t.dict")
  # The seeds are read, never written; new inputs go to the grown corpus.
  "$build/bin/fuzz_$t" "$build/corpus/$t" "tests/fuzz/corpus/$t" "${dict[@]}" -max_total_time="$seconds" \
    -max_len="${max_len[$t]}" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$t/" >"$build/fuzz_$t.log" 2>&1
}
status=0
pids=()
names=()
for t in "${targets[@]}"; do
  run "$t" &
  pids+=($!)
  names+=("$t")
  if [ ${#pids[@]} -ge "$(nproc)" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done

printf '%-14s %12s %8s %8s %s\n' target executions edges corpus findings
for t in "${targets[@]}"; do
  log="$build/fuzz_$t.log"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  corpus=$(find "$build/corpus/$t" -type f | wc -l)
  # A slow unit is timed by the wall clock, so a busy machine makes them; an input that
  # is truly slow runs into -timeout and is a finding.
  found=$(find "$build/findings/$t" -type f ! -name 'slow-unit-*' | wc -l)
  printf '%-14s %12s %8s %8s %s\n' "$t" "${runs:-?}" "${edges:-?}" "$corpus" "$found"
  if [ "$found" -gt 0 ]; then
    status=1
    grep -m5 -E 'ERROR|invariant broken|runtime error' "$log" >&2 || true
  fi
done
exit "$status"
