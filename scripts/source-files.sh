#!/usr/bin/env bash
# Prints the C++ sources (.cpp, .h) under each FOLDER (default: the whole
# tree), one a line, relative to the tree's root and sorted. Uses find, not
# git, so the checks also run in an unpacked tarball or where git is not
# installed; it skips what .gitignore keeps out (build*/, .cache/) and .git.
#
#   scripts/source-files.sh [FOLDER...]
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -gt 0 ] || set -- .
find "$@" \( -path './build*' -o -path './.cache' -o -path './.git' -o -name '.git' \) -prune \
  -o -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | LC_ALL=C sort
