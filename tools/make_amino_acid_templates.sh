#!/usr/bin/env bash
# Writes data/Amino_Acids/NAME.pdb for the 20 amino acids from PDBFixer's heavy-atom residue
# templates (github.com/openmm/pdbfixer, pdbfixer/templates, MIT licence; a copy lies in the
# shared data set under aa/pdbfixer_templates). The helix builder superposes a template on
# the model's N, CA and C when it meets the O line, so each template is rewritten with N,
# CA, C and O first and the side chain after them, coordinates unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."
source="${1:-../shared/data/aa/pdbfixer_templates}"
out=data/Amino_Acids
mkdir -p "$out"
for f in "$source"/*.pdb; do
  name=$(basename "$f" .pdb)
  awk '
    /^ATOM/ {
      atom = substr($0, 13, 4); gsub(/ /, "", atom)
      if (atom == "N" || atom == "CA" || atom == "C" || atom == "O") main[atom] = $0
      else if (atom != "OXT" && substr(atom, 1, 1) != "H") side[++n] = $0
    }
    END {
      serial = 0
      split("N CA C O", order, " ")
      for (i = 1; i <= 4; i++) line(main[order[i]])
      for (i = 1; i <= n; i++) line(side[i])
      print "END"
    }
    function line(text) { printf "ATOM  %5d%s\n", ++serial, substr(text, 12) }
  ' "$f" > "$out/$name.pdb"
done
