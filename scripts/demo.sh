#!/bin/bash
# The main job: builds Quarnel and its sample product (installer and
# package, through the CMake function that also checks them with
# quarnel-kit), then runs the sample's interactive install under Wine on a
# virtual display, driven automatically, and shows what was installed.  The
# installer is the release build (32-bit, under Wine 10's WoW64) unless
# --64 asks for the 64-bit build (under Debian's own Wine).
#   scripts/demo.sh          automatic run on a virtual display
#   scripts/demo.sh --show   open the installer on your own display instead,
#                            for a person to click through
#   scripts/demo.sh --64 [--show]   the same with the 64-bit build
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
show=0 tree=win32 kind="32-bit release build"
for arg in "$@"; do
  case "$arg" in
    --show) show=1 ;;
    --64) tree=win64 kind="64-bit build" ;;
    *) echo "usage: $0 [--64] [--show]" >&2; exit 2 ;;
  esac
done

bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" >/dev/null
if [ "$tree" = win32 ]; then
  rc32=0
  bash "$top/scripts/wow64.sh" check >/dev/null 2>&1 || rc32=$?
  if [ "$rc32" -eq 3 ]; then
    echo "== This machine cannot run 32-bit code (see scripts/wow64.sh): showing the 64-bit build instead"
    tree=win64 kind="64-bit build"
  fi
fi
build="$top/build/$tree"
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/screenshots"
run() { "$top/tests/wine/run.sh" "$build" "$@"; }

bash "$top/tests/wine/session.sh" start "$build" >/dev/null
trap 'bash "$top/tests/wine/session.sh" stop "$build"' EXIT
echo "== Installer: the $kind, $build/quarnel.exe"
echo "== Wine: $(run --describe)"

echo "== The sample product: installer and package, built and checked by quarnel_add_product()"
"$top/build/host/quarnel-kit" list "$build/SAMPLE.PKG" "$build/quarnel.exe"
ls -l "$top/build/win32/quarnel.exe" "$top/build/win32/SAMPLE.PKG" "$top/build/win64/quarnel.exe" "$top/build/win64/SAMPLE.PKG"

if [ $show -eq 1 ]; then
  echo "== Opening the installer on ${DISPLAY:-your display}"
  bash "$top/tests/wine/session.sh" stop "$build"
  trap - EXIT
  run "$build/quarnel.exe"
  exit 0
fi

driver="$build/tests/test_driver_e2e.exe"
if [ ! -f "$driver" ]; then
  echo "the interactive install driver was not built: $driver" >&2
  exit 1
fi
dest='C:\QSAMPLE'
destunix="$build/wineprefix/drive_c/QSAMPLE"
rm -rf "$destunix"
echo "== Installing the sample product into $dest, driven automatically"
(cd "$build/tests" && QUARNEL_DEMO_DEST="$dest\\" QUARNEL_DEMO_SHOTS="Z:${demo//\//\\}\\screenshots" \
  run "$driver" --gtest_filter=SampleDemo.FullInstall)
echo "== Installed files"
(cd "$destunix" && find . -type f -printf '%TY-%Tm-%Td %TH:%TM  %8s  %p\n' | sort -k4)
echo "== INI values"
cat "$destunix/SAMPLE.INI" 2>/dev/null | tr -d '\r'
echo "== Start Menu shortcuts"
find "$build/wineprefix/drive_c" -path '*Start Menu*' -name '*.lnk' -newer "$demo" 2>/dev/null | sed "s|$build/wineprefix/||"
for f in "$demo"/screenshots/*.bmp; do
  [ -f "$f" ] && convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
done
echo "== Screenshots in $demo/screenshots"
ls "$demo/screenshots"
echo "== Installed by the $kind under $(run --describe)"
