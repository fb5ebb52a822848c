#!/usr/bin/env bash
# The sharded workflow against one multi run: locally with Snakemake, and with "slurm" as
# the second argument through the sbatch profile on a one-node Slurm started here (as
# root; otherwise the test says why and is skipped). Exit 77 means skipped, and only for
# what scripts/install-deps.sh cannot provide: root, and a machine that lets slurmd start.
# A missing tool it installs (snakemake, slurm-wlm, munge) fails the test.
# Usage: workflow_test.sh CLI local|slurm SOURCE_DIR
set -euo pipefail
cli=$1 mode=$2 source=$3
command -v snakemake >/dev/null || { echo "snakemake is missing: scripts/install-deps.sh installs it"; exit 1; }
work=$(mktemp -d)
chmod 755 "$work"  # the munge user goes through it
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  sleep 1
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
data="$source/tests/data"
# Names a shell would read as code, with blanks, and with a byte that is not UTF-8; a file
# with no atoms and a missing one, which must be listed and never counted.
mkdir odd
cp "$data/1CRN.pdb" "odd/5'-nucleotidase.pdb"
cp "$data/1UBQ.pdb" "odd/x';touch PWNED;echo '.pdb"
cp "$data/5PTI.pdb" 'odd/$(touch PWNED) $HOME and blanks.pdb'
cp "$data/1AKI.pdb" "odd/$(printf 'caf\351 au lait.pdb')"
# A second file of the first one's name, in another folder: its own result, in every shard.
mkdir same && cp "$data/1A8O.pdb" "same/5'-nucleotidase.pdb"
printf '%s\n' "$PWD/odd/5'-nucleotidase.pdb" "$PWD/odd/x';touch PWNED;echo '.pdb" \
  "$PWD/odd/\$(touch PWNED) \$HOME and blanks.pdb" "$data/biopython_header.pdb" \
  "$PWD/odd/$(printf 'caf\351 au lait.pdb')" "$data/mmcif/4HHB.cif.gz" "$PWD/odd/missing.pdb" \
  "$PWD/same/5'-nucleotidase.pdb" > files.txt
status=0
mkdir single && (cd single && "$cli" multi --custom-table ../single.stb --file-list ../files.txt > ../single.tsv 2>../single.err) ||
  status=$?
[ "$status" -eq 3 ] || { echo "one multi run: status $status, not 3 (some inputs unreadable)"; cat single.err; exit 1; }

profile=()
if [ "$mode" = slurm ]; then
  [ "$(id -u)" -eq 0 ] || { echo "starting Slurm needs root"; exit 77; }
  command -v slurmctld >/dev/null && command -v munged >/dev/null || {
    echo "slurmctld or munged is missing: scripts/install-deps.sh installs slurm-wlm and munge"
    exit 1
  }
  mkdir -p slurm/spool slurm/state slurm/log munge
  # munge: a key of our own, its socket and pid in this folder, run as the munge user.
  dd if=/dev/urandom of=munge/munge.key bs=1024 count=1 2>/dev/null
  chown -R munge: munge && chmod 755 munge && chmod 400 munge/munge.key
  runuser -u munge -- munged --foreground --key-file="$PWD/munge/munge.key" --socket="$PWD/munge/munge.socket" \
    --pid-file="$PWD/munge/munged.pid" --log-file="$PWD/munge/munged.log" --seed-file="$PWD/munge/seed" \
    > munge/munged.out 2>&1 &
  pids+=($!)
  cat > slurm/slurm.conf <<CONF
ClusterName=tessmoltest
SlurmctldHost=localhost
AuthType=auth/munge
AuthInfo=socket=$PWD/munge/munge.socket
CryptoType=crypto/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$PWD/slurm/state
SlurmdSpoolDir=$PWD/slurm/spool
SlurmctldPidFile=$PWD/slurm/slurmctld.pid
SlurmdPidFile=$PWD/slurm/slurmd.pid
SlurmctldLogFile=$PWD/slurm/log/slurmctld.log
SlurmdLogFile=$PWD/slurm/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=localhost CPUs=2 State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$PWD/slurm/slurm.conf" USER=root
  for i in $(seq 50); do [ -S munge/munge.socket ] && break; sleep 0.1; done
  slurmctld -D -f "$SLURM_CONF" > slurm/log/ctld.out 2>&1 &
  pids+=($!)
  slurmd -D -f "$SLURM_CONF" > slurm/log/d.out 2>&1 &
  pids+=($!)
  up=no
  for i in $(seq 60); do
    if timeout 3 sinfo -h -o %T 2>/dev/null | grep -q idle; then up=yes; break; fi
    sleep 0.5
  done
  # Installed but not started: a container may withhold what slurmd needs (cgroups), which
  # no package provides; skipped, with the daemons' last words.
  if [ "$up" != yes ]; then
    echo "Slurm did not come up:"
    tail -n 5 slurm/log/*.log munge/munged.log 2>/dev/null || true
    exit 77
  fi
  profile=(--profile "$source/workflow/profiles/slurm")
else
  profile=(--cores 2)
fi

# workflow OUTDIR CLI: the workflow over files.txt in three shards.
workflow() {
  snakemake -s "$source/workflow/Snakefile" "${profile[@]}" --quiet \
    --config structures="$PWD/files.txt" shards=3 outdir="$1" cli="$2" > "$1.log" 2>&1
}
sanitizer='ERROR: AddressSanitizer|LeakSanitizer|runtime error:|SUMMARY: UndefinedBehaviorSanitizer'

workflow run "$cli" || { echo "snakemake failed:"; tail -30 run.log; exit 1; }
if [ -n "$(find . -name PWNED)" ]; then echo "a file name was run as a command"; exit 1; fi
if grep -E -l "$sanitizer" run/shards/*.log; then echo "a shard printed a sanitizer report"; exit 1; fi
cmp single.stb run/custom.stb || { echo "the merged table differs from one run's"; exit 1; }
# The shards' lists pass through JSON, where a byte that is not UTF-8 becomes U+FFFD.
python3 -c 'import sys; a, b = (open(p, "rb").read().decode("utf-8", "replace") for p in sys.argv[1:]); sys.exit(a != b)' \
  single.tsv run/list.tsv || { echo "the merged list differs from one run's"; diff single.tsv run/list.tsv; exit 1; }
python3 - run/list.json <<'PY' || exit 1
import json, os, sys
run = json.load(open(sys.argv[1], encoding="utf-8"))
rows, failures = run["analysis_list"], run.get("failures", [])
names = sorted(os.path.basename(f["file"]) for f in failures)
assert names == ["biopython_header.pdb", "missing.pdb"], names
assert [f["input_index"] for f in failures] == [3, 6], failures
assert len(rows) == 6, rows
named = [r["result_file"] for r in rows if "\ufffd" not in r["result_file"]]  # not UTF-8: not the name on disk
assert len(named) == 5 and all(os.path.isfile(f) for f in named), named
assert len([n for n in os.listdir("run/results") if n.endswith(".tsm")]) == 6, os.listdir("run/results")
assert {"5'-nucleotidase.tsm", "5'-nucleotidase-2.tsm"} <= set(os.listdir("run/results"))
assert any("\ufffd" in r["structure"] for r in rows), "the name that is not UTF-8"
PY
grep -q "2 structure file(s) were not analysed" run.log && grep -q "odd/missing.pdb" run.log ||
  { echo "the run's last message does not name the files it could not read:"; tail run.log; exit 1; }
echo "$mode workflow: the merged table and list equal one run's; unreadable files listed, odd names kept"

# A structure file that changes runs its shard again: the list is the new one run's.
cp "$data/1UBQ.pdb" "odd/5'-nucleotidase.pdb"
(cd single && "$cli" multi --file-list ../files.txt > ../single2.tsv 2>/dev/null) || true
workflow run "$cli" || { echo "snakemake failed on the changed file:"; tail -30 run.log; exit 1; }
python3 -c 'import sys; a, b = (open(p, "rb").read().decode("utf-8", "replace") for p in sys.argv[1:]); sys.exit(a != b)' \
  single2.tsv run/list.tsv || { echo "the list after a file changed is not one new run's"; diff single2.tsv run/list.tsv; exit 1; }
! cmp -s single.tsv single2.tsv || { echo "the changed file changed nothing"; exit 1; }

# A shard that fails after writing everything (a result it could not write, a sanitizer's
# report) fails the workflow; on Slurm, where each run takes longer, the second only.
stand_ins=(unwritten leaky)
[ "$mode" = slurm ] && stand_ins=(leaky)
for stand_in in "${stand_ins[@]}"; do
  cat > "$stand_in.sh" <<EOF
#!/usr/bin/env bash
"$cli" "\$@"
status=\$?
[ "\$1" = multi ] || exit \$status
[ "$stand_in" = leaky ] && echo "==1==ERROR: LeakSanitizer: detected memory leaks" >&2 && exit 23
exit 1
EOF
  chmod +x "$stand_in.sh"
  if workflow "$stand_in" "$PWD/$stand_in.sh"; then
    echo "snakemake succeeded with a CLI that failed ($stand_in)"; exit 1
  fi
  [ ! -e "$stand_in/list.tsv" ] || { echo "a list was merged from failed shards ($stand_in)"; exit 1; }
done
echo "$mode workflow: failed shards fail the workflow"
