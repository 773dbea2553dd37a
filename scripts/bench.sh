#!/bin/bash
# Runs the install and build benchmark on both builds: the 32-bit release
# build (build/win32, under Wine 10's WoW64) and the 64-bit build
# (build/win64, under Debian's own Wine).  For each it builds quarnel_bench
# and its manifest modules, copies them to build/bench/TREE/bin (the
# packages are made beside them there), runs every item set under the
# tree's Wine on a virtual display, and leaves in build/bench/TREE the
# README-ready results.md (machine, Wine and table), table.md, summary.csv,
# runs.csv and the plot bench.svg / bench.png; build/bench/results.md holds
# both.  Ratios compare cases within one build; the goals are judged on the
# 32-bit build, the one users run.  The bulk data is deleted at the end.
# Each build's results also time `quarnel-kit preview` of both example
# products (both installs and every screen, from the product file to the
# page), in preview.md; --preview-only measures that alone.
# Usage: scripts/bench.sh [--32 | --64] [--preview-only] [quarnel_bench arguments...]
#   e.g.  scripts/bench.sh --sets 4k,1m --reps 4k=3,1m=3
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/build/bench"
trees=(win32 win64)
case "${1:-}" in
  --32) trees=(win32); shift ;;
  --64) trees=(win64); shift ;;
esac
preview_only=0
if [ "${1:-}" = --preview-only ]; then
  preview_only=1
  shift
fi

bash "$top/scripts/deps.sh"
. "$top/scripts/trees.sh"
configure_trees >/dev/null

machine() { # tree bits
  local cpu mem fs
  cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
  mem=$(awk '/^MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)
  fs=$(df -T "$out" | awk 'NR == 2 {print $2}')
  echo "Machine: $cpu, $(nproc) cores, $mem RAM, $fs file system, Linux $(uname -r)," \
       "$("$top/tests/wine/run.sh" "$top/build/$1" --describe), $2-bit build." \
       "Run $(date -u '+%Y-%m-%d %H:%M UTC'), load average at start $(cut -d' ' -f1-3 /proc/loadavg)."
}

# The wall time of each example's whole preview under the build's Wine.
preview_tree() { # tree bits
  local dir="$out/$1" bits=$2 product start ms rc
  mkdir -p "$dir"
  {
    echo "| product | preview ($bits-bit) | summary |"
    echo "|---|---:|---|"
    for product in sample full; do
      start=$(date +%s%N)
      rc=0
      "$top/build/host/quarnel-kit" preview "$top/examples/$product/$product.toml" -o "$dir/preview-$product" \
        "--$bits" >"$dir/preview-$product.log" 2>&1 || rc=$?
      ms=$((($(date +%s%N) - start) / 1000000))
      if [ $rc -eq 0 ] || [ $rc -eq 1 ]; then
        echo "| $product | $((ms / 1000)).$(printf '%01d' $((ms % 1000 / 100))) s | $(sed -n 's/^preview: \([0-9].*\)/\1/p' "$dir/preview-$product.log" | head -1) |"
      else
        echo "| $product | not run | $(grep -m1 'error' "$dir/preview-$product.log" | cut -c1-120) |"
      fi
    done
  } >"$dir/preview.md"
  cat "$dir/preview.md"
}

bench_tree() { # tree bits
  local tree=$1 bits=$2
  shift 2
  local build="$top/build/$tree" dir="$out/$tree"
  ninja -C "$build" -j2 quarnel_bench >/dev/null
  rm -rf "$dir"
  mkdir -p "$dir/bin"
  cp "$build"/bench/quarnel_bench.exe "$build"/bench/bench_*.dll "$dir/bin/"
  echo "== $bits-bit build ($tree)"
  machine "$tree" "$bits" >"$dir/machine.md"
  cat "$dir/machine.md"
  bash "$top/tests/wine/session.sh" start "$build" >/dev/null
  local rc=0
  "$top/tests/wine/run.sh" "$build" "$dir/bin/quarnel_bench.exe" --out "Z:${dir//\//\\}" "$@" || rc=$?
  bash "$top/tests/wine/session.sh" stop "$build"
  [ $rc -eq 0 ] || return $rc
  python3 "$top/bench/plot.py" "$dir/summary.csv" "$dir/bench.svg"
  { cat "$dir/machine.md"; echo; tr -d '\r' <"$dir/table.md"; } >"$dir/results.md"
}

mkdir -p "$out"
rm -f "$out/results.md"
for tree in "${trees[@]}"; do
  bits=${tree#win}
  ninja -C "$top/build/$tree" -j2 quarnel_stub quarnel_drive >/dev/null
  if [ $preview_only -eq 0 ]; then
    bench_tree "$tree" "$bits" "$@"
  else
    : >"$out/$tree/results.md" 2>/dev/null || { mkdir -p "$out/$tree"; : >"$out/$tree/results.md"; }
  fi
  preview_tree "$tree" "$bits"
  { echo "### $tree"; echo; cat "$out/$tree/results.md"; echo; cat "$out/$tree/preview.md"; echo; } >>"$out/results.md"
done
echo "Results: $out/results.md; plots: $out/TREE/bench.svg (and bench.png)"
