#!/bin/bash
# Drive types in a Wine prefix of this test's own.  Usage: drives.sh BUILD_DIR TEST_EXE
set -u
build=$1 exe=$2
prefix=$build/drivetest-prefix
export WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -f "$build/test-display" ] && export DISPLAY="$(cat "$build/test-display")"
wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver
if [ ! -f "$prefix/system.reg" ]; then
  "$wine" wineboot -i >"$build/drivetest-wineboot.log" 2>&1
  "$server" -w
fi
key='HKLM\Software\Wine\Drives'
# Each entry: letter, Wine drive type, type GetDriveTypeA reports, accepted.
want=
for entry in r:cdrom:5:0 s:floppy:2:1 t:network:4:1 u:hd:3:1 w:ramdisk:6:0; do
  IFS=: read -r letter type got accept <<<"$entry"
  mkdir -p "$build/drivetest-targets/$letter"
  ln -sfn "$build/drivetest-targets/$letter" "$prefix/dosdevices/$letter:"
  "$wine" reg add "$key" /v "$letter:" /t REG_SZ /d "$type" /f >/dev/null || exit 1
  want="$want${letter^^}$got$accept"
done
# A letter with nothing behind it.
rm -f "$prefix/dosdevices/v:"
"$wine" reg delete "$key" /v v: /f >/dev/null 2>&1
want="${want}V10"
"$server" -k
QUARNEL_DRIVE_TYPES=$want "$wine" "$exe" --gtest_filter=FileDirDrives.*
rc=$?
"$server" -k
exit $rc
