#!/usr/bin/env bash
# The plugin's folders in layers, bottom first. A file includes the files of its own folder
# and those of lower layers, never of its own layer's other folders nor of a higher one; so
# the code reads from the bottom up and only the composition root (plugin/) knows every
# feature. Prints each include that breaks this and exits 1; silent and 0 otherwise.
# The simulated game, the tools and the tests drive the plugin from outside and are not
# checked.
#
# Every file of the layer folders is read, at any depth and of any name, and every include
# the compiler takes counts: either bracket, spaces or a comment around the `#` (or `%:`),
# `include_next` and `import`, lines continued with a backslash. The named file is found as
# the compiler finds it (a quoted name beside the including file first, then from the source
# tree's root, the one include folder of the plugin) and its path normalised, so
# `platform/../plugin/X.h` is plugin/. An include through a macro cannot be followed and is
# reported too.
# Usage: check-layers.sh [ROOT]   (ROOT: the source tree to check, this one by default)
set -euo pipefail
export LC_ALL=C
cd "${1:-$(dirname "$0")/..}"

layers=(
  "platform"                                                # the system: files, modules, locks
  "common"                                                  # the log
  "skse"                                                    # the game's and the host's facts
  "patching settings"                                       # writing code; qxKit.ini
  "papyrus/books papyrus/effects papyrus/files papyrus/text" # the script functions' machinery
  "fixes camera papyrus"                                    # the features
  "plugin"                                                  # the composition root
)

declare -A rank tops
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do
    rank[$folder]=$i
    tops[${folder%%/*}]=1
  done
done

# The layer folder a root-relative path lies in, the deepest one named above (so
# platform/posix/ and platform/win32/ are platform/); empty when it lies in none.
layer_of() {
  local dir=$1
  while [[ $dir == */* ]]; do
    dir=${dir%/*}
    if [[ -n ${rank[$dir]+set} ]]; then
      printf '%s' "$dir"
      return
    fi
  done
}

# A path with its `.` and `..` steps taken; it starts with ../ when it leaves the root.
normalised() {
  local part out=() IFS=/
  set -f
  for part in $1; do
    case $part in
      '' | .) ;;
      ..) if ((${#out[@]} > 0)) && [[ ${out[-1]} != .. ]]; then unset 'out[-1]'; else out+=(..); fi ;;
      *) out+=("$part") ;;
    esac
  done
  set +f
  printf '%s' "${out[*]}"
}

# One line per include directive of a file: its bracket (" or <, ? for a macro) and name.
# Continued lines are joined and comments blanked first, outside string literals and the
# bracketed names of includes.
includes_of() {
  perl -0777 -ne '
    s/\\\r?\n//g;
    s{(^[ \t]*(?:\#|%:)[ \t]*(?:include(?:_next)?|import)[ \t]*<[^>\n]*>)|("(?:\\.|[^"\\\n])*")|(\x27(?:\\.|[^\x27\\\n])*\x27)|//[^\n]*|/\*.*?\*/}
     {defined $1 ? $1 : defined $2 ? $2 : defined $3 ? $3 : " "}gmse;
    while (/^[ \t]*(?:\#|%:)[ \t]*(?:include(?:_next)?|import)\b[ \t]*([^\n]*?)[ \t]*$/mg) {
      my $rest = $1;
      if ($rest =~ /^"([^"]*)"/) { print "\"\t$1\n" }
      elsif ($rest =~ /^<([^>]*)>/) { print "<\t$1\n" }
      else { print "?\t$rest\n" }
    }' "$1"
}

broken=0
report() {
  echo "$1"
  broken=1
}

while IFS= read -r -d '' file; do
  file=${file#./}
  folder=$(layer_of "$file")
  [[ -n $folder ]] || continue
  while IFS=$'\t' read -r bracket name; do
    if [[ $bracket == '?' ]]; then
      report "$file includes $name: an include through a macro cannot be checked"
      continue
    fi
    spelt="\"$name\""
    [[ $bracket == '<' ]] && spelt="<$name>"
    if [[ $bracket == '"' && -f ${file%/*}/$name ]]; then
      path=$(normalised "${file%/*}/$name")
    elif [[ -f $name || $bracket == '"' ]]; then
      path=$(normalised "$name")
    else
      continue  # a system header
    fi
    target=$(layer_of "$path")
    [[ $target == "$folder" ]] && continue
    if [[ -z $target ]]; then
      report "$file includes $spelt: $path lies in no folder of the plugin's layers"
    elif ((rank[$target] >= rank[$folder])); then
      report "$file includes $spelt: $target/ is not below $folder/"
    fi
  done < <(includes_of "$file")
done < <(find "${!tops[@]}" -type f ! -name '*.md' -print0 2>/dev/null | sort -z)
exit $broken
