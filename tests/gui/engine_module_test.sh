#!/usr/bin/env bash
# The program starts without the browser engine's libraries; its module brings them, and
# takes the window registry and the platform's other code from the program, so that there
# is one of each.   engine_module_test.sh PROGRAM MODULE
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
program=$1 module=$2
needed() { readelf -d "$1" | awk '/NEEDED/ { print $5 }'; }
defined() { nm -D --defined-only --demangle "$1"; }
undefined() { nm -D --undefined-only --demangle "$1"; }
# what file, listing, pattern, whether it is listed
while read -r file listing pattern expected; do
  got=no
  grep -qF -- "$pattern" <<<"$("$listing" "${!file}")" && got=yes
  [[ $got == "$expected" ]] || fail "$file $listing $pattern: listed $got"
done <<'ROWS'
program needed WebEngine no
module needed WebEngineCore yes
module defined quillo_make_browser_engine yes
module defined quillo::registry::CreateWindow no
module undefined quillo::registry::CreateWindow yes
program defined quillo::registry::CreateWindow yes
program defined quillo::AutomationObject::Adopt yes
ROWS
exit $status
