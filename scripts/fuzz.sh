#!/bin/bash
# Builds the fuzz targets (build/fuzz) and runs each one for a given time or
# number of executions, whichever ends first, starting from its committed
# seeds.  Writes the figures to build/fuzz/figures.md; fails on any finding.
# Usage: scripts/fuzz.sh [--smoke] [SECONDS_PER_TARGET [MAX_RUNS]] [TARGET...]
#   default 600 s or 10,000,000 runs per target; --smoke: 20 s or 200,000.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=600 runs=10000000
if [ "${1:-}" = --smoke ]; then seconds=20 runs=200000; shift; fi
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then runs=$1; shift; fi

bash "$top/scripts/deps.sh"
# libFuzzer comes with clang's runtime libraries.
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-dev >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ]; then SUDO=; else SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends clang libclang-rt-dev
fi

build=$top/build/fuzz
cmake -S "$top/fuzz" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$build" -j2

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(cd "$build" && find . -maxdepth 1 -name 'fuzz_*' -type f -perm -u+x -printf '%f\n' | sort)
fi

figures=$build/figures.md
{
  echo "| target | executions | time (s) | exec/s | corpus | crashes |"
  echo "|---|---:|---:|---:|---:|---:|"
} >"$figures"
found=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  run=$build/run/$name
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  cp "$top/fuzz/corpus/$name/"* "$run/corpus/"
  echo "== $target: up to $seconds s or $runs runs"
  start=$(date +%s)
  set +e
  "$build/$target" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1
  rc=$?
  set -e
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log" | tail -1)
  corpus=$(find "$run/corpus" -type f | wc -l)
  crashes=$(find "$run/artifacts" -type f | wc -l)
  if [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi   # died without an artifact
  echo "| $name | ${execs:-?} | $took | ${rate:-?} | $corpus | $crashes |" >>"$figures"
  if [ "$crashes" -ne 0 ]; then
    found=1
    echo "FINDING in $target (exit $rc): see $run/log and $run/artifacts/"
    grep -m5 -E 'ERROR|contract broken|runtime error' "$run/log" || true
  fi
done
cat "$figures"
exit $found
