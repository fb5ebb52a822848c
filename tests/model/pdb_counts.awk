# Independent count of what a structure reader should keep from a PDB file: ATOM and
# HETATM lines of the first model only; no hydrogen or deuterium (element column, else the
# name's first two columns); no DUM membrane markers; modified residues (MSE, and those of
# MODRES records) counted as residues; in each residue the first alternate-location letter
# met, with the atoms that have none. Prints: atoms residues hetatoms
function trim(s) { gsub(/^ +| +$/, "", s); return s }
BEGIN { parent["MSE"] = "MET" }
{ sub(/\r$/, "") }
/^MODRES/ { parent[trim(substr($0, 13, 3))] = trim(substr($0, 25, 3)) }
/^MODEL/ { sawModel = 1 }
/^ENDMDL/ { if (sawModel && modelAtoms) stop = 1 }
/^TER/ { resKey = "" }
{ isAtom = substr($0, 1, 4) == "ATOM"; isHet = substr($0, 1, 6) == "HETATM" }
(isAtom || isHet) && stop { next }
isAtom || isHet {
  modelAtoms = 1
  name = substr($0, 13, 4); alt = substr($0, 17, 1); if (alt == "") alt = " "
  resName = trim(substr($0, 18, 3))
  element = trim(substr($0, 77, 2))
  c = substr(name, 1, 1); if (c == " " || c ~ /[0-9]/) c = substr(name, 2, 1)
  if (element == "H" || element == "D" || (element == "" && (c == "H" || c == "D"))) next
  if (isHet && (resName in parent)) { isHet = 0; isAtom = 1 }
  if (isHet && resName == "DUM") next
}
isAtom {
  key = substr($0, 23, 4) + 0 "|" substr($0, 22, 1) "|" substr($0, 27, 1)
  if (key != resKey) { residues++; resKey = key; chosen = " "; delete seen }
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
