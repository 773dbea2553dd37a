#!/bin/bash
# Configures and builds the three builds of the tree (scripts/trees.sh):
#   build/host  (native: platform-free logic, quarnel-kit and their tests),
#               first, since the Windows trees use its quarnel-kit
#   build/win64 (x86_64 Windows, runs under Wine, with the tests)
#   build/win32 (i686 Windows, the release target; compiled and linked only)
# Set QUARNEL_WERROR=ON to treat warnings as errors.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/trees.sh"
configure_trees
for dir in "$host" "$win64" "$win32"; do
  echo "== building $dir"
  ninja -C "$dir" -j2
done
