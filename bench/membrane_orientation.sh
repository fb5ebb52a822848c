#!/usr/bin/env bash
# Which way the membrane placement runs the segments, against topologies known from
# biochemistry: for each structure a residue whose segment must read as given. A wrong
# inside/outside decision turns every segment of the structure, so one residue per chain
# suffices. Reports each check and the count right.
# Known topologies (N-terminal side of the first segment):
#   rhodopsin, opsin, the beta2-adrenergic receptor and every other GPCR: N-terminus
#     extracellular, helix 1 out->in (the receptor of 3SN6 carries T4 lysozyme fused
#     to that extracellular N-terminus);
#   bacteriorhodopsin and halorhodopsin: helix A out->in;
#   glycophorin A: N-terminus extracellular, out->in;
#   LacY: N-terminus cytoplasmic, helix I in->out;
#   KcsA: M1 in->out, the pore helix dipping in from outside, M2 out->in (Doyle et al.
#     1998); 3PJS is the full-length channel with R117Q, R121Q and R122Q;
#   Kv1.2: S2 and S4 out->in, the pore helix from outside, S6 out->in;
#   outer-membrane barrels: both termini periplasmic, the first strand in->out.
# Data: the shared data set's pdb/membrane_alpha, pdb/membrane_frame, pdb/opm, pdb/mmcif,
# pdb/membrane_beta and pdb/predicted.
# Usage: bench/membrane_orientation.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/membrane_alpha/*.pdb' 'pdb/membrane_frame/*.pdb' 'pdb/opm/*.pdb' 'pdb/mmcif/*.cif*' \
  'pdb/predicted/*.pdb.gz' 'pdb/membrane_beta/*.pdb'
scripts/build.sh >/dev/null
# file, chain, residue number, the orientation its segment must have
checks="
membrane_alpha/1F88.pdb A 50 out→in
membrane_alpha/1F88.pdb B 50 out→in
membrane_alpha/1GZM.pdb A 50 out→in
membrane_alpha/1GZM.pdb B 50 out→in
membrane_alpha/1U19.pdb A 50 out→in
membrane_alpha/1U19.pdb B 50 out→in
membrane_alpha/3DQB.pdb A 50 out→in
membrane_alpha/2RH1.pdb A 45 out→in
mmcif/3SN6.cif R 45 out→in
membrane_alpha/1K4C.pdb C 40 in→out
membrane_alpha/1K4C.pdb C 70 out→out (re-entrant)
membrane_alpha/1K4C.pdb C 100 out→in
membrane_alpha/3PJS.pdb K 40 in→out
membrane_alpha/3PJS.pdb K 70 out→out (re-entrant)
membrane_alpha/3PJS.pdb K 100 out→in
mmcif/2A79_updated.cif.gz B 225 out→in
mmcif/2A79_updated.cif.gz B 300 out→in
mmcif/2A79_updated.cif.gz B 370 out→out (re-entrant)
mmcif/2A79_updated.cif.gz B 400 out→in
membrane_frame/1U19_tr.pdb A 50 out→in
membrane_frame/1M0K_tr.pdb A 20 out→in
opm/1M0L_opm.pdb A 20 out→in
mmcif/1E0P_assembly1.cif.gz A 20 out→in
membrane_frame/1E12_AC.pdb A 15 out→in
membrane_frame/1E12_AC.pdb C 250 out→in
membrane_frame/1AFO_tr.pdb A 80 out→in
membrane_frame/1AFO_tr.pdb B 80 out→in
membrane_frame/2CFQ_tr.pdb A 20 in→out
predicted/AF-P15409-F1-model_v4.pdb.gz A 50 out→in
membrane_frame/1QJP_tr.pdb A 10 in→out
opm/1QJP_opm.pdb A 10 in→out
membrane_beta/1BXW_atomonly.pdb A 10 in→out
membrane_frame/2POR_tr.pdb A 8 in→out
mmcif/1A0S.cif P 80 in→out
"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
right=0
total=0
printf '%-40s %5s %7s  %-24s %s\n' structure chain residue expected found
while read -r file chain residue expected; do
  [ -n "$file" ] || continue
  out="$tmp/$(basename "$file").txt"
  [ -f "$out" ] || "$build/bin/tessmol-cli" membrane "$data/pdb/$file" >"$out" 2>&1 || true
  # Segment lines: chain, first, "-", last, orientation (two words when re-entrant), tilt.
  found=$(awk -v c="$chain" -v r="$residue" '
    $1 == c && $3 == "-" && $2 + 0 <= r + 0 && r + 0 <= $4 + 0 {
      o = $5; if ($6 ~ /^\(/) o = o " " $6; print o; exit }' "$out")
  total=$((total + 1))
  mark=""
  if [ "$found" = "$expected" ]; then right=$((right + 1)); else mark="  WRONG"; fi
  printf '%-40s %5s %7s  %-24s %s%s\n' "$file" "$chain" "$residue" "$expected" "${found:-no segment}" "$mark"
done <<<"$checks"
echo
echo "orientations right: $right of $total"
