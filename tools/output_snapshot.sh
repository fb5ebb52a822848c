#!/usr/bin/env bash
# Writes every output of tessmol-cli on a set of structures and sequences into OUT_DIR, so
# that a change meant to keep outputs byte-identical can be checked with `diff -r`:
#   tools/output_snapshot.sh /tmp/before            # on the old build
#   tools/output_snapshot.sh /tmp/after             # on the new build
#   diff -r /tmp/before /tmp/after && echo identical
# Structures: tests/data, and the shared data folder's structures when it is there
# (TESSMOL_SHARED_DATA, default ../shared/data). Outputs per structure: the text summary
# with residues, JSON, the result file, `show` of it, the SVG chart, Spanner3D by each
# method, the membrane placement and the B-factor file; and Spanner2D on the test FASTA files.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:?usage: tools/output_snapshot.sh OUT_DIR}")"
cli="$(realpath "${TESSMOL_CLI:-${TESSMOL_BUILD_DIR:-build}/bin/tessmol-cli}")"
data="${TESSMOL_SHARED_DATA:-../shared/data}"
mkdir -p "$out"
structures=(tests/data/*.pdb tests/data/mmcif/*.cif tests/data/mmcif/*.cif.gz)
if [ -d "$data/pdb" ]; then
  structures+=("$data"/pdb/soluble/*.pdb "$data"/pdb/membrane_alpha/*.pdb "$data"/pdb/membrane_beta/*.pdb
               "$data"/pdb/membrane_frame/*.pdb "$data"/pdb/opm/*.pdb "$data"/pdb/mmcif/*.cif*)
fi
run() {  # NAME ARGS...: stdout, stderr and exit status of one command, in the current folder
  local name="$1"
  shift
  set +e
  "$cli" "$@" >"$name.out" 2>"$name.err"
  echo $? >"$name.status"
  set -e
  # The error text names the full path of a file; keep only its base name.
  sed -i "s|$(pwd)/||g" "$name.err"
  # Each command's result file under the command's name, so the next one cannot replace it.
  local t
  for t in *.tsm; do
    case "$t" in *-result.tsm | "*.tsm") ;; *) mv "$t" "$name-${t%.tsm}-result.tsm" ;; esac
  done
}
for f in "${structures[@]}"; do
  [ -f "$f" ] || continue
  path="$(realpath "$f")"
  name="$(basename "$f")"
  dir="$out/$name"
  mkdir -p "$dir"
  (
    cd "$dir"
    run analyse analyse --residues --log log.txt "$path"
    run json analyse --format json --residues --log log.txt "$path"
    run show show --residues analyse-*-result.tsm
    run chart analyse --chart chart.svg --log log.txt "$path"
    for method in window segments slab; do
      run "spanner3d-$method" analyse --spanner3d --method "$method" --residues --format json --log log.txt "$path"
    done
    run membrane membrane --write slab.pdb "$path"
    run bfactor analyse --bfactor-out scored.pdb --bfactor overall --log log.txt "$path"
    rm -f log.txt
  )
done
mkdir -p "$out/spanner2d"
(
  cd "$out/spanner2d"
  for f in "$OLDPWD"/tests/data/*.fasta "$OLDPWD"/tests/data/tm_examples.3line; do
    [ -f "$f" ] || continue
    for method in window segments; do
      run "$(basename "$f")-$method" spanner2d --residues --method "$method" --format json "$f"
    done
  done
)
echo "outputs of $(ls "$out" | wc -l) inputs in $out"
