#!/bin/bash
# Wine with "new WoW64" for the 32-bit build.  This machine's kernel cannot
# start 32-bit Linux programs, so Debian 12's 32-bit Wine is of no use; Wine
# 10's WoW64 runs 32-bit Windows code inside its 64-bit process instead and
# needs no 32-bit Linux library.  Debian 12 has no Wine 10, so it lives in a
# small Debian 13 tree (made once per machine with debootstrap, outside the
# repository), with the 32-bit Windows DLLs of Debian 13's libwine:i386
# placed beside the 64-bit ones.
#
#   wow64.sh provision   make the tree when it is missing or incomplete, then
#                        check it (a second call costs a few seconds)
#   wow64.sh check       run a tiny 32-bit console program and check that it
#                        ran as a 32-bit process under WoW64
# Both exit with status 3 (and say so) on a machine that cannot run 32-bit
# code at all: some hypervisors offer no 32-bit user code segment, and then
# no Wine can run the 32-bit build; the callers report it as not run.
#   wow64.sh run [-b DIR]... [--] PROGRAM [ARGS...]
#                        run PROGRAM (e.g. wine64, /usr/lib/wine/wineserver)
#                        inside the tree, in the caller's working directory and
#                        environment, with each DIR (and the X11 sockets) seen
#                        at the same path as outside
#   wow64.sh root        print where the tree is
#
# The tree's folder is QUARNEL_WOW64_ROOT (default /var/lib/quarnel/wow64);
# the Debian mirror is QUARNEL_WOW64_MIRROR.  The mounts that a run needs
# exist only inside that run's private mount namespace: nothing stays
# mounted after a run, however it ended, and deleting the tree or a build
# folder can never reach through a bind mount into the host.
set -eu
root=${QUARNEL_WOW64_ROOT:-/var/lib/quarnel/wow64}
mirror=${QUARNEL_WOW64_MIRROR:-http://deb.debian.org/debian}
here=$(cd "$(dirname "$0")" && pwd)
# Bump when what the tree must hold changes: an older tree is made anew.
layout=1
stamp="$root/.quarnel-wow64"

fail() { echo "wow64: $*" >&2; exit 1; }

# in_root DIR... -- COMMAND: COMMAND in the tree, DIRs bound at their paths.
in_root() {
  local binds=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do binds+=("$1"); shift; done
  [ "${1:-}" = -- ] && shift
  [ -d "$root/usr" ] || fail "no Wine tree at $root (run: bash scripts/wow64.sh provision)"
  [ "$(id -u)" -eq 0 ] || fail "running Wine 10's tree needs root (a private mount namespace and chroot)"
  QW_ROOT=$root QW_CWD=$PWD ${qw_exec:+exec} unshare --mount --propagation private -- bash -c '
    set -e
    r=$QW_ROOT
    for d in proc sys dev; do mount --rbind "/$d" "$r/$d"; done
    if [ -d /tmp/.X11-unix ]; then
      mkdir -p "$r/tmp/.X11-unix"
      mount --bind /tmp/.X11-unix "$r/tmp/.X11-unix"
    fi
    n=$1; shift
    for ((k = 0; k < n; k++)); do
      d=$1; shift
      mkdir -p "$r$d"
      mount --rbind "$d" "$r$d"
    done
    # A working folder the tree does not see becomes its root.
    [ -d "$r$QW_CWD" ] || QW_CWD=/
    exec chroot "$r" env -C "$QW_CWD" "$@"
  ' in_root "${#binds[@]}" "${binds[@]}" "$@"
}

make_tree() {
  command -v debootstrap >/dev/null || fail "debootstrap is missing (apt-get install debootstrap)"
  command -v unshare >/dev/null || fail "unshare is missing (apt-get install util-linux)"
  local new="$root.new"
  rm -rf "$new"
  mkdir -p "$(dirname "$root")"
  echo "wow64: making a Debian 13 tree in $new (from $mirror)"
  debootstrap --variant=minbase trixie "$new" "$mirror" >"$root.log" 2>&1 ||
    fail "debootstrap of Debian 13 from $mirror failed; see $root.log"
  local saved=$root
  root=$new
  echo "wow64: installing Wine 10 in it"
  cd /
  in_root -- bash -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update -q
    apt-get install -y -q --no-install-recommends wine64 libwine fonts-wine tzdata locales
    # Only the 32-bit Windows DLLs of libwine:i386 are wanted: its Linux
    # half could not run here, so the package itself is not installed.
    cd /tmp && rm -rf libwine32 && mkdir libwine32 && cd libwine32
    apt-get download libwine:i386
    dpkg -x libwine_*_i386.deb x
    dlls=$(find x -type d -name i386-windows | head -1)
    win64=$(dirname "$(find /usr/lib -type d -name x86_64-windows | head -1)")
    [ -n "$dlls" ] && [ -n "$win64" ]
    cp -a "$dlls" "$win64/"
    cd /tmp && rm -rf libwine32
    apt-get clean
  ' >>"$saved.log" 2>&1 || fail "installing Wine 10 into the tree failed; see $saved.log"
  root=$saved
  rm -rf "$root"
  mv "$new" "$root"
  echo "$layout" >"$stamp"
}

# Wine takes a process's code pages from its locale, so the locales that
# tests run programs in must exist inside the tree too.
locales=(ja_JP.UTF-8)
ensure_locales() {
  local have missing=()
  have=$(cd / && in_root -- locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-\?8/utf8/')
  for l in "${locales[@]}"; do
    grep -qx "$(tr 'A-Z' 'a-z' <<<"${l/UTF-8/utf8}")" <<<"$have" || missing+=("$l")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "wow64: generating the locales ${missing[*]} in the tree"
  (cd / && in_root -- bash -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    command -v locale-gen >/dev/null || { apt-get update -q; apt-get install -y -q --no-install-recommends locales; apt-get clean; }
    for l in "$@"; do
      grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen
    done
    locale-gen
  ' ensure_locales "${missing[@]}") >>"$root.log" 2>&1 || fail "generating ${missing[*]} in the tree failed; see $root.log"
}

# Asked only when the check program failed, to tell a broken tree from a
# machine that cannot run 32-bit code at all (cpu32check.c says which).
can_run_32bit_code() {
  local exe
  exe=$(mktemp /tmp/quarnel-cpu32.XXXXXX) || return 0
  if ! gcc -O2 -no-pie -o "$exe" "$here/cpu32check.c" 2>/dev/null; then
    rm -f "$exe"
    return 0 # cannot tell: report the tree's failure as it is
  fi
  local rc=0
  "$exe" || rc=$?
  rm -f "$exe"
  return $rc
}

# The check program: a 32-bit console program, built once into the tree.
check() {
  local dir="$root/opt/quarnel-check" exe
  exe="$dir/wow64check.exe"
  if [ ! -f "$exe" ] || [ "$here/wow64check.c" -nt "$exe" ]; then
    command -v i686-w64-mingw32-gcc >/dev/null || fail "i686-w64-mingw32-gcc is missing (apt-get install gcc-mingw-w64-i686)"
    mkdir -p "$dir"
    i686-w64-mingw32-gcc -O2 -o "$exe" "$here/wow64check.c" || fail "could not build the check program"
  fi
  local out
  out=$(cd / && WINEPREFIX=/opt/quarnel-check/prefix WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" in_root -- /usr/lib/wine/wine64 /opt/quarnel-check/wow64check.exe 2>&1) || true
  if ! tr -d "\r" <<<"$out" | grep -q "^32-bit process under WoW64$"; then
    if ! can_run_32bit_code; then
      echo "wow64: this machine cannot run 32-bit code: its kernel offers no 32-bit user code segment (a hypervisor's limit), so no Wine can run the 32-bit build here" >&2
      exit 3
    fi
    echo "$out" | tail -20 >&2
    fail "the 32-bit check program did not run as a 32-bit process under WoW64 in $root"
  fi
  (cd / && in_root -- env WINEPREFIX=/opt/quarnel-check/prefix /usr/lib/wine/wineserver -k 2>/dev/null) || true
  echo "wow64: $(cd / && in_root -- /usr/lib/wine/wine64 --version) runs 32-bit programs (tree $root)"
}

case "${1:-}" in
provision)
  [ "$(id -u)" -eq 0 ] || fail "making and using the tree needs root (debootstrap, chroot, mounts)"
  mkdir -p "$(dirname "$root")"
  exec 9>"$root.lock"
  flock 9
  if [ "$(cat "$stamp" 2>/dev/null)" != "$layout" ]; then
    make_tree
  fi
  ensure_locales
  check
  ;;
check)
  check
  ;;
run)
  shift
  binds=()
  while [ $# -gt 0 ]; do
    case "$1" in
      -b) binds+=("$(cd "$2" && pwd)"); shift 2 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  qw_exec=1 in_root "${binds[@]}" -- "$@"
  ;;
root)
  echo "$root"
  ;;
*)
  echo "usage: $0 provision|check|run [-b DIR]... [--] PROGRAM [ARGS...]|root" >&2
  exit 2
  ;;
esac
