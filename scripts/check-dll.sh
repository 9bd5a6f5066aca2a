#!/usr/bin/env bash
# QXKit.dll as the game and players see it: the two entry points exported undecorated, only
# Windows' own DLLs imported, no path of the machine that built it, and a version resource
# that names the product and carries the version in VERSION.
# Usage: check-dll.sh QXKit.dll SOURCE_DIR VERSION
set -euo pipefail
dll=$1 source_dir=$2 version=$3
tool=i686-w64-mingw32
export LC_ALL=C
status=0
fail() { echo "$*"; status=1; }

dump=$($tool-objdump -p "$dll")
for export in SKSEPlugin_Query SKSEPlugin_Load; do
  grep -qE "\] ${export}\$" <<<"$dump" || fail "missing export $export"
done
allowed='^(KERNEL32|msvcrt|SHELL32|SHLWAPI|USER32|ADVAPI32)\.dll$'
while read -r name; do
  [[ $name =~ $allowed ]] || fail "imports $name, which Windows does not ship"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

# Assertion reports name their files relative to the source tree.
if grep -qaF "${source_dir%/}/" "$dll"; then
  fail "holds the source folder's path ${source_dir%/}/: $(grep -aoF "${source_dir%/}/" "$dll" | wc -l) times"
fi

# The version resource: the fixed part (numbers the file's properties show) and the strings.
rsrc=$(mktemp)
trap 'rm -f "$rsrc"' EXIT
$tool-objcopy -O binary --only-section=.rsrc "$dll" "$rsrc" 2>/dev/null || : >"$rsrc"
IFS=. read -r major minor patch _ <<<"$version"
want_ms=$(( (major << 16) | ${minor:-0} )) want_ls=$(( ${patch:-0} << 16 ))
signature=$(grep -obUaP '\xBD\x04\xEF\xFE' "$rsrc" | head -n 1 | cut -d: -f1 || true)
if [ -z "$signature" ]; then
  fail "no version resource"
else
  # After the signature and the structure version: file version (MS, LS), product version.
  read -r file_ms file_ls product_ms product_ls < <(od -An -tu4 -j $((signature + 8)) -N 16 "$rsrc")
  [ "$file_ms $file_ls" = "$want_ms $want_ls" ] ||
    fail "file version $((file_ms >> 16)).$((file_ms & 0xFFFF)).$((file_ls >> 16)).$((file_ls & 0xFFFF)), VERSION says $version"
  [ "$product_ms $product_ls" = "$want_ms $want_ls" ] ||
    fail "product version $((product_ms >> 16)).$((product_ms & 0xFFFF)).$((product_ls >> 16)).$((product_ls & 0xFFFF)), VERSION says $version"
fi
# Each string of the resource is its key followed by its value, in UTF-16.
strings=$($tool-strings -el "$rsrc")
value_of() { awk -v key="$1" 'found { print; exit } $0 == key { found = 1 }' <<<"$strings"; }
expect_value() {
  local got
  got=$(value_of "$1")
  [ "$got" = "$2" ] || fail "version string $1 is '$got', expected '$2'"
}
expect_value FileVersion "$version"
expect_value ProductVersion "$version"
expect_value ProductName QXKit
expect_value OriginalFilename QXKit.dll
[ -n "$(value_of FileDescription)" ] || fail "no file description"
grep -qx Translation <<<"$strings" || fail "no translation entry: Windows would show none of the strings"

[ $status -eq 0 ] && echo "QXKit.dll: exports, imports, paths and version $version as the game and players need them"
exit $status
