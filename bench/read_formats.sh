#!/usr/bin/env bash
# Reading 2ISK and GroEL-GroES 1AON as PDB and mmCIF, plain and gzip; the mmCIF of 1AON
# is made here with gemmi and not kept.
# Data: the shared data set's pdb/large/2ISK.pdb, pdb/mmcif/2ISK.cif and
# pdb/large/1AON.pdb.gz; gemmi on the PATH.
# Usage: bench/read_formats.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/large/2ISK.pdb' 'pdb/mmcif/2ISK.cif' 'pdb/large/1AON.pdb.gz'
scripts/build.sh >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$data/pdb/large/2ISK.pdb" "$data/pdb/mmcif/2ISK.cif" "$tmp/"
gunzip -c "$data/pdb/large/1AON.pdb.gz" > "$tmp/1AON.pdb"
gemmi convert "$tmp/1AON.pdb" "$tmp/1AON.cif"
for f in 2ISK.pdb 2ISK.cif 1AON.pdb 1AON.cif; do gzip -k "$tmp/$f"; done
for s in 2ISK 1AON; do
  "$build/bin/bench_read_formats" "$tmp/$s.pdb" "$tmp/$s.pdb.gz" "$tmp/$s.cif" "$tmp/$s.cif.gz"
done
