#!/usr/bin/env bash
# The DLL must export the two entry points undecorated and import only Windows' own DLLs.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
status=0
for export in SKSEPlugin_Query SKSEPlugin_Load; do
  grep -qE "\] ${export}\$" <<<"$dump" || { echo "missing export $export"; status=1; }
done
allowed='^(KERNEL32|msvcrt|SHELL32|SHLWAPI|USER32|ADVAPI32)\.dll$'
while read -r name; do
  if [[ ! $name =~ $allowed ]]; then echo "imports $name, which Windows does not ship"; status=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
[ $status -eq 0 ] && echo "QXKit.dll: exports and imports as the game needs them"
exit $status
