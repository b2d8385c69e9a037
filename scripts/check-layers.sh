#!/usr/bin/env bash
# Checks that every #include "..." of a folder's sources names a header of
# that folder or of a folder below it, so the layers only point down:
#
#   platform  <  engine  <  fit, play, midi  <  bank  <  cli, ui
#
# (fit, play and midi stand beside each other and include none of the
# others). Prints each include that points up or sideways; exit 1 if any.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A below=(
  [platform]=""
  [engine]=""
  [fit]="engine platform"
  [play]="engine platform"
  [midi]="engine platform"
  [bank]="fit play midi engine platform"
  [cli]="bank fit play midi engine platform"
  [ui]="bank fit play midi engine platform"
)

# Which folder holds each header name.
declare -A home=()
for folder in "${!below[@]}"; do
  while IFS= read -r header; do
    home[$(basename "$header")]=$folder
  done < <(scripts/source-files.sh "$folder" | grep '\.h$')
done

bad=0
for folder in "${!below[@]}"; do
  while IFS= read -r file; do
    while IFS= read -r name; do
      owner=${home[$name]:-}
      [ -z "$owner" ] || [ "$owner" = "$folder" ] && continue
      case " ${below[$folder]} " in
        *" $owner "*) ;;
        *) echo "$file includes $name, from $owner/, which $folder/ must not use"; bad=1 ;;
      esac
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" | xargs -r -n1 basename)
  done < <(scripts/source-files.sh "$folder")
done
exit $bad
