#!/usr/bin/env bash
# Spanner2D on the shared data set's membrane chains: the segmentation method
# cross-validated per class on topology_train (single-pass, multi-pass, SP+TM, SP,
# globular, beta barrels), train328 and soluble3209, with its speed; then the 328
# alpha-helical membrane protein chains
# scored against their structure-derived segments side by side with four published
# predictors (predictions shipped with the data) and with TopPred and EMBOSS tmap run here
# on the same sequences: the window scan with its defaults, and the segmentation method
# with the shipped parameters (in-sample there: its cross-validated train328 row is in the
# table above). Also prints both methods' throughput and the share of the 3,209 soluble
# chains given a segment (false positives).
# Data: the shared data set's tm folder (train328 sequences, their segments and the
# published predictors' predictions, soluble3209.fasta); toppred and EMBOSS tmap on the PATH.
# Usage: bench/spanner2d_tm.sh [DATA_FOLDER]
set -euo pipefail
source "$(dirname "$0")/common.sh"
need_data 'tm/topology_train.3line' 'tm/topology_train.tsv' 'tm/train328.fasta' 'tm/train328.truth.3line' 'tm/soluble3209.fasta' 'tm/train328.phobius.3line' 'tm/train328.philius.3line' 'tm/train328.topcons.3line' 'tm/train328.purestm.3line'
tm="$data/tm"
build="$(pwd)/$build"
resolution="${RESOLUTION:-2}"
scripts/build.sh >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/seq"
# One FASTA file per chain, in the order of the set.
awk -v dir="$tmp/seq" '/^>/ { id = substr($1, 2); file = dir "/" id ".fasta"; print id > (dir "/order.txt") }
                       { print > file }' "$tm/train328.fasta"
mapfile -t ids < "$tmp/seq/order.txt"
files=()
for id in "${ids[@]}"; do files+=("$tmp/seq/$id.fasta"); done
residues=$(grep -v '^>' "$tm/train328.fasta" | tr -d '\n\r' | wc -c)

cd "$tmp"
start=$(date +%s.%N)
"$build/bin/tessmol-cli" spanner2d --method window --residues --resolution "$resolution" "${files[@]}" > spanner2d.out 2> spanner2d.err
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v n="$residues" -v c="${#files[@]}" 'BEGIN {
  printf "Spanner2D: %d chains, %d residues in %.1f s: %.0f residues/s\n", c, n, e - s, n / (e - s) }'

# Predictions in the 3-line layout: the last column of each model's residue table.
awk -F'\t' '
  /^Protein summary for / { if (id != "") print id "\n" seq "\n" labels; id = ">" substr($0, 21); sub(/\.fasta:$/, "", id); seq = ""; labels = ""; next }
  NF == 16 && $1 ~ /^[0-9]+$/ { labels = labels $16; seq = seq "X" }
  END { if (id != "") print id "\n" seq "\n" labels }' spanner2d.out > spanner2d.3line

# TopPred: every candidate segment (certain and putative).
for id in "${ids[@]}"; do
  seq=$(grep -v '^>' "seq/$id.fasta" | tr -d '\n\r')
  toppred -g none -t none "seq/$id.fasta" < /dev/null 2>/dev/null |
    awk -v id="$id" -v n="${#seq}" '
      /^ *[0-9]+ +[0-9]+ - [0-9]+/ { from[++k] = $2; to[k] = $4 }
      END { s = ""; for (i = 1; i <= n; i++) { c = "0"; for (j = 1; j <= k; j++) if (i >= from[j] && i <= to[j]) c = "1"; s = s c }
            print ">" id; print "X"; print s }'
done > toppred.3line

# EMBOSS tmap, one sequence at a time (it expects an alignment otherwise).
for id in "${ids[@]}"; do
  seq=$(grep -v '^>' "seq/$id.fasta" | tr -d '\n\r')
  tmap -sequences "seq/$id.fasta" -outfile stdout -graph none -auto 2>/dev/null |
    awk -v id="$id" -v n="${#seq}" '
      /^# Sequence: / { block++ }
      block == 1 && /^ +[0-9]+ +[0-9]+ +[0-9]+ / { from[++k] = $1; to[k] = $2 }
      END { s = ""; for (i = 1; i <= n; i++) { c = "0"; for (j = 1; j <= k; j++) if (i >= from[j] && i <= to[j]) c = "1"; s = s c }
            print ">" id; print "X"; print s }'
done > tmap.3line

# The segmentation method, cross-validated by the fitting tool on the data's own folds
# (topology_train cv0-cv4; train328 and soluble3209 chains joined to them, see the tool):
# the table per class it prints.
"$build/bin/fit_tm_segments" "$tm" params.txt segments_cv.3line | grep '^#'
# Speed of the segmentation alone with the shipped parameters: every topology_train
# sequence in one FASTA file, one core.
awk 'NR % 3 == 1 { print $1 } NR % 3 == 2' "$tm/topology_train.3line" > topology.fasta
topologyResidues=$(awk 'NR % 3 == 2' "$tm/topology_train.3line" | tr -d '\n\r' | wc -c)
start=$(date +%s.%N)
"$build/bin/tessmol-cli" spanner2d --method segments --format 3line topology.fasta > segments_topology.3line 2>/dev/null
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v n="$topologyResidues" 'BEGIN { printf "Segments: %d residues in %.2f s: %.0f residues/s\n", n, e - s, n / (e - s) }'
"$build/bin/tessmol-cli" spanner2d --method segments --format 3line "$tm/train328.fasta" > segments.3line

# The shipped parameters saw these soluble chains: in-sample, for reference only.
"$build/bin/tessmol-cli" spanner2d --method segments --format 3line "$tm/soluble3209.fasta" |
  awk 'NR % 3 == 0 { n++; if ($0 ~ /M/) p++ } END { printf "Segments on soluble3209 (in-sample): %d of %d chains with a segment (%.4f)\n", p, n, p / n }'
mkdir soluble
awk -v dir=soluble '/^>/ { if (k++ % 100 == 0) file = sprintf("%s/part%03d.fasta", dir, k / 100) } { print > file }' "$tm/soluble3209.fasta"
"$build/bin/tessmol-cli" spanner2d --method window --format 3line --resolution "$resolution" soluble/part*.fasta 2>/dev/null |
  awk 'NR % 3 == 0 { n++; if ($0 ~ /M/) p++ } END { printf "Window scan on soluble3209: %d of %d chains with a segment (%.4f)\n", p, n, p / n }'

"$build/bin/bench_tm_score" "$tm/train328.truth.3line" \
  Spanner2D=spanner2d.3line Segments-shipped=segments.3line TopPred=toppred.3line tmap=tmap.3line \
  Phobius="$tm/train328.phobius.3line" Philius="$tm/train328.philius.3line" \
  TOPCONS="$tm/train328.topcons.3line" PureseqTM="$tm/train328.purestm.3line"
