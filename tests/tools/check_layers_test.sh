#!/usr/bin/env bash
# The layer check passes on the tree as it is, and fails, naming the file and line, when a
# back edge is planted: a model file including the document layer, and a core file
# including Qt.
set -euo pipefail
source="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$source/tools/check_layers.py" "$source/src"
cp -r "$source/src" "$work/src"
printf '#include "document/tessmol_doc.h"\n' >> "$work/src/model/structure.cpp"
printf '#include <QString>\n' >> "$work/src/scoring/score_table.cpp"
if out=$(python3 "$source/tools/check_layers.py" "$work/src"); then
  echo "a planted back edge passed the check" >&2
  exit 1
fi
lines=$(wc -l < "$work/src/model/structure.cpp")
grep -q "model/structure.cpp:$lines: model includes document/tessmol_doc.h" <<<"$out" || { echo "$out" >&2; exit 1; }
grep -q "scoring/score_table.cpp:.*includes Qt <QString>" <<<"$out" || { echo "$out" >&2; exit 1; }
echo "the check passes the tree and names both planted edges"
