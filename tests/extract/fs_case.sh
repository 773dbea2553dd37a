#!/bin/bash
# Prepares on the Linux side what one file-system case of the extraction
# tests needs, runs that case of the test program under Wine, and undoes
# the preparation whatever the outcome.
#   full    a 1 MB tmpfs, mounted and mapped as a free Wine drive letter
#   locked  an immutable file (chattr +i), which not even root may replace
# When the preparation is refused, the case runs anyway and reports itself
# skipped with the reason.  Usage: fs_case.sh full|locked BUILD_DIR TEST_EXE
set -u
kind=$1 build=$2 exe=$3
here=$(cd "$(dirname "$0")" && pwd)
run() { "$here/../wine/run.sh" "$build" "$exe" "$@"; }

case "$kind" in
full)
  # Inside the build folder, where a Wine that runs in a tree of its own
  # (see run.sh) sees it too.
  dir=$(mktemp -d "$build/tests/full-drive.XXXXXX")
  letter=
  for l in q r s t u v w x y; do
    p="$build/wineprefix/dosdevices/$l:"
    [ -e "$p" ] || [ -L "$p" ] || { letter=$l; break; }
  done
  drive="$build/wineprefix/dosdevices/$letter:"
  cleanup() {
    [ -n "$letter" ] && rm -f "$drive"
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir"
  }
  trap cleanup EXIT
  if [ -z "$letter" ]; then
    echo "no free drive letter in $build/wineprefix/dosdevices" >&2
    rc=1
  elif err=$(mount -t tmpfs -o size=1m tmpfs "$dir" 2>&1); then
    ln -s "$dir" "$drive"
    QUARNEL_FULL_DRIVE="${letter^^}:\\" run --gtest_filter='ExtractDiskFull.*'; rc=$?
  else
    QUARNEL_FULL_SKIP="mounting a 1 MB tmpfs was refused: $err" run --gtest_filter='ExtractDiskFull.*'; rc=$?
  fi
  ;;
locked)
  dir="$build/tests/scratch-locked"
  cleanup() {
    chattr -i "$dir/small.txt" 2>/dev/null
    rm -rf "$dir"
  }
  trap cleanup EXIT
  cleanup
  mkdir -p "$dir"
  printf 'locked' >"$dir/small.txt"
  if err=$(chattr +i "$dir/small.txt" 2>&1); then
    QUARNEL_LOCKED_DIR="$dir" run --gtest_filter='ExtractLocked.*'; rc=$?
  else
    QUARNEL_LOCKED_SKIP="chattr +i was refused: $err" run --gtest_filter='ExtractLocked.*'; rc=$?
  fi
  ;;
*)
  echo "usage: $0 full|locked BUILD_DIR TEST_EXE" >&2
  exit 2
  ;;
esac
exit $rc
