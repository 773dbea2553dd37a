#!/bin/bash
# Checks the shipped quarnel.exe of one built target from outside: ASLR and
# DEP in the PE header (high-entropy ASLR only on 64-bit: it needs a 64-bit
# address space, which a 32-bit image never has; the large address space on
# 32-bit), the
# stack protector's guard linked in (it is no header flag), and imports of
# system DLLs only.  Each tree's suite checks its own installer.
# Usage: check_pe.sh BUILD_DIR TRIPLE   (TRIPLE: i686-w64-mingw32 or x86_64-w64-mingw32)
set -u
build=$1 triple=$2
fail=0
check() { # exe triple bits
  local exe=$1 triple=$2 bits=$3
  local hdr; hdr=$("$triple-objdump" -p "$exe")
  for flag in DYNAMIC_BASE NX_COMPAT; do
    grep -qw "$flag" <<<"$hdr" || { echo "FAIL $exe: $flag missing"; fail=1; }
  done
  if [ "$bits" = 64 ]; then
    grep -qw HIGH_ENTROPY_VA <<<"$hdr" || { echo "FAIL $exe: HIGH_ENTROPY_VA missing"; fail=1; }
  else
    # 4 GB under 64-bit Windows, so that an item near 2 GB fits in one block
    grep -q "large address aware" <<<"$hdr" || { echo "FAIL $exe: not large-address aware"; fail=1; }
  fi
  "$triple-nm" "$exe" | grep -q '__stack_chk_guard' || { echo "FAIL $exe: no stack protector guard"; fail=1; }
  local dlls; dlls=$(grep 'DLL Name:' <<<"$hdr" | awk '{print toupper($3)}' | sort -u)
  for dll in $dlls; do
    case "$dll" in
      # Known DLLs the loader takes from the system directory.  The common
      # dialogs are not among them on purpose: importing comdlg32 makes the
      # loader pull in theme DLLs before WinMain can restrict the search.
      KERNEL32.DLL|USER32.DLL|GDI32.DLL|MSVCRT.DLL|ADVAPI32.DLL) ;;
      *) echo "FAIL $exe: imports $dll"; fail=1 ;;
    esac
  done
  echo "checked $exe: imports $(echo $dlls)"
}
case "$triple" in
  i686-*) bits=32 ;;
  x86_64-*) bits=64 ;;
  *) echo "FAIL: unknown target $triple"; exit 1 ;;
esac
check "$build/quarnel.exe" "$triple" "$bits"
exit $fail
