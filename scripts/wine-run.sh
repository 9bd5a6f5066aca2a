#!/usr/bin/env bash
# Runs a Windows program of the win32 build under Wine, in the build folder's own prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so ctest and gtest discovery go through it.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win32/wineprefix}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
