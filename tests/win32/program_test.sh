#!/usr/bin/env bash
# The real quillo.exe under Wine, used as a person would: program_test.sh BUILD_DIR WINE_RUN.
# Run inside x_session.sh. The window and its controls stand where the table puts them; the
# number box takes typing and Ctrl+A; Tab follows the table's order; dial pad clicks made
# with xdotool append to the number box;
# "拨号" with no calling page does nothing and the program stays up; closing the window
# through its frame ends the program with code 0. Leaves a screenshot, quillo-wine.png, in
# BUILD_DIR to look at.
set -uo pipefail
source "$(dirname "$0")/../support/window_wait.sh"
build=$1
run=$2
caption='Quillo BY中国人，中国范~'
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}
# The probe runs beside the program in the prefix that wine_run.sh made for it, through
# wine itself: wine_run.sh waits for the prefix's last program to end.
probe() {
  local out
  out=$(mktemp)
  WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout -k 5 60 wine "$build/bin/program_probe.exe" "$@" >"$out" 2>/dev/null </dev/null
  local code=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return $code
}

QUILLO_WINE_TIMEOUT=240 "$run" "$build" "$build/bin/quillo.exe" &
program=$!
if ! wait_for_window "$caption" "$program"; then
  echo "FAIL: the window did not appear" >&2
  kill "$program" 2>/dev/null
  exit 1
fi

probe window || fail "the window differs from its table"
# Typing goes to the number box, which has the focus at start; Ctrl+A selects all of it, as
# the Common Controls 6 edit box does (the manifest is in force).
xdotool type 123
xdotool key ctrl+a
xdotool type 9
number=$(probe text 9)
[[ "$number" == 9 ]] || fail "the number box holds '$number' after 123, Ctrl+A, 9"
probe tab || fail "Tab does not follow the table's order"

declare -A centre
while read -r key x y; do
  centre[$key]="$x $y"
done < <(probe keys)
[[ ${#centre[@]} -eq 14 ]] || fail "found ${#centre[@]} buttons, not 14"
press() {
  # shellcheck disable=SC2086  # x and y
  xdotool mousemove ${centre[$1]} click 1
}
for key in 1 3 8 + '*' '#' 0; do press "$key"; done
number=$(probe text '9138+*#0')
[[ "$number" == '9138+*#0' ]] || fail "the number box holds '$number' after 1 3 8 + * # 0"

press 拨号
sleep 1
kill -0 "$program" 2>/dev/null || fail "the program ended after 拨号"
number=$(probe text '9138+*#0')
[[ "$number" == '9138+*#0' ]] || fail "the number box holds '$number' after 拨号"

import -window root "$build/quillo-wine.png"
wmctrl -c "$caption"
wait "$program"
code=$?
[[ $code -eq 0 ]] || fail "the program exited with code $code after its window was closed"
exit $status
