#!/usr/bin/env bash
# quillo.exe under Wine inside x_session.sh: imports, resources, then used by hand at 96 and 144
# DPI (150 %): program_test.sh BUILD_DIR WINE_RUN OBJDUMP (writes BUILD_DIR/quillo-wine.png)
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
build=$1 run=$2 browser=$(mktemp -d)
# Wine's shell hands a page to winebrowser, which runs xdg-open: the stand-in notes the page.
export QUILLO_OPENED_FILE=$browser/opened PATH="$(dirname "$0")/../support/browser:$PATH"
set_dpi() {  # the screen's DPI for the programs started next; .html opens in the browser
  printf 'REGEDIT4\n\n%s\n"LogPixels"=dword:%08x\n\n%s\n@="htmlfile"\n' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' "$1" '[HKEY_CLASSES_ROOT\.html]' >"$browser/dpi.reg"
  "$run" "$build" regedit /S "$browser/dpi.reg" >/dev/null || fail "cannot set DPI $1"
}
trap 'set_dpi 96; rm -rf "$browser"' EXIT
probe() { QUILLO_WINE_BESIDE=1 "$run" "$build" "$build/bin/program_probe.exe" "$@" 2>/dev/null; }
press() { read -r x y <<<"${centre[$1]}" && xdotool mousemove "$x" "$y" click 1; }
expect() {  # expect TEXT AFTER: the number box comes to read TEXT after AFTER
  got=$(probe text "$1") && [[ "$got" == "$1" ]] || fail "the number box holds '$got' after $2"
}

# Only DLLs that every Windows 10 and 11 has (no C++ runtime or threads library left dynamic).
imports=$("$3" -p "$build/bin/quillo.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
others=$(grep -vixF -f <(printf '%s.dll\n' kernel32 user32 gdi32 comctl32 shell32 shlwapi ole32 \
  oleaut32 oleacc advapi32 msvcrt version uxtheme) <<<"${imports:-none}")
[[ -z "$others" ]] || fail "quillo.exe imports" $others "(not system DLLs only)"
probe resources "Z:$build/bin/quillo.exe" || fail "the icon or the version block differs"
for dpi in 96 144; do
  set_dpi $dpi
  QUILLO_WINE_TIMEOUT=240 "$run" "$build" "$build/bin/quillo.exe" & program=$!
  wait_for_window "$caption" $program || { fail "no window at $dpi DPI"; kill $program; exit 1; }
  probe window $dpi || fail "the window differs from its table at $dpi DPI"
  declare -A centre=()
  while read -r key x y; do centre[$key]="$x $y"; done < <(probe keys)
  if [[ $dpi == 96 ]]; then
    # Keys go to the number box, focused at start; Ctrl+A selects all (the manifest's edit box).
    xdotool key 1 2 3 ctrl+a 9
    expect 9 "123, Ctrl+A, 9"
    probe tab || fail "Tab does not follow the table's order"
    [[ ${#centre[@]} -eq 16 ]] || fail "found ${#centre[@]} buttons and links, not 16"
    for key in 1 3 8 + '*' '#' 0; do press "$key"; done
    expect '9138+*#0' "1 3 8 + * # 0"
    # With no calling page, dialling keeps the program and the number.
    press 拨号 && sleep 1 && kill -0 $program 2>/dev/null || fail "the program ended after 拨号"
    expect '9138+*#0' 拨号
  fi
  # The feedback link hands the author's page to the browser (within 20 s).
  rm -f "$browser/opened" && press 问题反馈
  for _ in $(seq 1 200); do [[ -s "$browser/opened" ]] && break || sleep 0.1; done
  grep -q 'share/quillo/pages/author/index.html' "$browser/opened" 2>/dev/null ||
    fail "at $dpi DPI the link opened '$(cat "$browser/opened" 2>/dev/null)'"
  [[ $dpi == 96 ]] && import -window root "$build/quillo-wine.png"
  wmctrl -c "$caption"
  wait $program || fail "the program exited with code $? after its window was closed"
done
exit $status
