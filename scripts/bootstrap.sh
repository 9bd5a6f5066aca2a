#!/usr/bin/env bash
# Installs what the builds and the Wine test run need. Does nothing when all is there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# clang and its i386 runtimes (libFuzzer, ASan, UBSan) for the fuzz build; valgrind (its
# x86 tools come with the amd64 package) for the race detectors of make stress and for the
# benchmarks' 32-bit callgrind; python3 for the benchmark table (make bench). The 32-bit C
# library's debug symbols (libc6-dbg:i386) for the race detectors too: with them the tools
# name every frame inside the C library, so each of the stress program's suppressions names
# the function it is about, and every machine matches the same names.
for pkg in g++-multilib g++-mingw-w64-i686 libgtest-dev:i386 libgmock-dev:i386 wine wine32:i386 zip unzip cmake make \
           clang libclang-rt-14-dev valgrind libc6-dbg:i386 python3; do
  have_pkg "$pkg" || need+=("$pkg")
done

[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing packages (${need[*]}); run as root to install them" >&2
  exit 1
fi

echo "bootstrap: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
