#!/bin/bash
# The main job: builds Quarnel and its sample product (installer and
# package, through the CMake function that also checks them with
# quarnel-kit), then runs the sample's interactive install under Wine on a
# virtual display, driven automatically, and shows what was installed.
#   scripts/demo.sh          automatic run on a virtual display
#   scripts/demo.sh --show   open the installer on your own display instead,
#                            for a person to click through
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
show=0
[ "${1:-}" = "--show" ] && show=1

bash "$top/scripts/deps.sh"
bash "$top/scripts/build.sh" >/dev/null
win64="$top/build/win64"
demo="$win64/demo"
rm -rf "$demo"
mkdir -p "$demo/screenshots"

bash "$top/tests/wine/session.sh" start "$win64" >/dev/null
trap 'bash "$top/tests/wine/session.sh" stop "$win64"' EXIT
run() { "$top/tests/wine/run.sh" "$win64" "$@"; }

echo "== The sample product: installer and package, built and checked by quarnel_add_product()"
"$top/build/host/quarnel-kit" list "$win64/SAMPLE.PKG" "$win64/quarnel.exe"
ls -l "$top/build/win32/quarnel.exe" "$top/build/win32/SAMPLE.PKG" "$win64/quarnel.exe" "$win64/SAMPLE.PKG"

if [ $show -eq 1 ]; then
  echo "== Opening the installer on ${DISPLAY:-your display}"
  bash "$top/tests/wine/session.sh" stop "$win64"
  trap - EXIT
  WINEPREFIX="$win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    /usr/lib/wine/wine64 "$win64/quarnel.exe"
  exit 0
fi

driver="$win64/tests/test_driver_e2e.exe"
if [ ! -f "$driver" ]; then
  echo "the interactive install driver was not built: $driver" >&2
  exit 1
fi
dest='C:\QSAMPLE'
destunix="$win64/wineprefix/drive_c/QSAMPLE"
rm -rf "$destunix"
echo "== Installing the sample product into $dest, driven automatically"
(cd "$win64/tests" && QUARNEL_DEMO_DEST="$dest\\" QUARNEL_DEMO_SHOTS="Z:${demo//\//\\}\\screenshots" \
  run "$driver" --gtest_filter=SampleDemo.FullInstall)
echo "== Installed files"
(cd "$destunix" && find . -type f -printf '%TY-%Tm-%Td %TH:%TM  %8s  %p\n' | sort -k4)
echo "== INI values"
cat "$destunix/SAMPLE.INI" 2>/dev/null | tr -d '\r'
echo "== Start Menu shortcuts"
find "$win64/wineprefix/drive_c" -path '*Start Menu*' -name '*.lnk' -newer "$demo" 2>/dev/null | sed "s|$win64/wineprefix/||"
for f in "$demo"/screenshots/*.bmp; do
  [ -f "$f" ] && convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
done
echo "== Screenshots in $demo/screenshots"
ls "$demo/screenshots"
