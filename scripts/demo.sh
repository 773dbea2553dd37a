#!/bin/bash
# The main job: builds Quarnel and its sample product (installer and
# package, through the CMake function that also checks them with
# quarnel-kit), then previews the sample with `quarnel-kit preview`: its
# installer run twice under Wine on a private virtual display, driven
# through its own windows, every screen photographed and the installed
# result checked against the product file.  Prints the summary and where
# the page (index.html) is.  The installer is the release build (32-bit,
# under Wine 10's WoW64) unless --64 asks for the 64-bit build (under
# Debian's own Wine); a machine that cannot run 32-bit code says so and
# previews the 64-bit build instead.
#   scripts/demo.sh          the preview
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
    echo "== This machine cannot run 32-bit code (see scripts/wow64.sh): previewing the 64-bit build instead"
    tree=win64 kind="64-bit build"
  fi
fi
build="$top/build/$tree"
kit="$top/build/host/quarnel-kit"

echo "== The sample product: installer and package, built and checked by quarnel_add_product()"
"$kit" list "$build/SAMPLE.PKG" "$build/quarnel.exe"

if [ $show -eq 1 ]; then
  echo "== Opening the $kind on ${DISPLAY:-your display}"
  "$top/tests/wine/run.sh" "$build" --prefix
  exec "$top/tests/wine/run.sh" "$build" "$build/quarnel.exe"
fi

demo="$top/build/demo"
rm -rf "$demo"
bits=--32
[ "$tree" = win64 ] && bits=--64
echo "== Previewing the sample product, the $kind: quarnel-kit preview examples/sample/sample.toml $bits"
start=$(date +%s%N)
rc=0
"$kit" preview "$top/examples/sample/sample.toml" -o "$demo" "$bits" || rc=$?
ms=$((($(date +%s%N) - start) / 1000000))
echo "== The preview took $((ms / 1000)).$(printf '%03d' $((ms % 1000))) s; the page: $demo/index.html"
exit "$rc"
