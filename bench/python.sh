#!/usr/bin/env bash
# The Python module against the command line doing the same work, measured in one run:
#  - tessmol.analyse on GroEL-GroES (1AON) against tessmol-cli analyse of it (goal: within 10 %);
#  - analyse_many(jobs=2) over the 44 shared structures of bench/multi.sh against
#    tessmol-cli multi --jobs 2 --threads 1 (goal: within 10 %);
#  - Residues.to_numpy() of 1AON (goal: under 5 ms; the first call builds the array, later
#    calls return it).
# Best of 3 rounds each, wall-clock time.
# Usage: bench/python.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'pdb/large/1AON.pdb.gz' 'pdb/soluble' 'pdb/membrane_alpha'
cmake --build "$build" --target tessmol-cli tessmol_python >/dev/null
cli="$(pwd)/$build/bin/tessmol-cli"
export PYTHONPATH="$(pwd)/$build/python"
with_scratch 1AON
mkdir "$tmp/in" "$tmp/out"
for dir in soluble membrane_alpha membrane_beta membrane_frame opm nmr large; do
  for f in "$data/pdb/$dir"/*.pdb "$data/pdb/$dir"/*.pdb.gz; do
    [ -e "$f" ] || continue
    base=$(basename "$f" .gz)
    case "$f" in *.gz) gunzip -c "$f" > "$tmp/in/${dir}_$base" ;; *) cp "$f" "$tmp/in/${dir}_$base" ;; esac
  done
done
cd "$tmp/out"
/usr/bin/python3 - "$cli" "$tmp/1AON.pdb" "$tmp/in" <<'PY'
import glob, os, subprocess, sys, time
import tessmol

cli, groel, folder = sys.argv[1:4]
files = sorted(glob.glob(os.path.join(folder, "*.pdb")))

def best(run, rounds=3):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)

def quiet(args):
    subprocess.run([cli, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def report(what, module, command):
    print(f"{what}: module {module:.3f} s, command line {command:.3f} s, ratio {module / command:.3f} "
          f"({'within' if module <= 1.1 * command else 'OUTSIDE'} 10 %)")

report("analyse 1AON", best(lambda: tessmol.analyse(groel)), best(lambda: quiet(["analyse", groel])))
many = best(lambda: [None for _ in tessmol.analyse_many(files, jobs=2, errors="record")])
multi = best(lambda: quiet(["multi", "--jobs", "2", "--threads", "1", *files]))
report(f"{len(files)} structures, jobs 2", many, multi)

residues = tessmol.analyse(groel, resolution=0).residues
first = best(lambda: residues.to_numpy(), rounds=1)
fresh = []
for _ in range(5):
    r = tessmol.analyse(groel, resolution=0).residues
    start = time.perf_counter(); r.to_numpy(); fresh.append(time.perf_counter() - start)
again = best(lambda: residues.to_numpy())
print(f"to_numpy of {len(residues)} residues: {1000 * min(fresh):.2f} ms made (best of 5 results), "
      f"{1000 * again:.3f} ms again ({'under' if min(fresh) < 0.005 else 'OVER'} 5 ms)")
PY
