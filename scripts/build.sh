#!/bin/bash
# Configures and builds the three builds of the tree:
#   build/win64 (x86_64 Windows, with the tests)
#   build/win32 (i686 Windows, the release target, with the tests)
#   build/host  (native: platform-free logic and its tests)
# Set QUARNEL_WERROR=ON to treat warnings as errors.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
werror=${QUARNEL_WERROR:-OFF}
configure() { # dir [toolchain]
  local dir=$1; shift
  if [ ! -f "$top/$dir/build.ninja" ]; then
    cmake -S "$top" -B "$top/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_WERROR="$werror" "$@" >/dev/null
  else
    cmake "$top/$dir" -DQUARNEL_WERROR="$werror" >/dev/null
  fi
}
configure build/win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake"
configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake"
configure build/host
for dir in build/host build/win64 build/win32; do
  echo "== building $dir"
  ninja -C "$top/$dir"
done
