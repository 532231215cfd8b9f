#!/usr/bin/env bash
# program_imports_test.sh OBJDUMP PROGRAM: the program imports only DLLs that every Windows 10
# and 11 has; fails on any other (a C++ runtime or threads library left dynamic) or none.
set -uo pipefail
system="kernel32 user32 gdi32 comctl32 shell32 shlwapi ole32 oleaut32 oleacc advapi32
  msvcrt version uxtheme"
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports:" $imports
[[ -n "$imports" ]] || { echo "FAIL: no import table in $2" >&2; exit 1; }
status=0
for dll in $imports; do
  grep -qw -- "${dll%.dll}" <<<"$system" || { echo "FAIL: $dll is not a system DLL" >&2; status=1; }
done
exit $status
