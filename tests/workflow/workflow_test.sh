#!/usr/bin/env bash
# The sharded workflow against one multi run: locally with Snakemake, and with "slurm" as
# the second argument through the sbatch profile on a one-node Slurm started here (as
# root; otherwise the test says why and is skipped). Exit 77 means skipped.
# Usage: workflow_test.sh CLI local|slurm SOURCE_DIR
set -euo pipefail
cli=$1 mode=$2 source=$3
command -v snakemake >/dev/null || { echo "snakemake is not installed"; exit 77; }
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
printf '%s\n' "$data/1CRN.pdb" "$data/1UBQ.pdb" "$data/5PTI.pdb" "$data/biopython_header.pdb" "$data/1AKI.pdb" \
  "$data/mmcif/4HHB.cif.gz" > files.txt
mkdir single && (cd single && "$cli" multi --custom-table ../single.stb $(cat ../files.txt) > ../single.tsv 2>/dev/null || true)

profile=()
if [ "$mode" = slurm ]; then
  [ "$(id -u)" -eq 0 ] || { echo "starting Slurm needs root"; exit 77; }
  command -v slurmctld >/dev/null && command -v munged >/dev/null || { echo "slurm-wlm or munge is not installed"; exit 77; }
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
  if [ "$up" != yes ]; then
    echo "Slurm did not come up:"
    tail -n 5 slurm/log/*.log munge/munged.log 2>/dev/null || true
    exit 77
  fi
  profile=(--profile "$source/workflow/profiles/slurm")
else
  profile=(--cores 2)
fi

snakemake -s "$source/workflow/Snakefile" "${profile[@]}" --quiet \
  --config structures="$PWD/files.txt" shards=3 outdir=run cli="$cli" > snakemake.log 2>&1 ||
  { echo "snakemake failed:"; tail -30 snakemake.log; exit 1; }
cmp single.stb run/custom.stb || { echo "the merged table differs from one run's"; exit 1; }
cmp single.tsv run/list.tsv || { echo "the merged list differs from one run's"; exit 1; }
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' run/list.json
echo "$mode workflow: the merged table and list equal one run's"
