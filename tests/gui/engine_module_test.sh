#!/usr/bin/env bash
# The program starts without the engine's libraries; its module brings them and takes the window
# registry and the platform's other code from the program, one of each.   ... PROGRAM MODULE
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
program=$1 module=$2
needed() { readelf -d "$1" | awk '/NEEDED/ { print $5 }'; }
defined() { nm -D --defined-only --demangle "$1"; }
undefined() { nm -D --undefined-only --demangle "$1"; }
while read -r file listing pattern expected; do  # whether the file's listing shows the pattern
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
