# Independent count of what a PDB reader should keep from a file: ATOM and HETATM lines of
# the first model only, the first alternate location of each residue, and residues that
# change with the residue number, chain or insertion code within a run of ATOM lines.
# Prints: atoms residues hetatoms
{ sub(/\r$/, "") }
/^MODEL/ { sawModel = 1 }
/^ENDMDL/ { if (sawModel && modelAtoms) stop = 1 }
{ isAtom = substr($0, 1, 4) == "ATOM"; isHet = substr($0, 1, 6) == "HETATM" }
# Anisotropic temperature factors and standard deviations belong to the atom before them.
/^(ANISOU|SIGATM|SIGUIJ)/ { next }
!isAtom { inRun = 0 }
(isAtom || isHet) && stop { next }
isAtom || isHet {
  modelAtoms = 1
  name = substr($0, 13, 4); alt = substr($0, 17, 1)
  if (alt == "") alt = " "
}
isAtom {
  key = substr($0, 23, 4) + 0 "|" substr($0, 22, 1) "|" substr($0, 27, 1)
  if (!inRun || key != resKey) {
    residues++; inRun = 1; resKey = key; chosen = " "; delete seen
  }
  gsub(/ /, "", name)
  if (alt != " ") {
    if (chosen == " ") chosen = alt
    if (alt != chosen || (name in seen)) next
  }
  seen[name] = 1
  atoms++
}
isHet {
  key = substr($0, 23, 4) + 0 "|" substr($0, 22, 1) "|" substr($0, 27, 1) "|" substr($0, 18, 3)
  if (key != hetKey) { hetKey = key; hetChosen = " "; delete hetSeen }
  if (alt != " ") {
    if (hetChosen == " ") hetChosen = alt
    if (alt != hetChosen || (name in hetSeen)) next
  }
  hetSeen[name] = 1
  het++
}
END { print atoms + 0, residues + 0, het + 0 }
