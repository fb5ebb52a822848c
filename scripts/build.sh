#!/usr/bin/env bash
# Configures and builds Tessmol into build/ (or $TESSMOL_BUILD_DIR). Extra arguments go to
# the CMake configure step, e.g. -DTESSMOL_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TESSMOL_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TESSMOL_BUILD_TYPE:-Release}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
