#!/bin/bash
# The kit's Windows console build, run under Wine, builds into a folder
# that already holds a build and writes a manifest over an earlier one
# (C's rename() there refuses an existing target), and takes "-o DIR/" for
# a folder that does not exist yet.
#   console_rebuild.sh RUN_SH BUILD_DIR KIT_EXE STUB SAMPLE_DIR OUT_DIR
set -eu
run=$1 build=$2 kit=$3 stub=$4 sample=$5 out=$6
fail() { echo "FAIL: $*" >&2; exit 1; }
kit() { "$run" "$build" "$kit" "$@" 2>&1 | grep -v '^wine:' || true; }
rm -rf "$out"
cd "$sample"
for dir in "$out/" "$out"; do
  said=$(kit build sample.toml -o "$dir" --stub "$stub")
  [[ $said == *"quarnel-kit: wrote "* ]] || fail "build -o $dir: $said"
done
for round in 1 2; do
  said=$(kit manifest sample.toml -o "$out/manifest.rc")
  [ -s "$out/manifest.rc" ] || fail "manifest -o, round $round: $said"
done
names=$(cd "$out" && ls -A | tr '\n' ' ')
[ "$names" = "SAMPLE.PKG manifest.rc quarnel.exe " ] || fail "the folder holds: $names"
echo "the console kit rebuilt into its folder"
