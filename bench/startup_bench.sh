#!/usr/bin/env bash
# Start-up time and memory of the real program: from exec to the window shown (mapped and
# viewable), and the resident memory of all its processes (the browser engine's helper
# processes included) once the pages have loaded. Runs on a private virtual display.
#   bench/startup_bench.sh [program] [runs]     default: build/release/bin/quillo, 5 runs
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/release/bin/quillo}")
runs=${2:-5}

if [[ -z "${QUILLO_BENCH_INSIDE:-}" ]]; then
  export QUILLO_BENCH_INSIDE=1
  exec tests/gui/x_session.sh "$0" "$program" "$runs"
fi

caption='Quillo BY中国人，中国范~'
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The process and all its descendants.
tree() {
  local pid=$1
  echo "$pid"
  for child in $(ps -o pid= --ppid "$pid"); do tree "$child"; done
}

# Sums a field (in kB) over the processes: VmRSS from status, Pss from smaps_rollup.
sum_kb() {
  local file=$1 field=$2 total=0
  shift 2
  for pid in "$@"; do
    value=$(awk -v f="$field:" '$1 == f { print $2 }' "/proc/$pid/$file" 2>/dev/null || true)
    total=$(( total + ${value:-0} ))
  done
  echo "$total"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

startups=() rss=() pss=() counts=()
for run in $(seq 1 "$runs"); do
  start=$(now_ms)
  "$program" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --name "Quillo BY" >/dev/null 2>&1; do
    sleep 0.005
  done
  shown=$(now_ms)
  startups+=($(( shown - start )))
  sleep 5  # the three pages load and the engine's helpers settle
  mapfile -t pids < <(tree "$pid")
  counts+=("${#pids[@]}")
  rss+=("$(sum_kb status VmRSS "${pids[@]}")")
  pss+=("$(sum_kb smaps_rollup Pss "${pids[@]}")")
  wmctrl -c "$caption"
  wait "$pid" || true
  echo "run $run: shown after ${startups[-1]} ms; ${counts[-1]} processes;" \
    "RSS $(( rss[-1] / 1024 )) MiB, PSS $(( pss[-1] / 1024 )) MiB"
done

echo "startup_ms_median $(printf '%s\n' "${startups[@]}" | median)"
echo "processes $(printf '%s\n' "${counts[@]}" | median)"
echo "rss_mib_median $(( $(printf '%s\n' "${rss[@]}" | median) / 1024 ))"
echo "pss_mib_median $(( $(printf '%s\n' "${pss[@]}" | median) / 1024 ))"
