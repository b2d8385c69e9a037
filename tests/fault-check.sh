#!/usr/bin/env bash
# Applies each deliberate fault of tests/faults.txt alone, rebuilds, runs the tests named for it
# (it is caught when they fail) and restores the file.
#
#   tests/fault-check.sh BUILD_DIR [NAME_REGEX]
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1") only=${2:-.}
saved=$(mktemp) file=
restore() { [ -n "$file" ] && cp "$saved" "$file"; file=; }
trap 'restore; rm -f "$saved"' EXIT
while read -r name && read -r path && read -r from && read -r to && read -r tests; do
  [[ $name =~ $only ]] || continue
  text=$(<"$path")
  rest=${text#*"$from"}
  if [ "$rest" = "$text" ] || [[ $rest == *"$from"* ]]; then
    echo "$name: not found exactly once in $path"
    continue
  fi
  file=$path
  cp "$path" "$saved"
  printf '%s\n' "${text/"$from"/"$to"}" >"$path"
  log=$build/fault-$name.log
  if ! cmake --build "$build" -j2 >"$log" 2>&1; then
    verdict="does not build"
  elif ctest --test-dir "$build" -R "$tests" --no-tests=error --timeout 120 >>"$log" 2>&1; then
    verdict="NOT caught"
  else
    verdict="caught by $(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).*/\1/p' "$log" | paste -sd ' ')"
  fi
  restore
  echo "$name: $verdict"
done < <(grep -v -e '^#' -e '^[[:space:]]*$' tests/faults.txt)
