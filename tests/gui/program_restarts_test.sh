#!/usr/bin/env bash
# The real program, as root and not told to turn the engine's sandbox off, closed through its frame
# from "just shown" to "pages loaded": each run exits 0 within 5 s, no page outliving its profile;
# the first offers no maximising, its client fixed at 344 x 252.   ... PROGRAM [RUNS]
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
unset QTWEBENGINE_DISABLE_SANDBOX
delays=(2 1 0 0.2 0.5)  # seconds between the window showing and its close, from the first run's 1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for run in $(seq 1 "${2:-50}"); do
  delay=${delays[run % ${#delays[@]}]}
  "$1" >"$log" 2>&1 & pid=$!
  wait_for_window "$caption" "$pid" || fail "run $run: no window"
  if (( run == 1 )); then  # the window manager's window, not the engine's short-lived ones
    window=$(wmctrl -l | grep -F "$caption" | awk '{ print $1; exit }')
    frame=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS WM_NORMAL_HINTS)
    grep -q MAXIMIZE <<<"$frame" && fail "the frame offers maximising: $frame"
    for want in CLOSE "minimum size: 344 by 252" "maximum size: 344 by 252"; do
      grep -q "$want" <<<"$frame" || fail "no '$want' in the frame: $frame"
    done
  fi
  sleep "$delay"
  wmctrl -c "$caption"
  if ! timeout 5 tail --pid="$pid" -s 0.02 -f /dev/null; then
    fail "run $run (closed ${delay}s after showing): still running 5 s after the close"
    gdb -p "$pid" -batch -ex "thread apply 1 bt" 2>/dev/null | grep "^#" | head -n 30  # main thread
    kill -9 "$pid"
  fi
  wait "$pid"; code=$?
  if (( code != 0 )) || grep -q "Release of profile requested" "$log"; then
    fail "run $run (closed ${delay}s after showing): exit code $code"
    tail -n 20 "$log"
  fi
done
exit $status
