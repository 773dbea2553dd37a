#!/bin/bash
# Stamps a file through the program and reads its modification time with
# the host's own tools.  Usage: stamp.sh BUILD_DIR WINE_RUN TEST_EXE
set -u
build=$1 run=$2 exe=$3
dir=$build/tests/scratch/stamp-outside
rm -rf "$dir" && mkdir -p "$dir" || exit 1
f=$dir/item.dat
printf data >"$f" && touch -d '2011-01-01 12:00:00 UTC' "$f" || exit 1
export TZ=Asia/Kolkata
QUARNEL_STAMP_FILE="Z:${f//\//\\}" "$run" "$build" "$exe" --gtest_filter=FileDirOutside.* || exit 1
want=$(date -u -d '1998-09-09 00:00:00' +%s)
got=$(stat -c %Y "$f")
if [ "$got" != "$want" ]; then
  echo "modification time $(date -u -d "@$got"), expected $(date -u -d "@$want")"
  exit 1
fi
[ "$(cat "$f")" = data ] || { echo "content changed"; exit 1; }
echo "modification time is 1998-09-09 00:00:00 UTC"
