#!/usr/bin/env bash
# Writes the symbol map of the shipped QXKit.dll (read by `qxkit where`) from the unstripped
# image it was stripped from: the version, the shipped file's size and SHA-256, the code
# section's range, and every function of the DLL by its offset from the image base (as crash
# logs print them), demangled, with its source file and line where the debug information has
# them, sorted by offset; and last, their number.
# Usage: symbol-map.sh UNSTRIPPED.dll SHIPPED.dll VERSION OUT.map [COMPILE_DIR]
# COMPILE_DIR is the folder the objects were compiled in, as their debug information records it
# (relative to the source tree when inside it); files named relative to it are named from the
# source tree's root in the map.
set -euo pipefail
full=$1 shipped=$2 version=$3 out=$4 compile_dir=${5:-}
tool=i686-w64-mingw32
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The offsets are the shipped file's only when stripping left every loaded byte where it was.
$tool-objcopy -O binary "$full" "$work/full.image"
$tool-objcopy -O binary "$shipped" "$work/shipped.image"
loaded_sections() { $tool-objdump -h "$1" | awk '/^ +[0-9]+ / { head = $2 " " $3 " " $4; getline; if (/ALLOC/) print head }'; }
if ! cmp -s "$work/full.image" "$work/shipped.image" ||
   [ "$(loaded_sections "$full")" != "$(loaded_sections "$shipped")" ]; then
  echo "symbol-map.sh: $shipped is not $full stripped: its loaded sections differ" >&2
  exit 1
fi

base=$($tool-objdump -p "$full" | awk '$1 == "ImageBase" { print $2 }')
read -r text_size text_vma < <($tool-objdump -h "$full" | awk '$2 == ".text" { print $3, $4 }')

# Function symbols of the code section: offset, type (T global, t local), demangled name. A C
# name carries the target's leading underscore, which the export table does not.
$tool-nm --defined-only -C "$full" | awk -v base="$base" '
  function hex(s,   n, i) {
    n = 0; s = tolower(s)
    for (i = 1; i <= length(s); ++i) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return n
  }
  $2 == "T" || $2 == "t" {
    name = $0; sub(/^[^ ]+ [^ ]+ /, "", name)
    if (name ~ /^\./) next  # section symbols
    if (name ~ /^_/ && name !~ /[:(<]/) name = substr(name, 2)
    printf "%08X\t%s\t%s\n", hex($1) - hex(base), $2, name
  }' | sort -t "$(printf '\t')" -k1,1 -k2,2 -k3,3 | awk -F '\t' '$1 != last { print; last = $1 }' >"$work/functions"

# Source file and line of each function's first instruction, from the line tables. Where there
# is none addr2line falls back to the nearest file symbol, which names no line and often the
# wrong file: those are left out.
awk -F '\t' -v base="$base" '
  function hex(s,   n, i) {
    n = 0; s = tolower(s)
    for (i = 1; i <= length(s); ++i) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return n
  }
  { printf "%08x\n", hex($1) + hex(base) }' "$work/functions" |
  $tool-addr2line -e "$full" | sed -e 's/ (discriminator [0-9]*)$//' -e '/:[0-9]*[1-9][0-9]*$/!s/.*//' |
  awk -v dir="${compile_dir%/}/" 'dir != "/" && index($0, dir) == 1 { $0 = substr($0, length(dir) + 1) } { print }' >"$work/lines"
[ "$(wc -l <"$work/lines")" = "$(wc -l <"$work/functions")" ] || { echo "symbol-map.sh: addr2line lost lines" >&2; exit 1; }

{
  printf '# Functions of QXKit.dll by offset from its image base; read by qxkit where\n'
  printf 'version\t%s\n' "$version"
  printf 'module\tQXKit.dll\n'
  printf 'size\t%s\n' "$(stat -c %s "$shipped")"
  printf 'sha256\t%s\n' "$(sha256sum "$shipped" | cut -d ' ' -f 1)"
  printf 'code\t%08X\t%08X\n' $((16#$text_vma - 16#$base)) $((16#$text_vma - 16#$base + 16#$text_size))
  paste "$work/functions" "$work/lines" | awk -F '\t' '{ if ($4 == "") print $1 "\t" $3; else print $1 "\t" $3 "\t" $4 }'
  printf 'end\t%s\n' "$(wc -l <"$work/functions")"  # last: the reader refuses a map cut short
} >"$out.tmp"
mv "$out.tmp" "$out"
