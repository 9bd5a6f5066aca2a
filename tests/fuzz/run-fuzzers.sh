#!/usr/bin/env bash
# Runs every fuzz target of the fuzz build for SECONDS each and prints one line per target:
# executions, coverage (edges), crashes. Nothing is written into the tree.
#
#   run-fuzzers.sh BUILD SECONDS          keeps new corpus entries in BUILD/corpus/<target>
#                                          and adds one line per target to BUILD/runs.tsv
#   run-fuzzers.sh --smoke BUILD SECONDS  the seed corpus, then SECONDS of fuzzing in a
#                                          throw-away corpus (what `make test` runs)
#
# FUZZ_TARGETS (default: all six) picks targets, e.g. FUZZ_TARGETS="text natives".
# Crashing inputs land in BUILD/crashes/<target>/, each target's output in
# BUILD/logs/<target>.log. A target stops at its first crash; the exit code is 1 then.
# keep-corpus.sh moves what a run found into the tree.
set -euo pipefail
smoke=0
if [ "${1:-}" = --smoke ]; then smoke=1; shift; fi
build=$(cd "$1" && pwd) seconds=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The targets write their input files over and over: in memory, where the system has such
# a folder (on disk, replacing a file's content waits for the disk).
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

failed=0
commit=$(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown)
for target in ${FUZZ_TARGETS:-settings overrides text files natives paths}; do
  seeds=$here/corpus/$target
  if [ $smoke -eq 1 ]; then
    corpus=$build/smoke/$target
    rm -rf "$corpus"
  else
    corpus=$build/corpus/$target
  fi
  crashes=$build/crashes/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$crashes" "$build/logs"
  # The VM stand-in keeps every script string for the life of the process, as the game's
  # string cache does, so the targets that make strings grow by a few hundred bytes per
  # input: room for ten minutes of that, below the 32-bit address space.
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -print_final_stats=1
           -artifact_prefix="$crashes/")
  [ -f "$here/$target.dict" ] && options+=(-dict="$here/$target.dict")
  # A settings or overrides file is read line by line, each line on its own: coverage is
  # reached within 1 KB, and longer inputs only slow each run down.
  case $target in settings | overrides) options+=(-max_len=1024) ;; esac

  before=$(ls "$crashes" | wc -l)
  status=0
  "$build/fuzz_$target" "${options[@]}" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  found=$(( $(ls "$crashes" | wc -l) - before ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  printf '%-16s %10s executions  coverage %5s edges  %d crashes\n' \
    "fuzz_$target" "${runs:-?}" "${edges:-?}" "$found"
  if [ $smoke -eq 0 ]; then
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$commit" "$target" \
      "$seconds" "${runs:-0}" "${edges:-0}" "$found" >>"$build/runs.tsv"
  fi
  if [ $status -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "  fuzz_$target failed (exit $status): see $log" >&2
    grep -m5 -E 'ERROR|invariant failed|runtime error|Test unit written' "$log" | sed 's/^/  /' >&2 || true
  fi
done
exit $failed
