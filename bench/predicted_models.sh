#!/usr/bin/env bash
# Predicted models against the goals for them, with the figures behind each:
# - mouse rhodopsin's AlphaFold model (P15409) against bovine rhodopsin 1U19 (same
#   numbering): Profiles-3D scores over confident residues correlated (Pearson >= 0.6);
#   seven helices by the default Spanner3D method with ends within 3 residues; membrane
#   normals within 10 degrees after superposing the two on their helix CA atoms;
# - the GPCR models: seven helices, helix 1 out->in; the soluble models: no membrane;
# - p53 and ZNF76: the disordered stretches (pLDDT < 50) left out, confident averages;
# - the analysis time per atom of the model against the crystal structure's;
# - every model of the folder, PDB and mmCIF, through multi and the workflow.
# Data: the shared data set's pdb/predicted and pdb/membrane_alpha/1U19.pdb.
# Usage: bench/predicted_models.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/predicted/AF-P15409-F1-model_v4.pdb.gz' 'pdb/membrane_alpha/1U19.pdb'
scripts/build.sh >/dev/null
cli="$(pwd)/$build/bin/tessmol-cli"
with_scratch
pred="$data/pdb/predicted"
model="$pred/AF-P15409-F1-model_v4.pdb.gz"
crystal="$data/pdb/membrane_alpha/1U19.pdb"
cd "$tmp"

echo "== Rhodopsin: model P15409 against crystal 1U19 =="
"$cli" analyse --format json --residues --spanner3d "$model" > model.json
"$cli" analyse --format json --residues --spanner3d "$crystal" > crystal.json
"$cli" membrane "$model" > model.membrane 2>&1 || true
"$cli" membrane "$crystal" > crystal.membrane 2>&1 || true
gunzip -c "$model" > model.pdb
python3 - "$crystal" <<'PY'
import json, math, sys

def load(path):
    return json.load(open(path))["structures"][0]

m, c = load("model.json"), load("crystal.json")
crystal_a = {r["number"]: r for r in c["residues"] if r["chain"] == "A"}
pairs = [(r["solvent_score"], crystal_a[r["number"]]["solvent_score"])
         for r in m["residues"] if r.get("plddt", 0) >= 70 and r["number"] in crystal_a]
n = len(pairs)
mx = sum(p[0] for p in pairs) / n
my = sum(p[1] for p in pairs) / n
sxy = sum((a - mx) * (b - my) for a, b in pairs)
sxx = sum((a - mx) ** 2 for a, _ in pairs)
syy = sum((b - my) ** 2 for _, b in pairs)
r = sxy / math.sqrt(sxx * syy)
print(f"Profiles-3D scores over {n} confident residues matched by number: Pearson {r:.3f} "
      f"({'goal met' if r >= 0.6 else 'GOAL NOT MET'}, >= 0.6)")
for name, s in (("model", m), ("crystal", c)):
    print(f"{name}: average {s['average_score']:.4f}, window pass {100 * s['window_pass_fraction']:.1f}% "
          f"({'pass' if s['window_test_passed'] else 'fail'})"
          + (f", confident average {s['confident_average_score']:.4f} over {s['confident_count']} residues, "
             f"{s['left_out_count']} left out, mean pLDDT {s['mean_plddt']:.2f}" if 'mean_plddt' in s else ""))

segs = {name: [x for x in s["transmembrane_segments"] if x["chain"] == "A"] for name, s in (("model", m), ("crystal", c))}
print(f"Spanner3D helices (chain A): model {len(segs['model'])}, crystal {len(segs['crystal'])} "
      f"({'goal met' if len(segs['model']) == len(segs['crystal']) == 7 else 'GOAL NOT MET'}: seven each)")
within = 0
for a, b in zip(segs["model"], segs["crystal"]):
    ok = abs(a["first_number"] - b["first_number"]) <= 3 and abs(a["last_number"] - b["last_number"]) <= 3
    within += ok
    print(f"  model {a['first_number']}-{a['last_number']} {a['orientation']}  crystal "
          f"{b['first_number']}-{b['last_number']} {b['orientation']}  {'within 3' if ok else 'OFF'}")
print(f"  ends within 3 residues: {within} of {min(len(segs['model']), len(segs['crystal']))}")

# Membrane normals: the model's normal turned by the rotation that superposes its helix CA
# atoms on the crystal's (Horn's quaternion method, largest eigenvector by power iteration).
def normal(path):
    for line in open(path):
        if line.startswith("Membrane normal:"):
            return [float(v) for v in line.split(":")[1].split()]
    return None

def ca(path, chain):
    out = {}
    for line in open(path):
        if line.startswith("ATOM") and line[12:16] == " CA " and line[21] in chain:
            out.setdefault(int(line[22:26]), [float(line[30:38]), float(line[38:46]), float(line[46:54])])
        if line.startswith("ENDMDL"):
            break
    return out

nm, nc = normal("model.membrane"), normal("crystal.membrane")
if nm is None or nc is None:
    print("Membrane normal: not placed on " + ("the model" if nm is None else "the crystal") + " (see tessmol-cli membrane)")
else:
    helix = set()
    for s in segs["crystal"]:
        helix.update(range(s["first_number"], s["last_number"] + 1))
    pm, pc = ca("model.pdb", "A"), ca(sys.argv[1], "A")
    common = sorted(k for k in helix if k in pm and k in pc)
    if len(common) < 3:
        common = sorted(k for k in pm if k in pc)
    P = [pm[k] for k in common]
    Q = [pc[k] for k in common]
    cp = [sum(p[i] for p in P) / len(P) for i in range(3)]
    cq = [sum(q[i] for q in Q) / len(Q) for i in range(3)]
    S = [[sum((p[i] - cp[i]) * (q[j] - cq[j]) for p, q in zip(P, Q)) for j in range(3)] for i in range(3)]
    (xx, xy, xz), (yx, yy, yz), (zx, zy, zz) = S
    N = [[xx + yy + zz, yz - zy, zx - xz, xy - yx],
         [yz - zy, xx - yy - zz, xy + yx, zx + xz],
         [zx - xz, xy + yx, -xx + yy - zz, yz + zy],
         [xy - yx, zx + xz, yz + zy, -xx - yy + zz]]
    shift = sum(abs(v) for row in N for v in row)
    v = [1.0, 0.0, 0.0, 0.0]
    for _ in range(2000):
        w = [sum((N[i][j] + (shift if i == j else 0.0)) * v[j] for j in range(4)) for i in range(4)]
        norm = math.sqrt(sum(x * x for x in w))
        v = [x / norm for x in w]
    q0, q1, q2, q3 = v
    R = [[q0*q0 + q1*q1 - q2*q2 - q3*q3, 2*(q1*q2 - q0*q3), 2*(q1*q3 + q0*q2)],
         [2*(q1*q2 + q0*q3), q0*q0 - q1*q1 + q2*q2 - q3*q3, 2*(q2*q3 - q0*q1)],
         [2*(q1*q3 - q0*q2), 2*(q2*q3 + q0*q1), q0*q0 - q1*q1 - q2*q2 + q3*q3]]
    rmsd = math.sqrt(sum(sum((sum(R[i][j] * (p[j] - cp[j]) for j in range(3)) - (q[i] - cq[i])) ** 2
                             for i in range(3)) for p, q in zip(P, Q)) / len(P))
    turned = [sum(R[i][j] * nm[j] for j in range(3)) for i in range(3)]
    cosine = abs(sum(a * b for a, b in zip(turned, nc))) / math.sqrt(sum(a * a for a in turned) * sum(b * b for b in nc))
    angle = math.degrees(math.acos(min(1.0, cosine)))
    print(f"Membrane normals after superposing {len(common)} helix CA atoms (RMSD {rmsd:.2f} A): "
          f"{angle:.1f} degrees apart ({'goal met' if angle <= 10 else 'GOAL NOT MET'}, <= 10)")
PY
grep -h "left out\|below pLDDT\|low-confidence" model.membrane | head -3 || true

echo
echo "== GPCR models and soluble models =="
for id in AF-P15409-F1-model_v4 AF-K7N701-F1-model_v4 AF-K7N778-F1-model_v4 AF-P04637-F1-model_v4 \
          AF-Q96M98-F1-model_v4 AF-Q5VSL9-F1-model_v4 AF-Q9Y5P2-F1-model_v4; do
  f="$pred/$id.pdb.gz"
  [ -e "$f" ] || continue
  "$cli" analyse --format json --spanner3d "$f" > "$id.json"
  placed=$("$cli" membrane "$f" 2>&1 | grep -c "^Membrane normal" || true)
  python3 - "$id" "$placed" <<'PY'
import json, sys
s = json.load(open(sys.argv[1] + ".json"))["structures"][0]
segs = s["transmembrane_segments"]
first = segs[0]["orientation"] if segs else "-"
print(f"{sys.argv[1]}: {len(segs)} helices, helix 1 {first}, membrane placed: {'yes' if sys.argv[2] != '0' else 'no'}, "
      f"window pass {100 * s['window_pass_fraction']:.1f}%, confident average {s['confident_average_score']:.4f}")
PY
done
echo "(goals: P15409, K7N701, K7N778 seven helices, helix 1 out-in; P04637, Q96M98, Q5VSL9, Q9Y5P2 no membrane)"

echo
echo "== Disordered proteins: p53 (P04637) and ZNF76 (P36508) =="
for id in AF-P04637-F1-model_v4 AF-P36508-F1-model_v6; do
  f="$pred/$id.pdb.gz"
  [ -e "$f" ] || continue
  "$cli" analyse --format json --residues "$f" > "$id.json"
  python3 - "$id" <<'PY'
import json, sys
s = json.load(open(sys.argv[1] + ".json"))["structures"][0]
runs, start, prev = [], None, None
for r in s["residues"]:
    low = r["plddt"] < 50
    if low and start is None:
        start = r["number"]
    if not low and start is not None:
        runs.append((start, prev)); start = None
    prev = r["number"]
if start is not None:
    runs.append((start, prev))
long_runs = [f"{a}-{b}" for a, b in runs if b - a + 1 >= 5]
print(f"{sys.argv[1]}: pLDDT < 50 stretches of 5 or more: {', '.join(long_runs)}")
print(f"  average over all {s['residue_count']} residues {s['average_score']:.4f}; over {s['confident_count']} "
      f"confident (pLDDT >= {s['confident_plddt']:.0f}) {s['confident_average_score']:.4f}; left out {s['left_out_count']}; "
      f"window pass {100 * s['window_pass_fraction']:.1f}%")
PY
done
echo "(the shared manifest gives p53's pLDDT < 50 stretches as 1-14, 29-76, 295-319, 358-386)"

echo
echo "== Time: model against crystal of its size (1U19 chain A), and the model without its header =="
gunzip -c "$model" > model_plain.pdb
grep -E '^(ATOM|TER)' model_plain.pdb > model_no_header.pdb
awk '/^ENDMDL/ { exit } /^ATOM/ && substr($0, 22, 1) == "A"' "$crystal" > crystal_A.pdb
for f in model_plain.pdb model_no_header.pdb crystal_A.pdb; do
  best=""
  for rep in 1 2 3; do
    start=$(date +%s.%N)
    for k in 1 2 3 4 5; do "$cli" analyse --threads 1 --ignore-het "$f" > /dev/null; done
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = (e - s) / 5; if (b == "" || t < b) print t; else print b }')
  done
  atoms=$(grep -c '^ATOM' "$f")
  awk -v f="$f" -v t="$best" -v a="$atoms" 'BEGIN { printf "%-20s %d atoms, %.4f s per analysis (best of 3 x 5), %.1f us/atom\n", f, a, t, 1e6 * t / a }'
done

echo
echo "== A folder of models (PDB and mmCIF, gzip) through multi and the workflow =="
mkdir -p folder
cp "$pred"/*.gz folder/
"$cli" multi --jobs 2 --threads 1 --format json --out-dir multi_out folder/*.gz > multi.json
python3 - <<'PY'
import json
rows = json.load(open("multi.json"))["analysis_list"]
print(f"{len(rows)} models; by confident average:")
for r in sorted(rows, key=lambda r: -r.get("confident_average_score", 0)):
    print(f"  {r['structure']:<36} confident {r.get('confident_average_score', float('nan')):7.4f} "
          f"({r.get('confident_count', 0)} residues, {r.get('left_out_count', 0)} left out), "
          f"window pass {100 * r['window_pass_fraction']:5.1f}%")
PY
# The PDB and mmCIF files of one model differ in their secondary structure only (the mmCIF
# carries DSSP's ranges, the PDB file none, so it is computed): with it computed for both,
# each pair agrees.
"$cli" multi --jobs 2 --threads 1 --format json --secondary-structure computed --out-dir multi_ss folder/*.gz > multi_ss.json
python3 - <<'PY'
import json
rows = json.load(open("multi_ss.json"))["analysis_list"]
by = {}
for r in rows:
    by.setdefault(r["structure"].replace("-2.tsm", ".tsm"), []).append(
        (r["average_score"], r.get("confident_average_score"), r["window_pass_fraction"]))
pairs = [v for v in by.values() if len(v) == 2]
same = sum(1 for a, b in pairs if a == b)
print(f"secondary structure computed for every file: {same} of {len(pairs)} PDB/mmCIF pairs agree exactly")
PY
if command -v snakemake >/dev/null; then
  snakemake -s "$OLDPWD/workflow/Snakefile" --cores 2 --quiet \
    --config structures="$PWD/folder" shards=2 outdir=run cli="$cli" > snakemake.log 2>&1 &&
    echo "workflow over the folder: $(($(wc -l < run/list.tsv) - 1)) rows in run/list.tsv" ||
    echo "WORKFLOW FAILED (see snakemake.log)"
fi
