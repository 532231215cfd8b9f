#!/usr/bin/env bash
# The real program started and closed through its frame (wmctrl -c) many times in a row, at
# moments from "just shown" to "pages loaded", starting as root without being told to turn the
# engine's sandbox off: every run exits 0 within 5 s of the close and says nothing about a page
# outliving its profile; the first offers no maximising and fixes the client area at 344 x 252.
# Run inside x_session.sh.   program_restarts_test.sh PROGRAM [RUNS]
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
program=$1
runs=${2:-50}
unset QTWEBENGINE_DISABLE_SANDBOX
delays=(1 0 0.2 0.5 2)  # seconds between the window showing and its close
log=$(mktemp)
trap 'rm -f "$log"' EXIT

failures=0
for run in $(seq 1 "$runs"); do
  delay=${delays[$(( (run - 1) % ${#delays[@]} ))]}
  "$program" >"$log" 2>&1 &
  pid=$!
  wait_for_window "$caption" "$pid" || { echo "FAIL run $run: no window"; failures=$((failures + 1)); }
  if (( run == 1 )); then
    # The window manager's list names the window; a search of the whole window tree could
    # trip over the engine's short-lived windows.
    window=$(wmctrl -l | grep -F "$caption" | awk '{ print $1; exit }')
    actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
    hints=$(xprop -id "$window" WM_NORMAL_HINTS)
    if grep -q MAXIMIZE <<<"$actions" || ! grep -q CLOSE <<<"$actions" ||
       ! grep -q "minimum size: 344 by 252" <<<"$hints" ||
       ! grep -q "maximum size: 344 by 252" <<<"$hints"; then
      echo "FAIL: allowed actions: $actions; hints: $hints"
      failures=$((failures + 1))
    fi
  fi
  sleep "$delay"
  wmctrl -c "$caption"
  closed=$(date +%s%N)
  while kill -0 "$pid" 2>/dev/null && (( $(date +%s%N) - closed < 5000000000 )); do
    sleep 0.02
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL run $run (closed ${delay}s after showing): still running 5 s after the close"
    if command -v gdb >/dev/null; then  # where its main thread waits
      gdb -p "$pid" -batch -ex "thread apply 1 bt" 2>/dev/null | grep "^#" | head -n 30
    fi
    kill -9 "$pid"
    wait "$pid"
    failures=$(( failures + 1 ))
    continue
  fi
  wait "$pid"
  code=$?
  if (( code != 0 )) || grep -q "Release of profile requested" "$log"; then
    echo "FAIL run $run (closed ${delay}s after showing): exit code $code"
    tail -n 20 "$log"
    failures=$(( failures + 1 ))
  fi
done
echo "$(( runs - failures )) of $runs runs exited cleanly"
(( failures == 0 ))
