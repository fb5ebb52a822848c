#!/usr/bin/env bash
# Starts the desktop program under a virtual X server (Xvfb), opens the bundled rhodopsin
# structure (or STRUCTURE) and saves a picture of the main window.
# Usage: tools/screenshot.sh [OUT.png [STRUCTURE [window|segments|slab]]]; with a method,
# Spanner3D runs on the structure first. It installs what is missing and builds the
# working tree first (in $TESSMOL_BUILD_DIR, default build/), as every script here does, so
# the programs in that folder change with the source.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-tessmol-screenshot.png}")"
scripts/install-deps.sh
scripts/build.sh >/dev/null
build="${TESSMOL_BUILD_DIR:-build}"
example="$(realpath "${2:-tests/data/1U19.pdb}")"
extra=()
if [ -n "${3:-}" ]; then extra=(--spanner3d "$3"); fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the program writes its result file into the current folder
xvfb-run -a -s "-screen 0 1600x1000x24" "$OLDPWD/$build/bin/tessmol" "$example" "${extra[@]}" --screenshot "$out"
echo "saved $out"
