#!/bin/bash
# Checks the shipped quarnel.exe of each built target from outside: ASLR and
# DEP in the PE header (high-entropy ASLR on 64-bit), the stack protector's
# guard linked in (it is no header flag), and imports of system DLLs only.
# Usage: check_pe.sh SOURCE_DIR BUILD_DIR   (checks BUILD_DIR/../win32 too when built)
set -u
top=$1 build=$2
fail=0
check() { # exe triple bits
  local exe=$1 triple=$2 bits=$3
  local hdr; hdr=$("$triple-objdump" -p "$exe")
  for flag in DYNAMIC_BASE NX_COMPAT; do
    grep -qw "$flag" <<<"$hdr" || { echo "FAIL $exe: $flag missing"; fail=1; }
  done
  if [ "$bits" = 64 ]; then
    grep -qw HIGH_ENTROPY_VA <<<"$hdr" || { echo "FAIL $exe: HIGH_ENTROPY_VA missing"; fail=1; }
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
check "$build/quarnel.exe" x86_64-w64-mingw32 64
if [ -d "$build/../win32" ]; then
  if [ -f "$build/../win32/quarnel.exe" ]; then
    check "$build/../win32/quarnel.exe" i686-w64-mingw32 32
  else
    echo "FAIL: build/win32 exists but has no quarnel.exe"; fail=1
  fi
fi
exit $fail
