#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: on the release
# build, then on a build with AddressSanitizer and UndefinedBehaviorSanitizer (skip that
# one with TESSMOL_SANITIZERS=0). Extra arguments go to the release build's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${TESSMOL_BUILD_DIR:-build}"
scripts/build.sh "$@"
(cd "$build" && ctest --output-on-failure -j "$(nproc)")
if [ "${TESSMOL_SANITIZERS:-1}" != 0 ]; then
  TESSMOL_BUILD_DIR="${build}-asan" TESSMOL_BUILD_TYPE=Debug scripts/build.sh \
    -DTESSMOL_SANITIZE=ON -DTESSMOL_BUILD_BENCH=OFF
  # The same options as the tests set (tests/CMakeLists.txt): a sanitizer's report ends a
  # process with status 86, never the program's own 1.
  (cd "${build}-asan" && ASAN_OPTIONS=detect_leaks=1:exitcode=86 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 ctest --output-on-failure -j "$(nproc)")
fi
