#!/usr/bin/env bash
# Runs the win32 build's tests under Wine with one persistent wineserver for the whole run,
# so that each test process starts in a tenth of a second.
set -euo pipefail
build=$1 jobs=${2:-2}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=$here/$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/scripts/wine-prefix.sh"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Wine's own session processes start with the first program and live as long as the server;
# start them here, away from ctest's output pipes, which they would otherwise hold open.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
cd "$build" && ctest --output-on-failure -j "$jobs"
