#!/bin/bash
# Runs a Windows program of the test build under Wine, in the build's own
# prefix and on the build's virtual display (see session.sh).
# Usage: run.sh BUILD_DIR PROGRAM [ARGS...]
build=$1; shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -f "$build/test-display" ]; then
  export DISPLAY="$(cat "$build/test-display")"
fi
exec /usr/lib/wine/wine64 "$@"
