#!/bin/bash
# Starts and stops what the Windows tests run in: a private Wine prefix under
# the build folder (created once) and a virtual X display (Xvfb), both
# remembered by the build folder so that only what was started here is
# stopped here.  Usage: session.sh start|stop BUILD_DIR
set -u
cmd=$1 build=$2
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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
  export DISPLAY="$(cat "$dispfile")"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >"$build/test-wineboot.log" 2>&1
  fi
  # This Wine does not find its own fonts where the package puts them, and
  # without them the dialogs' MS Sans Serif becomes another face and the
  # caption buttons' Marlett glyphs show as letters: the prefix gets a copy.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/* "$fonts/"
  fi
  # The virtual display has no window manager: windows Wine would leave to
  # one take seconds to close, so Wine manages them itself.
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  /usr/lib/wine/wineserver -w
  echo "display $DISPLAY, prefix $WINEPREFIX"
  ;;
stop)
  /usr/lib/wine/wineserver -k 2>/dev/null
  stop_display
  ;;
*)
  echo "usage: $0 start|stop BUILD_DIR" >&2
  exit 2
  ;;
esac
