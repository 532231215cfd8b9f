#!/usr/bin/env bash
# The program starts without the browser engine's libraries; its module brings them, and
# takes the window registry and the platform's other code from the program, so that there
# is one of each.   engine_module_test.sh PROGRAM MODULE
set -uo pipefail
program=$1
module=$2
needed() { readelf -d "$1" | awk '/NEEDED/ { print $5 }'; }
defined() { nm -D --defined-only --demangle "$1"; }
undefined() { nm -D --undefined-only --demangle "$1"; }

# what file  listing  pattern  expected (yes: listed, no: not listed)
checks=(
  "program needed WebEngine no"
  "module needed WebEngineCore yes"
  "module defined quillo_make_browser_engine yes"
  "module defined quillo::registry::CreateWindow no"
  "module undefined quillo::registry::CreateWindow yes"
  "program defined quillo::registry::CreateWindow yes"
  "program defined quillo::AutomationObject::Adopt yes"
)
fail=0
for check in "${checks[@]}"; do
  read -r which listing pattern expected <<<"$check"
  file=$program
  [[ $which == module ]] && file=$module
  got=no
  grep -qF -- "$pattern" <<<"$("$listing" "$file")" && got=yes
  [[ $got == "$expected" ]] || { echo "FAIL: $check (got $got)" >&2; fail=1; }
done
exit "$fail"
