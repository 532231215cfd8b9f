#!/usr/bin/env bash
# Runs a command inside a private X session: a fresh Xvfb on a free display and openbox as
# its window manager, so that windows get frames and can be closed through them. Whatever
# DISPLAY held before is ignored. Exits with the command's code.
set -uo pipefail

fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do
  [[ -s "$fd_file" ]] && break
  sleep 0.05
done
display=$(head -n1 "$fd_file")
rm -f "$fd_file"
if [[ -z "$display" ]]; then
  echo "x_session: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=":$display"
# What runs in this session carries its mark: a session in another network namespace can have
# the same display number.
export QUILLO_X_SESSION="$$.$(date +%s%N)"
# wmctrl answers once openbox manages the screen. Now and then, right after Xvfb has said it
# is ready, openbox cannot open the display and ends at once; it is then started again. A
# command never runs without a window manager: windows would get no frame to close them by.
managed=""
for _ in 1 2 3; do
  openbox --sm-disable >/dev/null 2>&1 &
  openbox=$!
  for _ in $(seq 1 100); do
    wmctrl -m >/dev/null 2>&1 && managed=yes && break
    kill -0 "$openbox" 2>/dev/null || break
    sleep 0.05
  done
  [[ -n "$managed" ]] && break
  kill "$openbox" 2>/dev/null
  wait "$openbox" 2>/dev/null
done
if [[ -z "$managed" ]]; then
  echo "x_session: the window manager did not start on $DISPLAY" >&2
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  exit 1
fi

"$@"
code=$?
# Whatever the command left running in this session (a program whose test was cut short)
# goes with it, so that it cannot spin on after its X server is gone.
for environ in /proc/[0-9]*/environ; do
  pid=${environ#/proc/}
  pid=${pid%/environ}
  [[ "$pid" == "$$" || "$pid" == "$openbox" ]] && continue
  if tr '\0' '\n' 2>/dev/null <"$environ" | grep -qx "QUILLO_X_SESSION=$QUILLO_X_SESSION"; then
    kill -9 "$pid" 2>/dev/null
  fi
done
kill "$openbox" "$xvfb" 2>/dev/null
wait "$openbox" "$xvfb" 2>/dev/null
exit "$code"
