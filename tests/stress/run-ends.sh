#!/usr/bin/env bash
# make stress-ends: the Windows build's tests that end their process while the plugin's
# threads still run (the health-gating cleanup thread, the skill-book polling thread, script
# threads that held files, files left open for the end to close), each run again and again
# under Wine while busy loops keep the processors loaded, so that the ending process races
# with threads that the system preempts at unlucky moments. Counts the runs, the failures and
# each exit status, keeps every failing run's output, and fails on any failure.
#   run-ends.sh <win32 build folder> [rounds] [load] [jobs]
# rounds: how often each test runs (300 by default); load: the number of processes spinning
# beside the tests (one by default: the other processor of a two-processor machine), or
# "heavy" (stress-ng, below); jobs: test
# processes at a time (two by default, as the test run starts them). Headless.
set -uo pipefail

build=$1
rounds=${2:-300}
loads=${3:-1}
jobs=${4:-2}
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$build" && pwd)
logs=$build/stress-ends
rm -rf "$logs" && mkdir -p "$logs"

# Each a program with its arguments. Every one boots QXKit.dll and leaves a thread of it
# running (or a file open) when its process ends: the stress program ends with the two
# script threads that never stop, the cleanup thread and a 1 ms polling thread still running.
tests=(
  "host_tests.exe --gtest_filter=QXIOUtilAtTheEnd.LinesWrittenWithoutCloseFileAreInTheFileWhenTheGameEnds"
  "host_tests.exe --gtest_filter=QXIOUtilAtTheEnd.AScriptThreadStillUsingFilesWhenTheGameEndsLetsItEndCleanly"
  "host_tests.exe --gtest_filter=QXIOUtilScripts.ScriptThreadsRacingOnTwoFilesAllReturnAndLoseNoLine"
  "host_tests.exe --gtest_filter=SkillBookMessages.PollingThreadRunsBesideTheGame"
  "host_tests.exe --gtest_filter=QXPapyrusFunc.PollingRecountsForAPositiveInterval"
  "host_tests.exe --gtest_filter=Startup.EverySettingIsLoggedInFileOrderWithItsFormat"
  "host_tests.exe --gtest_filter=GameplayFixSites.GatingArithmeticRoundsEachStepToSinglePrecision"
  "host_tests.exe --gtest_filter=ActiveEffectReads.TwoThreadsPackingAndDroppingTheSameIdentifier"
  "qx_stress.exe --seconds 1"
)

# QX_ENDS_ONLY=<pattern>: only the entries that match it (grep -E).
if [ -n "${QX_ENDS_ONLY:-}" ]; then
  mapfile -t tests < <(printf '%s\n' "${tests[@]}" | grep -E -- "$QX_ENDS_ONLY")
  [ ${#tests[@]} -gt 0 ] || { echo "run-ends: no test matches '$QX_ENDS_ONLY'" >&2; exit 2; }
fi

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/scripts/wine-prefix.sh"
wineserver -p || { echo "run-ends: no persistent wineserver for $WINEPREFIX (a stale one? wineserver -k)" >&2; exit 2; }

# The load: busy loops, each pinned to a processor of its own counted from the last when
# taskset can pin it; or "heavy": stress-ng spinning on every processor while it also forks,
# switches contexts and churns memory, as a machine that builds beside the tests does.
cpus=$(nproc)
busy=()
if [ "$loads" = heavy ]; then
  # Installed here, as the heavy load is the only thing that needs it (make test does not).
  if ! command -v stress-ng >/dev/null && [ "$(id -u)" -eq 0 ]; then
    echo "run-ends: installing stress-ng for the heavy load"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q --no-install-recommends stress-ng >/dev/null 2>&1 ||
      { apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends stress-ng >/dev/null; }
  fi
  command -v stress-ng >/dev/null || { echo "run-ends: the heavy load needs stress-ng (apt-get install stress-ng, as root)" >&2; exit 2; }
  stress-ng --cpu "$cpus" --fork 1 --switch 1 --vm 1 --vm-bytes 512M --quiet &
  busy+=($!)
else
  for ((i = 0; i < loads; i++)); do
    cpu=$(((cpus - 1 - i % cpus + cpus) % cpus))
    if command -v taskset >/dev/null; then
      taskset -c "$cpu" sh -c 'while :; do :; done' &
    else
      sh -c 'while :; do :; done' &
    fi
    busy+=($!)
  done
fi
stop() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

echo "== ${#tests[@]} tests, $rounds rounds each, $jobs at a time, load: $loads on $cpus processor(s)"
cd "$build"
# One run: its output kept only when it failed, its status in a file named after it.
run() {
  local number=$1 program=$2 arguments=$3 out="$logs/run-$1.txt"
  timeout 120 wine "./$program" $arguments >"$out" 2>&1 </dev/null
  local status=$?
  # A test program that passed says so; a status of 0 without that is a failure too.
  if [ $status -eq 0 ] && [ "$program" = host_tests.exe ] && ! grep -q '^\[  PASSED  \] 1 test' "$out"; then
    status=passless
  fi
  echo "$status $program $arguments" >"$logs/status-$number"
  if [ "$status" = 0 ]; then rm -f "$out"; else echo "run $number: $program $arguments: exit $status (output in $out)"; fi
}
runs=0
for ((round = 1; round <= rounds; round++)); do
  for entry in "${tests[@]}"; do
    runs=$((runs + 1))
    while (($(jobs -rp | wc -l) >= jobs + ${#busy[@]})); do wait -n; done
    run "$runs" "${entry%% *}" "${entry#* }" &
  done
  if ((round % 25 == 0)); then echo "round $round started: $runs runs"; fi
done
while (($(jobs -rp | wc -l) > ${#busy[@]})); do wait -n; done

failures=$(cat "$logs"/status-* | grep -vc '^0 ')
echo "== $runs runs, $failures failed"
cat "$logs"/status-* | grep -v '^0 ' | sort | uniq -c | sed 's/^ *\([0-9]*\) \([^ ]*\) /  \1 x exit \2: /'
rm -f "$logs"/status-*
[ "$failures" -eq 0 ]
