#!/bin/bash
# The main job: builds Quarnel and its sample product (installer + package),
# then runs the sample's interactive install under Wine on a virtual display,
# driven automatically, and shows what was installed.
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
mkdir -p "$demo/stage" "$demo/screenshots"

bash "$top/tests/wine/session.sh" start "$win64" >/dev/null
trap 'bash "$top/tests/wine/session.sh" stop "$win64"' EXIT
run() { "$top/tests/wine/run.sh" "$win64" "$@"; }

echo "== Building the sample package with quarnel.exe in builder mode"
cp -r "$top/examples/sample/." "$demo/stage/"
(cd "$demo/stage" && run "$win64/quarnel.exe" sample.qps)
pkg="$demo/stage/SAMPLE.PKG"
[ -f "$pkg" ] || { echo "the builder wrote no package"; exit 1; }
cp "$pkg" "$win64/SAMPLE.PKG"
cp "$pkg" "$top/build/win32/SAMPLE.PKG"
python3 - "$pkg" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
pos, i = 0, 0
print(f"{'record':>6} {'offset':>8} {'length':>8}")
while pos + 4 <= len(data):
    n = struct.unpack_from('<i', data, pos)[0]
    print(f"{i:>6} {pos:>8} {n:>8}")
    pos += 4 + max(n, 0); i += 1
print(f"{len(data)} bytes in {i} records")
PY

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
  echo "(the interactive install driver is not built yet)"
  exit 0
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
find "$win64/wineprefix/drive_c" -path '*Start Menu*' -name '*.lnk' -newer "$demo/stage" 2>/dev/null | sed "s|$win64/wineprefix/||"
for f in "$demo"/screenshots/*.bmp; do
  [ -f "$f" ] && convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
done
echo "== Screenshots in $demo/screenshots"
ls "$demo/screenshots"
