#!/usr/bin/env bash
# Moves what long fuzz runs found into the tree, so that each corpus lives on from run to
# run and from machine to machine:
#
#   keep-corpus.sh BUILD
#
# For each target with inputs in BUILD/corpus/<target>, those that reach coverage the
# tree's corpus does not are added to tests/fuzz/corpus/<target> (libFuzzer's merge, which
# keeps the shortest input for each feature). The runs recorded in BUILD/runs.tsv move to
# tests/fuzz/corpus/runs.tsv, the corpus's ledger. Prints each target's executions over
# the life of its corpus.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ledger=$here/corpus/runs.tsv
export TMPDIR=${TMPDIR:-/tmp}

for target in settings overrides text files natives paths; do
  found=$build/corpus/$target
  if [ ! -d "$found" ] || [ -z "$(ls -A "$found")" ]; then continue; fi
  kept=$here/corpus/$target
  before=$(ls "$kept" | wc -l)
  mkdir -p "$build/logs"
  "$build/fuzz_$target" -merge=1 "$kept" "$found" >"$build/logs/$target.merge.log" 2>&1
  echo "fuzz_$target: $(( $(ls "$kept" | wc -l) - before )) new inputs kept in tests/fuzz/corpus/$target"
done

if [ -s "$build/runs.tsv" ]; then
  cat "$build/runs.tsv" >>"$ledger"
  : >"$build/runs.tsv"
fi
awk -F'\t' '!/^#/ { runs[$3] += $5; found[$3] += $7 }
  END { for (t in runs) printf "fuzz_%-10s %11d executions over the life of the corpus, %d crashes found\n", t, runs[t], found[t] }' \
  "$ledger" | sort
