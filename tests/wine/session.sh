#!/bin/bash
# Starts and stops what the Windows tests run in: a private Wine prefix under
# the build folder (created once, by the Wine the tree names; see run.sh)
# and a virtual X display (Xvfb), both remembered by the build folder so
# that only what was started here is stopped here.
# Usage: session.sh start|stop BUILD_DIR
set -u
cmd=$1 build=$2
here=$(cd "$(dirname "$0")" && pwd)
wine() { "$here/run.sh" "$build" "$@"; }
prefix="$build/wineprefix"
pidfile="$build/test-xvfb.pid"
dispfile="$build/test-display"

stop_display() {
  if [ -f "$pidfile" ]; then
    kill "$(cat "$pidfile")" 2>/dev/null
    rm -f "$pidfile" "$dispfile"
  fi
}

case "$cmd" in
start)
  stop_display
  exec 3>"$build/test-display.tmp"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$build/test-xvfb.log" 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 100); do
    [ -s "$build/test-display.tmp" ] && break
    sleep 0.1
  done
  exec 3>&-
  [ -s "$build/test-display.tmp" ] || { echo "Xvfb did not start"; exit 1; }
  echo ":$(tr -d '\n' <"$build/test-display.tmp")" >"$dispfile"
  rm -f "$build/test-display.tmp"
  wine --prefix || exit 1
  # The virtual display has no window manager: windows Wine would leave to
  # one take seconds to close, so Wine manages them itself.
  if ! grep -q '"Managed"="N"' "$prefix/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  wine wineserver -w
  echo "display $(cat "$dispfile"), prefix $prefix, $(wine --describe)"
  ;;
stop)
  wine wineserver -k 2>/dev/null
  stop_display
  ;;
*)
  echo "usage: $0 start|stop BUILD_DIR" >&2
  exit 2
  ;;
esac
