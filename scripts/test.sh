#!/bin/bash
# Sets up everything and runs every test: native tests of the platform-free
# logic, then the Windows tests under Wine on a virtual display.  The 32-bit
# build is compiled and linked (this machine runs only 64-bit code).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh"
echo "== native tests (build/host)"
(cd "$top/build/host" && ctest --output-on-failure)
echo "== Windows tests under Wine (build/win64)"
cd "$top/build/win64" && ctest --output-on-failure "$@"
