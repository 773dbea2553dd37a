#!/bin/bash
# Installs what building and testing Quarnel needs on Debian: the mingw-w64
# cross compilers, CMake and Ninja, Wine (64-bit loader), a virtual X
# display, GoogleTest's sources and the native compiler; Wine's own fonts
# (dialogs and screenshots are drawn with them) and the time zone data the
# date tests switch zones with; osslsigncode (the one version the kit signs
# with), openssl and faketime for the signing and reproducibility tests; and
# the Japanese locale (ja_JP.UTF-8, code page 932 under Wine) that a test
# runs the installer in.  Uses apt-get as
# root, sudo otherwise; installs nothing that is already there.  Then, on
# every run, makes sure that the Wine which runs the 32-bit build is there
# and works (scripts/wow64.sh; seconds once it is made).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
packages=(g++ cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine wine64 fonts-wine xvfb xauth x11-utils imagemagick googletest e2fsprogs python3
          libcli11-dev libtomlplusplus-dev tzdata locales debootstrap
          osslsigncode=2.5-4 openssl faketime)
missing=()
# A name=version entry must be installed in exactly that version (the
# signing tool: its options and output are what the kit relies on).
for p in "${packages[@]}"; do
  name=${p%%=*} want=${p#"${p%%=*}"} want=${want#=}
  state=$(dpkg-query -W -f='${Status}|${Version}' "$name" 2>/dev/null || true)
  if [ "${state%%|*}" = "install ok installed" ] && { [ -z "$want" ] || [ "${state#*|}" = "$want" ]; }; then
    continue
  fi
  missing+=("$p")
done
if [ "$(id -u)" -eq 0 ]; then SUDO=; else SUDO=sudo; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends --allow-downgrades "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "Generating the ja_JP.UTF-8 locale"
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi
rc=0
$SUDO bash "$here/wow64.sh" provision || rc=$?
# 3: the tree is there but this machine cannot run 32-bit code at all; the
# test and demo scripts say so where they would have used it.
[ "$rc" -eq 0 ] || [ "$rc" -eq 3 ] || exit "$rc"
