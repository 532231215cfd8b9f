#!/usr/bin/env bash
# The real quillo.exe under Wine, used as a person would, inside x_session.sh, at 96 and 144
# DPI: the window and controls where the table puts them, typing and Ctrl+A, Tab order, dial
# pad clicks, a link to the system's browser, "拨号" with no calling page, the close through
# the frame.   program_test.sh BUILD_DIR WINE_RUN (leaves BUILD_DIR/quillo-wine.png)
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
build=$1
run=$2
# The probe runs beside the program, in the same prefix.
probe() {
  QUILLO_WINE_BESIDE=1 QUILLO_WINE_TIMEOUT=60 "$run" "$build" "$build/bin/program_probe.exe" "$@" \
    2>/dev/null
}
# Wine's shell hands a page to open to winebrowser, which runs the first browser it finds on
# the Unix PATH, xdg-open first: the stand-in writes down what it was given.
browser=$(mktemp -d)
trap 'rm -rf "$browser"' EXIT
export QUILLO_OPENED_FILE=$browser/opened
# The screen's DPI for the programs started next, and web pages opened by the browser, as
# on Windows (the browser engine that would register the type is turned off here).
set_dpi() {
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' \
    "$1" >"$browser/settings.reg"
  printf '[HKEY_CLASSES_ROOT\\.html]\n@="htmlfile"\n' >>"$browser/settings.reg"
  "$run" "$build" regedit /S "$browser/settings.reg" >/dev/null ||
    fail "cannot set the prefix's DPI to $1"
}
start() {
  PATH="$(dirname "$0")/../support/browser:$PATH" QUILLO_WINE_TIMEOUT=240 "$run" "$build" "$build/bin/quillo.exe" &
  program=$!
  if ! wait_for_window "$caption" "$program"; then
    echo "FAIL: the window did not appear at $1 DPI" >&2
    kill "$program" 2>/dev/null
    set_dpi 96
    exit 1
  fi
  declare -gA centre=()
  while read -r key x y; do
    centre[$key]="$x $y"
  done < <(probe keys)
}
press() {
  # shellcheck disable=SC2086  # x and y
  xdotool mousemove ${centre[$1]} click 1
}
# Clicks the feedback link and waits up to 20 s for the author's page to reach the browser.
open_link() {
  rm -f "$browser/opened"
  press 问题反馈
  for _ in $(seq 1 200); do
    [[ -s "$browser/opened" ]] && break
    sleep 0.1
  done
  grep -q 'share/quillo/pages/author/index.html' "$browser/opened" 2>/dev/null ||
    fail "at $1 DPI the link opened '$(cat "$browser/opened" 2>/dev/null)'"
}
close() {
  wmctrl -c "$caption"
  wait "$program"
  local code=$?
  [[ $code -eq 0 ]] || fail "the program exited with code $code after its window was closed"
}

set_dpi 96
start 96
probe window 96 || fail "the window differs from its table at 96 DPI"
# Typing goes to the number box, which has the focus at start; Ctrl+A selects all of it, as
# the Common Controls 6 edit box does (the manifest is in force).
xdotool type 123
xdotool key ctrl+a
xdotool type 9
number=$(probe text 9)
[[ "$number" == 9 ]] || fail "the number box holds '$number' after 123, Ctrl+A, 9"
probe tab || fail "Tab does not follow the table's order"

[[ ${#centre[@]} -eq 16 ]] || fail "found ${#centre[@]} buttons and links, not 16"
for key in 1 3 8 + '*' '#' 0; do press "$key"; done
number=$(probe text '9138+*#0')
[[ "$number" == '9138+*#0' ]] || fail "the number box holds '$number' after 1 3 8 + * # 0"

press 拨号
sleep 1
kill -0 "$program" 2>/dev/null || fail "the program ended after 拨号"
number=$(probe text '9138+*#0')
[[ "$number" == '9138+*#0' ]] || fail "the number box holds '$number' after 拨号"
open_link 96

import -window root "$build/quillo-wine.png"
close

# Most laptops run at 125 or 150 %: the same table, scaled.
set_dpi 144
start 144
probe window 144 || fail "the window differs from its table at 144 DPI"
open_link 144
close
set_dpi 96
exit $status
