#!/bin/bash
# Builds the native tests of the platform-free code with the address and
# undefined-behaviour sanitizers (build/host-asan) and runs them; any report
# stops the test that caused it.  Uses clang when it has its runtime, else
# gcc.  The tool tests also read both targets' installers, so those are
# built first when they are missing.
# Usage: scripts/sanitize.sh [ctest arguments...]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/host-asan
bash "$top/scripts/deps.sh"
if [ ! -f "$top/build/win64/quarnel.exe" ] || [ ! -f "$top/build/win32/quarnel.exe" ]; then
  bash "$top/scripts/build.sh" >/dev/null
fi
if command -v clang++ >/dev/null && dpkg-query -W libclang-rt-dev >/dev/null 2>&1; then
  cc=clang cxx=clang++
else
  cc=gcc cxx=g++
fi
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
. "$top/scripts/trees.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_C_COMPILER=$cc -DCMAKE_CXX_COMPILER=$cxx \
  -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DQUARNEL_WERROR=ON "${windows_trees[@]}" >/dev/null
ninja -C "$build" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build" && ctest --output-on-failure "$@"
