#!/usr/bin/env bash
# The layer check on a tree of its own: each file named Up* reaches plugin/ from platform/ in
# one of the forms the compiler takes, and is reported; the others keep to the layers.
set -euo pipefail
export LC_ALL=C
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
while IFS='|' read -r file text; do
  mkdir -p "$root/${file%/*}"
  printf '%b\n' "$text" >"$root/$file"
done <<'TREE'
plugin/X.h|#include "fixes/F.h"\n#include <vector>
fixes/F.h|#include "sub/G.h"\n#include "../platform/UpAngle.h"\n#include <linux/futex.h>\n// #include "plugin/X.h"\n/*\n#include "plugin/X.h"\n*/\nauto s = "/*"; auto c = '"';
fixes/sub/G.h|#include "../F.h"
platform/UpAngle.h|#include <plugin/X.h>
platform/UpSpaced.h|# include "plugin/X.h"
platform/UpIndented.h|  \t#include "plugin/X.h"
platform/UpDotted.h|#include "platform/../plugin/X.h"
platform/UpRelative.cpp|#include "../plugin/X.h"
platform/posix/deep/UpDeep.h|#include "plugin/X.h"
platform/UpTable.inc|#include "plugin/X.h"
platform/UpContinued.h|#include \\\n"plugin/X.h"
platform/UpCommented.h|#/* why */include /* it */ "plugin/X.h" // here
platform/UpDigraph.h|%:include "plugin/X.h"
platform/UpNext.h|#include_next <plugin/X.h>
platform/UpImport.h|#import "plugin/X.h"
platform/UpMacro.h|#define QX_HEADER "plugin/X.h"\n#include QX_HEADER
platform/UpSimulated.h|#include "sim/Game.h"
TREE

status=0
output=$("$(dirname "$0")/../../scripts/check-layers.sh" "$root") || status=$?
expected=$(cd "$root" && find . -name 'Up*' | cut -c 3- | sort)
if [[ $status -ne 1 || $(cut -d ' ' -f 1 <<<"$output" | sort) != "$expected" ]]; then
  echo "FAIL: exit $status, expected exactly:"$'\n'"$expected"$'\n'"reported:"$'\n'"$output"
  exit 1
fi
