#!/bin/bash
# Runs a program of a Windows build under the Wine that the build's tree
# names, in the build's own prefix and on the build's virtual display (see
# session.sh).  Every Wine program a tree uses comes through here, so that
# one Wine's server or wineboot never touches a prefix of the other's.
#
# The tree's CMake setting QUARNEL_WINE names the Wine: "system" is
# Debian's own (64-bit programs only), "wow64" is Wine 10 with WoW64 in the
# tree that scripts/wow64.sh provides (32-bit and 64-bit programs).
#
# Usage: run.sh BUILD_DIR PROGRAM [ARGS...]
#   PROGRAM  a Windows program; one of Wine's own (wineboot, reg, regedit,
#            explorer, ...); or wineserver, the prefix's server
#   run.sh BUILD_DIR --kind       prints the setting
#   run.sh BUILD_DIR --describe   prints which Wine that is, with its version
#   run.sh BUILD_DIR --prefix     makes the prefix when it is missing or was
#                                 made by another Wine (never reused across
#                                 versions)
# QUARNEL_WINEPREFIX, when set, names another prefix than the build's own.
build=$(cd "$1" && pwd) || exit 2
shift
top=$(cd "$(dirname "$0")/../.." && pwd)
kind=$(sed -n 's/^QUARNEL_WINE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)
kind=${kind:-system}

export WINEPREFIX="${QUARNEL_WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -f "$build/test-display" ]; then
  export DISPLAY="$(cat "$build/test-display")"
fi

case "$kind" in
system)
  in_tree=()
  fonts=/usr/share/wine/fonts
  ;;
wow64)
  # Inside the Debian 13 tree only the source and build folders (and the
  # X11 sockets) are seen, at the same paths as here.
  binds=(-b "$top")
  case "$build/" in "$top"/*) ;; *) binds+=(-b "$build") ;; esac
  # someone's own display may want its key
  if [ ! -f "$build/test-display" ] && [ -f "${XAUTHORITY:-}" ]; then
    binds+=(-b "$(dirname "$XAUTHORITY")")
  fi
  in_tree=(bash "$top/scripts/wow64.sh" run "${binds[@]}" --)
  fonts="$(bash "$top/scripts/wow64.sh" root)/usr/share/wine/fonts"
  ;;
*)
  echo "run.sh: $build names an unknown Wine \"$kind\" (QUARNEL_WINE: system or wow64)" >&2
  exit 2
  ;;
esac

case "${1:-}" in
--kind)
  echo "$kind"
  exit 0
  ;;
--describe)
  version=$("${in_tree[@]}" /usr/lib/wine/wine64 --version) || exit 1
  case "$kind" in
    system) echo "$version (Debian's own, 64-bit)" ;;
    wow64) echo "$version with WoW64 (Debian 13 tree of scripts/wow64.sh)" ;;
  esac
  exit 0
  ;;
--prefix)
  if [ "$(cat "$WINEPREFIX/.quarnel-wine" 2>/dev/null)" != "$kind" ]; then
    "${in_tree[@]}" /usr/lib/wine/wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    "${in_tree[@]}" /usr/lib/wine/wine64 wineboot -i >"$WINEPREFIX.log" 2>&1
    "${in_tree[@]}" /usr/lib/wine/wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "run.sh: wineboot made no prefix; see $WINEPREFIX.log" >&2; exit 1; }
    echo "$kind" >"$WINEPREFIX/.quarnel-wine"
  fi
  # Debian 12's Wine does not find its own fonts where the package puts
  # them: without them the dialogs' MS Sans Serif becomes another face and
  # the caption buttons' Marlett glyphs show as letters (a close button
  # shows "r").  Every Wine loads the fonts of the prefix's Fonts folder,
  # so each prefix gets a copy of its Wine's own.
  if [ ! -f "$WINEPREFIX/.quarnel-fonts" ]; then
    cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/" || exit 1
    touch "$WINEPREFIX/.quarnel-fonts"
  fi
  exit 0
  ;;
wineserver)
  shift
  exec "${in_tree[@]}" /usr/lib/wine/wineserver "$@"
  ;;
esac
# Wine 10 reports each 32-bit process it starts in WoW64 mode on stderr,
# whatever WINEDEBUG says; that line is the run's, not the program's.
exec "${in_tree[@]}" /usr/lib/wine/wine64 "$@" \
  2> >(grep -v --line-buffered ':init_peb starting .* in experimental wow64 mode$' >&2)
