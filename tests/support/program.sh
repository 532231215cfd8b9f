# Sourced by the scripts that run the real program: its caption; fail MESSAGE notes a failure
# in status; wait_for_window CAPTION PID: listed by the window manager (60 s, while PID runs).
caption='Quillo BY中国人，中国范~' status=0
fail() { echo "FAIL: $*" >&2; status=1; }
wait_for_window() {
  for _ in $(seq 1 600); do
    wmctrl -l | grep -qF "$1" && return 0
    kill -0 "$2" 2>/dev/null && sleep 0.1 || break
  done
  wmctrl -l | grep -qF "$1"
}
