#!/bin/bash
# The stubs are reproducible: built again in a second build folder of each
# Windows target (another path, another time), they are byte for byte the
# ones the Windows trees copied beside quarnel-kit (the second folders copy
# theirs nowhere).
#   stub_repro.sh KIT SOURCE_DIR SCRATCH_DIR
set -eu
kit=$1 src=$2 scratch=$3
kitdir=$(dirname "$(readlink -f "$kit")")
rm -rf "$scratch"
fails=0
for target in win32:mingw-i686 win64:mingw-x86_64; do
  name=${target%%:*} toolchain=${target#*:}
  tree=$scratch/$name-again
  cmake -S "$src" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$toolchain.cmake" -DQUARNEL_KIT="$kit" -DQUARNEL_STUB_COPY_DIR= >/dev/null
  ninja -C "$tree" -j2 quarnel_stub >/dev/null
  if ! cmp "$tree/quarnel-stub.exe" "$kitdir/quarnel-stub-$name.exe"; then
    echo "FAIL: the $name stub built in $tree differs from $kitdir/quarnel-stub-$name.exe" >&2
    fails=$((fails + 1))
  fi
done
[ $fails -eq 0 ] && rm -rf "$scratch" && echo "both stubs are reproducible"
exit $((fails > 0))
