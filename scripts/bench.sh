#!/bin/bash
# Runs the install and build benchmark: builds quarnel_bench and its manifest
# modules in build/win64, copies them to build/bench/bin (the packages are
# made beside them there), runs every item set under Wine on a virtual
# display, and leaves in build/bench the README-ready results.md (machine and
# table), table.md, summary.csv, runs.csv and the plot bench.svg / bench.png.
# The bulk data is deleted at the end.  Extra arguments go to quarnel_bench,
# e.g.  scripts/bench.sh --sets 4k,1m --reps 4k=3,1m=3
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
win64="$top/build/win64"
out="$top/build/bench"

bash "$top/scripts/deps.sh"
. "$top/scripts/trees.sh"
configure_trees >/dev/null
ninja -C "$win64" -j2 quarnel_bench >/dev/null
mkdir -p "$out/bin"
cp "$win64"/bench/quarnel_bench.exe "$win64"/bench/bench_*.dll "$out/bin/"

machine() {
  local cpu mem fs
  cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
  mem=$(awk '/^MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)
  fs=$(df -T "$out" | awk 'NR == 2 {print $2}')
  echo "Machine: $cpu, $(nproc) cores, $mem RAM, $fs file system, Linux $(uname -r)," \
       "$(/usr/lib/wine/wine64 --version), 64-bit build. Run $(date -u '+%Y-%m-%d %H:%M UTC')," \
       "load average at start $(cut -d' ' -f1-3 /proc/loadavg)."
}
machine >"$out/machine.md"
cat "$out/machine.md"

bash "$top/tests/wine/session.sh" start "$win64" >/dev/null
trap 'bash "$top/tests/wine/session.sh" stop "$win64"' EXIT
"$top/tests/wine/run.sh" "$win64" "$out/bin/quarnel_bench.exe" --out "Z:${out//\//\\}" "$@"

python3 "$top/bench/plot.py" "$out/summary.csv" "$out/bench.svg"
{ cat "$out/machine.md"; echo; tr -d '\r' <"$out/table.md"; } >"$out/results.md"
echo "Results: $out/results.md, plot: $out/bench.svg$( [ -f "$out/bench.png" ] && echo " and bench.png")"
