# Sourced by the scripts that run the real program: its caption; fail MESSAGE, which notes a
# failure in status; and wait_for_window CAPTION PID, true once the window manager lists the
# window (60 s at most, while PID runs).
caption='Quillo BY中国人，中国范~'
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
wait_for_window() {
  for _ in $(seq 1 600); do
    wmctrl -l | grep -qF "$1" && return 0
    kill -0 "$2" 2>/dev/null || break
    sleep 0.1
  done
  wmctrl -l | grep -qF "$1"
}
