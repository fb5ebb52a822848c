#!/usr/bin/env bash
# Installs what is missing, builds, and analyses the bundled rhodopsin structure (1U19).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build="${TESSMOL_BUILD_DIR:-build}"
"$build/bin/tessmol-cli" analyse tests/data/1U19.pdb
