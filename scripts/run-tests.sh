#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
build="${TESSMOL_BUILD_DIR:-build}"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
