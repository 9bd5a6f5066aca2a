#!/usr/bin/env bash
# Packs the mod archive and the tools archive (with QXKit.dll's symbol map), then boots the packaged DLL in the simulated game under Wine,
# with the packaged qxKit.ini, printing the log it writes and the game code it patches.
set -euo pipefail
build=$1 version=$2 linuxTool=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

stage=dist/stage
archive=dist/QXKit-$version.zip
rm -rf "$stage" "$archive"
mkdir -p "$stage/SKSE/Plugins"
cp "$build/QXKit.dll" "$stage/SKSE/Plugins/QXKit.dll"
cp dist/qxKit.ini "$stage/SKSE/Plugins/qxKit.ini"
mkdir -p "$stage/Scripts/Source"
cp dist/Scripts/Source/*.psc "$stage/Scripts/Source/"
# The game binds a native only to a function declared in a loaded compiled script.
"$linuxTool" compile dist/Scripts/Source/*.psc --out "$stage/Scripts"
(cd "$stage" && zip -q -X -r "../$(basename "$archive")" SKSE Scripts)
rm -rf "$stage"
echo "packed $archive:"
unzip -l "$archive"

# The tools are not part of the mod (whose root is unpacked into Data): a second archive.
tools=dist/QXKit-tools-$version.zip
rm -f "$tools"
mkdir -p "$stage/windows" "$stage/linux"
cp "$build/qxkit.exe" "$stage/windows/qxkit.exe"
cp "$linuxTool" "$stage/linux/qxkit"
# The symbol map of the packed DLL beside each tool, where `qxkit where` looks for it; packing
# refuses a map of another build.
if [ "$(sed -n 's/^sha256\t//p' "$build/QXKit.map")" != "$(sha256sum "$build/QXKit.dll" | cut -d ' ' -f 1)" ]; then
  echo "package.sh: $build/QXKit.map is not the map of $build/QXKit.dll" >&2
  exit 1
fi
cp "$build/QXKit.map" "$stage/windows/QXKit.map"
cp "$build/QXKit.map" "$stage/linux/QXKit.map"
(cd "$stage" && zip -q -X -r "../$(basename "$tools")" windows linux)
rm -rf "$stage"
echo "packed $tools:"
unzip -l "$tools"

# Boot what was packed, not what was built.
check=$(mktemp -d)
trap 'rm -rf "$check"; wineserver -k 2>/dev/null || true' EXIT
unzip -q "$archive" -d "$check"
export WINEPREFIX=$here/$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/scripts/wine-prefix.sh"
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
echo
echo "booting the packaged QXKit.dll in the simulated game with the packaged qxKit.ini:"
wine "$build/qxkit.exe" boot --ini "$(winepath -w "$check/SKSE/Plugins/qxKit.ini")" \
  --dll "$(winepath -w "$check/SKSE/Plugins/QXKit.dll")" | tr -d '\r'
