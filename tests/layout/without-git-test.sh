#!/usr/bin/env bash
# The layout checks in a tree without .git and with no git on PATH, as an
# unpacked tarball on a fresh machine: each source is still seen, so an
# include pointing up the layers is still found.
#
#   without-git-test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1 work=$2
rm -rf "$work" && mkdir -p "$work/tree" "$work/bin"
tar -C "$src" --exclude='./build*' --exclude=./.git --exclude=./.cache -cf - . | tar -C "$work/tree" -xf -
for tool in bash env find sed sort grep xargs basename dirname cat; do
  ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
cd "$work/tree"
export PATH=$work/bin
scripts/check-layers.sh

echo '#include "BankModel.h"' >>engine/Engine.h
if said=$(scripts/check-layers.sh); then
  echo "an include of ui/ from engine/ passed the check"; exit 1
fi
[ "$said" = "engine/Engine.h includes BankModel.h, from ui/, which engine/ must not use" ] ||
  { echo "the check said: $said"; exit 1; }
echo "ok"
