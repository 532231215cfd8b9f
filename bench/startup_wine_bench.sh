#!/usr/bin/env bash
# Start-up time of the Windows program under Wine, on a private virtual display: from exec to
# a window whose dial pad is painted (its pixels read back by the paint probe), for quillo.exe
# against a plain Win32 window of the same size with a dozen buttons
# (bench/plain_window_win.cpp), both in the same Wine prefix with its server kept running,
# taken in turns; the result is the ratio of the medians.
#   bench/startup_wine_bench.sh [windows build] [runs] [paint probe]
#   default: build/windows (the windows preset, which builds both programs), 7 runs, and the
#   probe of the dev build (cmake --build --preset dev --target quillo_paint_probe).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/windows}")
runs=${2:-7}
probe=$(realpath "${3:-build/dev/bench/quillo_paint_probe}")

if [[ -z "${QUILLO_BENCH_INSIDE:-}" ]]; then
  export QUILLO_BENCH_INSIDE=1
  exec tools/x_session.sh "$0" "$build" "$runs" "$probe"
fi

# The prefix the tests use (wine_run.sh makes it on first use, fonts mapped).
tools/wine_run.sh "$build" cmd /c exit >/dev/null 2>&1 || true
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
wineserver -p  # stays up between the runs, as the system would be on Windows
trap 'wineserver -k 2>/dev/null || true' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
field() { awk -v f="$1" '$1 == f { print $2 }' <<<"$2"; }

# The process and all its descendants (Wine runs the program in a child process).
tree() {
  local pid=$1
  echo "$pid"
  for child in $(ps -o pid= --ppid "$pid"); do tree "$child"; done
}

# One start: prints the milliseconds to the painted dial pad, then ends the program.
start() {
  local out pid pids
  out=$(timeout -k 5 90 "$probe" "$(command -v wine)" "$1" || true)
  pid=$(field pid "$out")
  mapfile -t pids < <(tree "$pid")
  kill "${pids[@]}" 2>/dev/null || true
  for _ in $(seq 1 500); do kill -0 "$pid" 2>/dev/null || break; sleep 0.01; done
  kill -9 "${pids[@]}" 2>/dev/null || true
  field dial_pad_ms "$out"
}

start "$build/bin/quillo_plain_window_win.exe" >/dev/null  # warms the prefix and the caches
plain=() quillo=()
for run in $(seq 1 "$runs"); do
  plain+=("$(start "$build/bin/quillo_plain_window_win.exe")")
  quillo+=("$(start "$build/bin/quillo.exe")")
  echo "run $run: plain Win32 window painted after ${plain[-1]} ms, quillo.exe's dial pad" \
    "after ${quillo[-1]} ms"
done
plain_median=$(printf '%s\n' "${plain[@]}" | median)
quillo_median=$(printf '%s\n' "${quillo[@]}" | median)
echo "wine_plain_window_ms_median $plain_median"
echo "wine_quillo_dial_pad_ms_median $quillo_median"
echo "wine_ratio $(awk -v q="$quillo_median" -v p="$plain_median" 'BEGIN { printf "%.2f", q / p }')"
echo "bar dial pad under Wine: ${quillo_median} ms <= 1.5 x ${plain_median} ms:" \
  "$( (( quillo_median * 2 <= plain_median * 3 )) && echo met || echo MISSED)"
