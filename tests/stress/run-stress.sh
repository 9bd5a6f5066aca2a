#!/usr/bin/env bash
# make stress: the stress program natively with its checks, then under helgrind and under
# drd, then the Windows build's against QXKit.dll under Wine. A tool's run fails on any
# report that valgrind.supp beside this script does not explain; the figures of each run
# and its report count are printed.
#   run-stress.sh <qx_stress> <seconds> [<win32 build folder>]
set -uo pipefail

program=$1
seconds=$2
win32=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
logs=$(dirname "$program")/valgrind
mkdir -p "$logs"
failed=0

# The tools name the C library's frames by its debug symbols when they are installed
# (libc6-dbg:i386; scripts/bootstrap.sh installs them), and by its file alone when not, and
# the suppressions must match the names the tools give: valgrind.supp holds what reads the
# same either way, the rest comes from the file for the C library as found. Valgrind reads
# the symbols by the library's build ID; it would also fetch them from a debuginfod server
# named in DEBUGINFOD_URLS, which the runs do not use, so that what is installed decides.
unset DEBUGINFOD_URLS
libc=$(ldd "$program" | awk '$1 == "libc.so.6" { print $3 }')
build_id=$(readelf -n "$libc" 2>/dev/null | awk '/Build ID:/ { print $3 }')
if [ -n "$build_id" ] && [ -f "/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug" ]; then
  libc_supp="$here/valgrind-libc-debug.supp"
  echo "(the C library's debug symbols are installed: its frames are matched by name)"
else
  libc_supp="$here/valgrind-libc-stripped.supp"
  echo "(no debug symbols for $libc: its frames are matched by file; scripts/bootstrap.sh installs them)"
fi

echo "== native, ${seconds} s"
"$program" --seconds "$seconds" || failed=1

for tool in helgrind drd; do
  echo "== ${tool}, ${seconds} s"
  log="$logs/$tool.log"
  options=()
  # drd counts a free as a write: a free racing with a use is then reported, and a block the
  # allocator hands from one thread to another is ordered by its free (without this, drd
  # now and then takes the new owner's first store for a race with the old owner's last use).
  [ "$tool" = drd ] && options+=(--free-is-write=yes)
  # Helgrind 3.19 fails an assertion in every pthread_join on this 32-bit glibc: under it the
  # program meets each thread at a barrier at its end instead of joining it.
  no_join=()
  [ "$tool" = helgrind ] && no_join=(env QX_STRESS_NO_JOIN=1)
  # Symbols bound at start: the dynamic loader's lazy binding writes its tables from
  # whichever thread calls a function first, which is the loader's business, not ours.
  "${no_join[@]}" env LD_BIND_NOW=1 valgrind --tool="$tool" "${options[@]}" --default-suppressions=no --suppressions="$here/valgrind.supp" --suppressions="$libc_supp" \
    --error-exitcode=99 --error-limit=no --num-callers=30 --log-file="$log" \
    "$program" --seconds "$seconds"
  status=$?
  summary=$(grep -h "ERROR SUMMARY" "$log" | tail -1 | sed 's/^==[0-9]*== //')
  echo "$tool: ${summary:-no summary}"
  if [ $status -ne 0 ]; then
    echo "$tool: FAILED (exit $status); the reports are in $log" >&2
    failed=1
  fi
done

if [ -n "$win32" ]; then
  echo "== Windows build under Wine, ${seconds} s"
  here_root=$(cd "$here/../.." && pwd)
  export WINEPREFIX=${WINEPREFIX:-$here_root/$win32/wineprefix} WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$here_root/scripts/wine-prefix.sh"
  # A hang is a failure too: the run gets its seconds and two minutes more.
  (cd "$win32" && timeout $((seconds + 120)) wine ./qx_stress.exe --seconds "$seconds") || { echo "wine: FAILED" >&2; failed=1; }
fi
exit $failed
