#!/usr/bin/env bash
# The plugin's folders in layers, bottom first. A file includes the files of its own folder
# and those of lower layers, never of its own layer's other folders nor of a higher one; so
# the code reads from the bottom up and only the composition root (plugin/) knows every
# feature. Prints each include that breaks this and exits 1; silent and 0 otherwise.
# The simulated game, the tools and the tests drive the plugin from outside and are not
# checked.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(
  "platform"                                                # the system: files, modules, locks
  "common"                                                  # the log
  "skse"                                                    # the game's and the host's facts
  "patching settings"                                       # writing code; qxKit.ini
  "papyrus/books papyrus/effects papyrus/files papyrus/text" # the script functions' machinery
  "fixes camera papyrus"                                    # the features
  "plugin"                                                  # the composition root
)

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

# platform/posix and platform/win32 are the two halves of platform/.
folder_of() {
  local dir=${1%/*}
  case $dir in platform/*) dir=platform ;; esac
  printf '%s' "$dir"
}

broken=0
for folder in "${!rank[@]}"; do
  [[ -d $folder ]] || continue
  for file in $(find "$folder" -maxdepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort); do
    [[ $(folder_of "$file") == "$folder" ]] || continue
    while IFS= read -r included; do
      target=$(folder_of "$included")
      [[ $target == "$folder" ]] && continue
      if [[ -z ${rank[$target]+set} || ${rank[$target]} -ge ${rank[$folder]} ]]; then
        echo "$file includes $included: $target/ is not below $folder/"
        broken=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
exit $broken
