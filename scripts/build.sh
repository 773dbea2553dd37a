#!/bin/bash
# Configures and builds the three builds of the tree (scripts/trees.sh):
#   build/host  (native: platform-free logic, quarnel-kit and their tests),
#               first, since the Windows trees use its quarnel-kit
#   build/win64 (x86_64 Windows, with the tests, under Debian's Wine)
#   build/win32 (i686 Windows, the release target, with the tests, under
#               Wine 10's WoW64: see scripts/wow64.sh)
# Set QUARNEL_WERROR=ON to treat warnings as errors.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/trees.sh"
configure_trees
for dir in "$host" "$win64" "$win32"; do
  echo "== building $dir"
  ninja -C "$dir" -j2
done
