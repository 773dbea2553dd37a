# The file-system helpers' tests: the Windows test program, its date tests
# once more in a time zone far from universal time, its double-byte names
# once more in a Japanese locale, the item date checked
# from the Linux side, and drive types in a Wine prefix of their own.
quarnel_add_test(test_filedir filedir_test.cpp)

add_test(NAME test_filedir_zone COMMAND test_filedir --gtest_filter=FileDir.Date*
  WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
set_tests_properties(test_filedir_zone PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
  ENVIRONMENT "TZ=Pacific/Kiritimati;QUARNEL_EXPECT_ZONE=Pacific/Kiritimati")

# Double-byte names in a process of a Japanese locale (code page 932 for
# ANSI and OEM alike); scripts/deps.sh generates the locale.
add_test(NAME test_filedir_ja COMMAND test_filedir --gtest_filter=FileDir.DoubleByte*
  WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
set_tests_properties(test_filedir_ja PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;QUARNEL_EXPECT_ACP=932")

# Stamps a file through the program and reads its modification time with
# the host's own tools: 1998-09-09 00:00:00 UTC, whatever the zone.
file(WRITE ${QUARNEL_TEST_DIR}/filedir_stamp.sh [=[#!/bin/bash
set -u
build=$1 run=$2 exe=$3
dir=$build/tests/scratch/stamp-outside
rm -rf "$dir" && mkdir -p "$dir" || exit 1
f=$dir/item.dat
printf data >"$f" && touch -d '2011-01-01 12:00:00 UTC' "$f" || exit 1
export TZ=Asia/Kolkata
QUARNEL_STAMP_FILE="Z:${f//\//\\}" "$run" "$build" "$exe" --gtest_filter=FileDirOutside.* || exit 1
want=$(date -u -d '1998-09-09 00:00:00' +%s)
got=$(stat -c %Y "$f")
if [ "$got" != "$want" ]; then
  echo "modification time $(date -u -d "@$got"), expected $(date -u -d "@$want")"
  exit 1
fi
[ "$(cat "$f")" = data ] || { echo "content changed"; exit 1; }
echo "modification time is 1998-09-09 00:00:00 UTC"
]=])
add_test(NAME test_filedir_stamp_host COMMAND bash ${QUARNEL_TEST_DIR}/filedir_stamp.sh
  ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/wine/run.sh $<TARGET_FILE:test_filedir>)
set_tests_properties(test_filedir_stamp_host PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

# Maps extra drive letters with given types in a prefix of this test's own
# (the Wine server must restart for new types, which would stop everything
# else running in the shared prefix), then checks which ones are accepted.
# Each entry: letter, Wine drive type, type GetDriveTypeA reports, accepted.
file(WRITE ${QUARNEL_TEST_DIR}/filedir_drives.sh [=[#!/bin/bash
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
]=])
add_test(NAME test_filedir_drives COMMAND bash ${QUARNEL_TEST_DIR}/filedir_drives.sh
  ${CMAKE_BINARY_DIR} $<TARGET_FILE:test_filedir>)
set_tests_properties(test_filedir_drives PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
