#!/usr/bin/env bash
# qxkit where against the built QXKit.dll and its symbol map: offsets read from the shipped
# (stripped) DLL's own export table, and one of an internal function, name their functions;
# a crash log's addresses are all found; a map that is not the DLL's is warned about.
# Usage: where-test.sh RUNNER QXKIT DLL MAP OTHER_DLL (RUNNER runs QXKIT, e.g. under Wine)
set -euo pipefail
runner=$1 qxkit=$2 dll=$3 map=$4 other=$5
export LC_ALL=C
status=0
fail() { echo "FAIL: $*"; status=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
where() { "$runner" "$qxkit" where "$@" 2>"$work/err" | tr -d '\r'; }

# The export's offset as the game's loader sees it, from the stripped file.
dump=$(i686-w64-mingw32-objdump -p "$dll")
index=$(sed -n 's/^\s*\[ *\([0-9]*\)\] SKSEPlugin_Load$/\1/p' <<<"$dump")
export_rva=$(sed -n "s/^\s*\[ *$index\] +base\[ *[0-9]*\] *\([0-9a-f]*\) Export RVA$/\1/p" <<<"$dump")
[ -n "$export_rva" ] || { echo "FAIL: no export SKSEPlugin_Load in $dll"; exit 1; }
load=$(printf 'QXKit.dll+%08X' $((16#$export_rva + 5)))

# A function of the plugin's own code.
internal_at=$(awk -F '\t' 'length($1) == 8 && $2 ~ /^qx::/ && $3 ~ /^(fixes|papyrus|camera)\// { print $1; exit }' "$map")
[ -n "$internal_at" ] || { echo "FAIL: no function of the plugin's sources in $map"; exit 1; }
# Offsets compare as text: as numbers, awk reads "0000E900" and "000E0340" both as 0.
internal_name=$(awk -F '\t' -v at="$internal_at" '$1 "" == at "" { print $2 }' "$map")
internal_source=$(awk -F '\t' -v at="$internal_at" '$1 "" == at "" { print $3 }' "$map")
internal=$(printf 'QXKit.dll+%08X' $((16#$internal_at + 1)))
query_at=$(awk -F '\t' '$2 == "SKSEPlugin_Query" { print $1 }' "$map")
query=$(printf 'QXKit.dll+%08X' $((16#$query_at + 2)))

# The lines the entry points are defined on.
sources=$(dirname "$0")/../..
load_line=$(grep -n '^QX_EXPORT bool SKSEPlugin_Load(' "$sources/plugin/Exports.cpp" | cut -d: -f1)
query_line=$(grep -n '^QX_EXPORT bool SKSEPlugin_Query(' "$sources/plugin/Exports.cpp" | cut -d: -f1)

expect_line() {  # output, expected line
  grep -qxF -- "$2" <<<"$1" || fail "expected the line '$2' in:"$'\n'"$1"
}

# One address on the command line, the map found beside the tool, the DLL checked.
out=$(where --dll "$dll" "$load") || fail "where exited with $? for $load"
expect_line "$out" "$load  SKSEPlugin_Load+0x5  plugin/Exports.cpp:$load_line"
[ ! -s "$work/err" ] || fail "warned for the DLL the map was made from: $(cat "$work/err")"

out=$(where --map "$map" "0x$internal_at") || fail "where exited with $? for $internal_at"
expect_line "$out" "QXKit.dll+$internal_at  $internal_name+0x0  $internal_source"

# A crash log's excerpt: three addresses among other modules', on standard input and as a file.
cat >"$work/crash.log" <<LOG
Unhandled exception "EXCEPTION_ACCESS_VIOLATION" at 0x6DBC1755 $load
PROBABLE CALL STACK:
	[ 0] 0x6DBC1755 $load
	[ 1] 0x6DBC2001 $internal
	[ 2] 0x00A1B2C3 TESV.exe+061B2C3
	[ 3] 0x6DBC1692 $query
	[ 4] 0x00A1B2C3 TESV.exe+0400000
LOG
from_stdin=$("$runner" "$qxkit" where --map "$map" --dll "$dll" <"$work/crash.log" 2>&1 | tr -d '\r')
from_file=$(where --map "$map" --dll "$dll" "$work/crash.log")
expect_line "$from_stdin" "$load  SKSEPlugin_Load+0x5  plugin/Exports.cpp:$load_line"
expect_line "$from_stdin" "$internal  $internal_name+0x1  $internal_source"
expect_line "$from_stdin" "$query  SKSEPlugin_Query+0x2  plugin/Exports.cpp:$query_line"
[ "$(grep -c '^QXKit.dll+' <<<"$from_stdin")" = 3 ] || fail "expected three addresses in:"$'\n'"$from_stdin"
[ "$from_stdin" = "$from_file" ] || fail "a log file and standard input differ:"$'\n'"$from_file"

# A map that is not the DLL's: another DLL, and the same DLL with one byte changed.
cp "$dll" "$work/QXKit.dll"
printf '\x5A' | dd of="$work/QXKit.dll" bs=1 seek=$(($(stat -c %s "$dll") / 2)) conv=notrunc status=none
for wrong in "$other" "$work/QXKit.dll"; do
  if out=$(where --map "$map" --dll "$wrong" "$load"); then fail "where succeeded with the map of another DLL"; fi
  grep -q "warning: the map is not of .*another build" "$work/err" || fail "no warning for $wrong: $(cat "$work/err")"
  expect_line "$out" "$load  SKSEPlugin_Load+0x5  plugin/Exports.cpp:$load_line"
done
grep -q "SHA-256 differs" "$work/err" || fail "a changed byte of the same size was not seen: $(cat "$work/err")"

[ $status -eq 0 ] && echo "qxkit where: the export, an internal function ($internal_name) and a crash log resolve; a foreign map is warned about"
exit $status
