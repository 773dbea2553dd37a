#!/bin/bash
# Packs a set of package scripts twice - with quarnel.exe in builder mode
# under Wine and with quarnel-kit pack natively - and requires the same
# bytes.  Usage: pack_vs_builder.sh BUILD_DIR QUARNEL_EXE QUARNEL_KIT
# Only scripts that build successfully are used: a failing builder shows a
# message box, which would wait for a person.
set -u
build=$1 exe=$2 kit=$3
here=$(cd "$(dirname "$0")" && pwd)
work="$build/tests/kit-pack"
rm -rf "$work" && mkdir -p "$work/files/sub" && cd "$work" || exit 1

printf 'abc' > files/a.bin
printf 'hello' > files/sub/b.bin
printf '\r\nline two\n\0binary\xff' > files/mixed.bin
head -c 1048576 /dev/urandom > files/big.bin
printf 'x' > "files/with blank.bin"

scripts=(
  '*###\nPACKAGE# "P1.PKG"\nITEM# "files\\a.bin"\nITEM# "files\\sub\\b.bin"\n'
  'comment PACKAGE# "NOT.PKG" ITEM# "files\\a.bin" then *### here PACKAGE# "P2.PKG" ITEM# "files\\mixed.bin" ITEM# "files\\a.bin"ITEM# "files\\a.bin"'
  '*###\r\nPACKAGE# "P3.PKG"\r\n'
  '; *### PACKAGE# "P4.PKG" item# "files\\a.bin" ITEM#  "files\\a.bin" ITEM# "files\\with blank.bin" ITEM# "files\\big.bin"'
  '*### PACKAGE# "P5.PKG" ITEM# "files\\sub\\b.bin"\0 ITEM# "files\\a.bin"'
)
fail=0
for i in "${!scripts[@]}"; do
  printf "${scripts[$i]}" > "script$i.qps"
  name=$(grep -ao 'P[0-9]\.PKG' "script$i.qps" | head -1)
  rm -f "$name" "kit$i.pkg"
  timeout 120 "$here/../wine/run.sh" "$build" "$exe" "script$i.qps" >/dev/null 2>&1
  "$kit" pack "script$i.qps" -o "kit$i.pkg" || { echo "script $i: quarnel-kit failed"; fail=1; continue; }
  if [ ! -f "$name" ]; then
    echo "script $i: the builder wrote no $name"; fail=1
  elif ! cmp "$name" "kit$i.pkg"; then
    echo "script $i: packages differ"; fail=1
  else
    echo "script $i: $(stat -c %s "$name") bytes, identical"
  fi
done
exit $fail
