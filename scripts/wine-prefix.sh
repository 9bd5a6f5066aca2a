#!/usr/bin/env bash
# Creates the Wine prefix of the win32 build once, headless, and keeps its Documents
# folder inside the prefix instead of the Linux home folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win32/wineprefix}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/.qxkit-ready" ] && exit 0
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
for docs in "$WINEPREFIX"/drive_c/users/*/Documents; do
  if [ -L "$docs" ]; then rm "$docs" && mkdir -p "$docs"; fi
done
touch "$WINEPREFIX/.qxkit-ready"
