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
# The peer, NSIS 3 from Debian's nsis package (installed here when it is
# missing), is built natively by makensis for the build's architecture
# (x86 or amd64 stub), in store mode, from the same item files, and run by
# the benchmark beside the Quarnel cases.
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
if ! command -v makensis >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then SUDO=; else SUDO=sudo; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nsis ||
    echo "NSIS could not be installed: the peer's cases are not measured"
fi
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

# The peer's store-mode installer of one item set ("empty": no files, its
# time is taken off the others'), made natively from the set's files, which
# quarnel_bench writes; they are deleted once the installer holds them.
peer_installer() { # tree bin target set
  local build=$1 bin=$2 target=$3 set=$4 work="$2/peer-$4" files=""
  rm -rf "$work"
  mkdir -p "$work"
  if [ "$set" != empty ]; then
    "$top/tests/wine/run.sh" "$build" "$bin/quarnel_bench.exe" --make-set "$set" "Z:${work//\//\\}" || return 1
    files='File "src/*.bin"'
  fi
  cat >"$work/peer.nsi" <<EOF
Target $target
Name "Quarnel benchmark $set"
OutFile "$bin/nsis_$set.exe"
SetCompress off
RequestExecutionLevel user
InstallDir "\$TEMP\\quarnel-bench"
AutoCloseWindow true
Page instfiles
Section
SetOutPath "\$INSTDIR"
$files
SectionEnd
EOF
  local rc=0
  (cd "$work" && makensis -V1 peer.nsi >/dev/null) || rc=$?
  rm -rf "$work"
  return $rc
}

# The peer for the sets whose figures it is compared with.  Without
# makensis or a stub for the build's architecture it is left out, and the
# benchmark's table says so.
make_peers() { # tree bits bin
  local build=$1 bits=$2 bin=$3 target=x86-unicode
  [ "$bits" = 64 ] && target=amd64-unicode
  if ! command -v makensis >/dev/null || ! ls -d /usr/share/nsis/Stubs/*-"$target" >/dev/null 2>&1; then
    echo "  no makensis with a $target stub: the NSIS cases are not measured"
    return 0
  fi
  for set in empty 4k 1m; do
    peer_installer "$build" "$bin" "$target" "$set" || echo "  the NSIS installer of $set could not be made"
  done
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
  make_peers "$build" "$bits" "$dir/bin"
  local rc=0
  "$top/tests/wine/run.sh" "$build" "$dir/bin/quarnel_bench.exe" --out "Z:${dir//\//\\}" "$@" || rc=$?
  bash "$top/tests/wine/session.sh" stop "$build"
  [ $rc -eq 0 ] || return $rc
  python3 "$top/bench/plot.py" "$dir/summary.csv" "$dir/bench.svg"
  { cat "$dir/machine.md"; echo; tr -d '\r' <"$dir/table.md"; } >"$dir/results.md"
}

# A machine that cannot run 32-bit code (wow64.sh's status 3) measures the
# 64-bit build only, and the results say so.
rc32=0
[[ " ${trees[*]} " == *" win32 "* ]] && { bash "$top/scripts/wow64.sh" check >/dev/null 2>&1 || rc32=$?; }
mkdir -p "$out"
rm -f "$out/results.md"
if [ "$rc32" -eq 3 ]; then
  trees=("${trees[@]/win32/}")
  echo "This machine cannot run 32-bit code: the 32-bit build is not measured." | tee "$out/results.md"
fi
for tree in "${trees[@]}"; do
  [ -n "$tree" ] || continue
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
