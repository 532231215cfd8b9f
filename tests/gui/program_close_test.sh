#!/usr/bin/env bash
# The real program, closed through its frame (wmctrl -c: WM_DELETE_WINDOW from the window
# manager), exits with code 0. Run inside x_session.sh. The program must start as root
# without being told to turn the engine's sandbox off.
set -uo pipefail
source "$(dirname "$0")/../support/window_wait.sh"
program=$1
caption='Quillo BY中国人，中国范~'
unset QTWEBENGINE_DISABLE_SANDBOX

"$program" &
pid=$!
if ! wait_for_window "$caption" "$pid"; then
  echo "FAIL: the window did not appear" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
# The window manager offers no maximising, and the client area is fixed at 344 x 252.
# The window manager's list names the window; a search of the whole window tree could trip
# over the engine's short-lived windows.
window=$(wmctrl -l | grep -F "$caption" | awk '{ print $1; exit }')
actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
status=0
if grep -q MAXIMIZE <<<"$actions" || ! grep -q CLOSE <<<"$actions"; then
  echo "FAIL: allowed actions: $actions" >&2
  status=1
fi
for size in "minimum size: 344 by 252" "maximum size: 344 by 252"; do
  grep -q "$size" <<<"$hints" || { echo "FAIL: no '$size' in $hints" >&2; status=1; }
done
sleep 1  # let the pages start loading, as a user's session would
wmctrl -c "$caption"
for _ in $(seq 1 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the program still runs after its window was closed" >&2
  kill -9 "$pid"
  exit 1
fi
wait "$pid"
code=$?
echo "exit code: $code"
[[ $code -eq 0 && $status -eq 0 ]]
