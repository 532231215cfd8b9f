#!/usr/bin/env bash
# The real program started and closed through its frame (wmctrl -c) many times in a row, at
# moments from "just shown" to "pages loaded", as root without being told to turn the engine's
# sandbox off: every run exits 0 within 5 s of the close and says nothing about a page
# outliving its profile; the first offers no maximising and fixes the client area at 344 x 252.
# Run inside x_session.sh.   program_restarts_test.sh PROGRAM [RUNS]
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
unset QTWEBENGINE_DISABLE_SANDBOX
delays=(1 0 0.2 0.5 2)  # seconds between the window showing and its close
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for run in $(seq 1 "${2:-50}"); do
  delay=${delays[$(( (run - 1) % ${#delays[@]} ))]}
  "$1" >"$log" 2>&1 &
  pid=$!
  wait_for_window "$caption" "$pid" || fail "run $run: no window"
  if (( run == 1 )); then
    # From the window manager's list: the window tree holds the engine's short-lived windows.
    window=$(wmctrl -l | grep -F "$caption" | awk '{ print $1; exit }')
    actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
    hints=$(xprop -id "$window" WM_NORMAL_HINTS)
    grep -q MAXIMIZE <<<"$actions" && fail "the frame offers maximising: $actions"
    grep -q CLOSE <<<"$actions" || fail "the frame offers no close: $actions"
    grep -q "minimum size: 344 by 252" <<<"$hints" || fail "minimum size: $hints"
    grep -q "maximum size: 344 by 252" <<<"$hints" || fail "maximum size: $hints"
  fi
  sleep "$delay"
  wmctrl -c "$caption"
  closed=$(date +%s%N)
  while kill -0 "$pid" 2>/dev/null && (( $(date +%s%N) - closed < 5000000000 )); do sleep 0.02; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "run $run (closed ${delay}s after showing): still running 5 s after the close"
    command -v gdb >/dev/null &&  # where its main thread waits
      gdb -p "$pid" -batch -ex "thread apply 1 bt" 2>/dev/null | grep "^#" | head -n 30
    kill -9 "$pid"
  fi
  wait "$pid"
  code=$?
  if (( code != 0 )) || grep -q "Release of profile requested" "$log"; then
    fail "run $run (closed ${delay}s after showing): exit code $code"
    tail -n 20 "$log"
  fi
done
exit $status
