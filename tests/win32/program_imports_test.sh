#!/usr/bin/env bash
# quillo.exe imports only DLLs that every Windows 10 and 11 has: program_imports_test.sh
# OBJDUMP PROGRAM. Fails on any other DLL (a C++ runtime or threads library left dynamic)
# and when the import table cannot be read at all.
set -uo pipefail
objdump=$1
program=$2
system_dlls="kernel32 user32 gdi32 comctl32 shell32 shlwapi ole32 oleaut32 oleacc advapi32
  msvcrt version uxtheme"

imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
if [[ -z "$imports" ]]; then
  echo "FAIL: no import table in $program" >&2
  exit 1
fi
status=0
for dll in $imports; do
  if ! grep -qw -- "${dll%.dll}" <<<"$system_dlls"; then
    echo "FAIL: $program imports $dll, which is not a system DLL" >&2
    status=1
  fi
done
echo "imports:" $imports
exit $status
