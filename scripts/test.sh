#!/bin/bash
# Sets up everything and runs every test: native tests of the platform-free
# logic (build/host), then the Windows suite of each target under Wine on a
# virtual display: the 64-bit build (build/win64) under Debian's own Wine,
# the 32-bit release build (build/win32) under Wine 10's WoW64 (see
# scripts/wow64.sh).  Every suite runs even after another failed; the last
# line counts the tests of all three, and the exit status is non-zero when
# any test failed or a suite could not run (a machine that cannot run
# 32-bit code at all skips the 32-bit suite and says so in that line).
# Extra arguments go to each ctest, e.g.  scripts/test.sh -R smoke
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/deps.sh" || exit 1
bash "$top/scripts/build.sh"
built=$?

passed=0 failed=0
suite() { # title dir [ctest arguments]
  local title=$1 dir=$2; shift 2
  echo "== $title ($dir)"
  local log="$top/$dir/test-summary.log" rc
  if [ ! -d "$top/$dir" ]; then
    echo "$dir is not configured"
    failed=$((failed + 1))
    return
  fi
  (cd "$top/$dir" && ctest --output-on-failure "$@") | tee "$log"
  rc=${PIPESTATUS[0]}
  # "95% tests passed, 1 tests failed out of 25"
  local line; line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local nFailed nTotal
    nFailed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    nTotal=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + nTotal - nFailed))
    failed=$((failed + nFailed))
    # ctest's own failures beside the tests (e.g. a fixture it could not set up)
    [ "$rc" -ne 0 ] && [ "$nFailed" -eq 0 ] && failed=$((failed + 1))
  elif [ "$rc" -ne 0 ]; then
    echo "ctest in $dir ended with status $rc before counting"
    failed=$((failed + 1))
  fi
}
suite "native tests" build/host
suite "Windows tests, 64-bit build under Wine" build/win64 "$@"
# A machine that cannot run 32-bit code at all (wow64.sh's status 3) cannot
# run this suite; it is reported as not run, in the count line too.
not_run=
rc32=0
bash "$top/scripts/wow64.sh" check >/dev/null || rc32=$?
if [ "$rc32" -eq 3 ]; then
  not_run="; the 32-bit suite did not run: this machine cannot run 32-bit code"
  echo "== Windows tests, 32-bit build: NOT RUN (this machine cannot run 32-bit code; see scripts/wow64.sh)"
else
  suite "Windows tests, 32-bit build under Wine's WoW64" build/win32 "$@"
fi

if [ "$built" -ne 0 ]; then
  echo "the build failed (status $built); the suites ran with what was built"
  failed=$((failed + 1))
fi
echo "$passed passed, $failed failed$not_run" | tee "$top/build/test-count"
[ "$failed" -eq 0 ]
