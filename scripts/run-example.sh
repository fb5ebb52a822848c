#!/usr/bin/env bash
# Installs what is missing, builds, and analyses the bundled rhodopsin structure (1U19):
# surface areas, scores, its transmembrane helices, and the chart in example.svg; then the
# same from Python (examples/analyse.py: the summary and the first residues as a DataFrame).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build="${TESSMOL_BUILD_DIR:-build}"
"$build/bin/tessmol-cli" analyse --spanner3d --chart example.svg tests/data/1U19.pdb
echo "chart: example.svg"
if [ -e "$build/python" ]; then
  echo
  PYTHONPATH="$build/python" /usr/bin/python3 examples/analyse.py
fi
