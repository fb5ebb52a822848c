#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree differs from the root .clang-format.
# Usage: tools/check_format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench tools python -name '*.cpp' -o -name '*.h' 2>/dev/null |
  grep -v -e '^tests/fuzz/corpus/' -e '^tests/fuzz/regressions/' -e '^tests/data/' | sort)
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  printf '%s\n' "${bad[@]}"
  echo "${#bad[@]} file(s) differ from .clang-format: run tools/check_format.sh --fix" >&2
  exit 1
fi
echo "${#files[@]} files formatted as .clang-format says"
