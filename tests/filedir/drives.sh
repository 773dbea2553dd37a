#!/bin/bash
# Drive types in a Wine prefix of this test's own, made by the tree's Wine
# (see tests/wine/run.sh).  Usage: drives.sh BUILD_DIR TEST_EXE
set -u
build=$1 exe=$2
here=$(cd "$(dirname "$0")" && pwd)
export QUARNEL_WINEPREFIX=$build/drivetest-prefix
prefix=$QUARNEL_WINEPREFIX
wine() { "$here/../wine/run.sh" "$build" "$@"; }
wine --prefix || exit 1
key='HKLM\Software\Wine\Drives'
# Each entry: letter, Wine drive type, type GetDriveTypeA reports, accepted.
want=
for entry in r:cdrom:5:0 s:floppy:2:1 t:network:4:1 u:hd:3:1 w:ramdisk:6:0; do
  IFS=: read -r letter type got accept <<<"$entry"
  mkdir -p "$build/drivetest-targets/$letter"
  ln -sfn "$build/drivetest-targets/$letter" "$prefix/dosdevices/$letter:"
  wine reg add "$key" /v "$letter:" /t REG_SZ /d "$type" /f >/dev/null || exit 1
  want="$want${letter^^}$got$accept"
done
# A letter with nothing behind it.
rm -f "$prefix/dosdevices/v:"
wine reg delete "$key" /v v: /f >/dev/null 2>&1
want="${want}V10"
wine wineserver -k
QUARNEL_DRIVE_TYPES=$want wine "$exe" --gtest_filter=FileDirDrives.*
rc=$?
wine wineserver -k
exit $rc
