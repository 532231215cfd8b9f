#!/usr/bin/env bash
# Start-up time and memory of the real program, on a private virtual display:
# - from exec to a window whose dial pad is painted (its pixels read back), against a plain
#   Qt Widgets window of the same size with a dozen buttons (bench/plain_window.cpp);
# - from exec to the partner page painted in its box;
# - the proportional (PSS) and resident (RSS) memory of all its processes, the browser
#   engine's helpers included, once the pages have loaded; and whether it exits cleanly.
# An earlier build of the program, when given, is measured in the same run for comparison.
#   bench/startup_bench.sh [program] [runs] [earlier program]
#   default: build/release/bin/quillo, 5 runs; the tools come from the program's build tree,
#   configured with -DQUILLO_BUILD_TESTS=ON (the release preset builds no tests or tools).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/release/bin/quillo}")
runs=${2:-5}
earlier=${3:+$(realpath "$3")}

if [[ -z "${QUILLO_BENCH_INSIDE:-}" ]]; then
  export QUILLO_BENCH_INSIDE=1
  exec tools/x_session.sh "$0" "$program" "$runs" "$earlier"
fi

tools=$(realpath "$(dirname "$program")/../bench")
probe=$tools/quillo_paint_probe
caption='Quillo BY中国人，中国范~'
log=$(mktemp)
trap 'rm -f "$log"' EXIT

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
field() { awk -v f="$1" '$1 == f { print $2 }' <<<"$2"; }

# Waits up to 10 s for a process that is not our child to end.
gone() {
  for _ in $(seq 1 1000); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.01
  done
  return 1
}

# measure NAME PROGRAM: one start of Quillo; appends to the NAME_* arrays.
measure() {
  local name=$1 binary=$2 out pid
  out=$("$probe" --partner "$binary" 2>"$log")
  pid=$(field pid "$out")
  sleep 5  # the three pages load and the engine's helpers settle
  mapfile -t pids < <(tree "$pid")
  eval "${name}_pad+=($(field dial_pad_ms "$out"))"
  eval "${name}_partner+=($(field partner_ms "$out"))"
  eval "${name}_count+=(${#pids[@]})"
  eval "${name}_rss+=($(( $(sum_kb status VmRSS "${pids[@]}") / 1024 )))"
  eval "${name}_pss+=($(( $(sum_kb smaps_rollup Pss "${pids[@]}") / 1024 )))"
  local closed=$(date +%s%N)
  wmctrl -c "$caption"
  if gone "$pid"; then
    eval "${name}_exit+=($(( ($(date +%s%N) - closed) / 1000000 )))"
  else
    eval "${name}_exit+=(stalled)"
    kill -9 "$pid"
  fi
  grep -c "Release of profile requested" "$log" >/dev/null && eval "${name}_warned+=(1)"
  return 0
}

plain=() quillo_pad=() quillo_partner=() quillo_count=() quillo_rss=() quillo_pss=()
quillo_exit=() quillo_warned=() earlier_pad=() earlier_partner=() earlier_count=()
earlier_rss=() earlier_pss=() earlier_exit=() earlier_warned=()
for run in $(seq 1 "$runs"); do
  out=$("$probe" "$tools/quillo_plain_window")
  plain+=("$(field dial_pad_ms "$out")")
  kill "$(field pid "$out")"
  gone "$(field pid "$out")"
  measure quillo "$program"
  [[ -n "$earlier" ]] && measure earlier "$earlier"
  echo "run $run: plain window painted after ${plain[-1]} ms; Quillo's dial pad after" \
    "${quillo_pad[-1]} ms, partner page after ${quillo_partner[-1]} ms, ${quillo_count[-1]}" \
    "processes, PSS ${quillo_pss[-1]} MiB, RSS ${quillo_rss[-1]} MiB, exit" \
    "${quillo_exit[-1]} ms after the close"
done

report() {
  local name=$1 label=$2
  local -n pad=${name}_pad partner=${name}_partner count=${name}_count rss=${name}_rss
  local -n pss=${name}_pss exits=${name}_exit warned=${name}_warned
  echo "$label dial_pad_ms_median $(printf '%s\n' "${pad[@]}" | median)"
  echo "$label partner_ms_median $(printf '%s\n' "${partner[@]}" | median)"
  echo "$label processes_median $(printf '%s\n' "${count[@]}" | median)"
  echo "$label pss_mib_median $(printf '%s\n' "${pss[@]}" | median)"
  echo "$label rss_mib_median $(printf '%s\n' "${rss[@]}" | median)"
  echo "$label exit_ms_after_close ${exits[*]}"
  echo "$label profile_warnings ${#warned[@]}"
}
plain_median=$(printf '%s\n' "${plain[@]}" | median)
echo "plain_window_ms_median $plain_median"
report quillo quillo
[[ -n "$earlier" ]] && report earlier earlier
pad_median=$(printf '%s\n' "${quillo_pad[@]}" | median)
pss_median=$(printf '%s\n' "${quillo_pss[@]}" | median)
echo "bar dial pad: ${pad_median} ms <= 1.5 x ${plain_median} ms:" \
  "$( (( pad_median * 2 <= plain_median * 3 )) && echo met || echo MISSED)"
echo "bar memory: PSS ${pss_median} MiB <= 200 MiB:" \
  "$( (( pss_median <= 200 )) && echo met || echo MISSED)"
