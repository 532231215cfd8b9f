# Sourced by the tests that start the real program inside x_session.sh.
# wait_for_window CAPTION PID: waits up to 60 s for the window manager to list a window with
# that caption, while PID runs; true once it is listed.
wait_for_window() {
  local caption=$1 pid=$2
  for _ in $(seq 1 600); do
    wmctrl -l | grep -qF "$caption" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  wmctrl -l | grep -qF "$caption"
}
