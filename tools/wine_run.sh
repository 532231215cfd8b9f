#!/usr/bin/env bash
# wine_run.sh BUILD_DIR PROGRAM [ARGS...]: PROGRAM under Wine in BUILD_DIR/wineprefix (made
# once, Chinese UI fonts mapped to WenQuanYi Micro Hei) for QUILLO_WINE_TIMEOUT s (120) at most.
set -uo pipefail
build_dir=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all
# No HTML engine, no .NET, and no menu entries written to the user's desktop for shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
limit=${QUILLO_WINE_TIMEOUT:-120}
log="$build_dir/wineboot.log"
# One step of making the prefix, then its server's end.
step() {
  timeout -k 10 300 "$@" >>"$log" 2>&1 </dev/null &&
    timeout -k 10 120 wineserver -w >>"$log" 2>&1 </dev/null ||
    { echo "wine_run: $1 failed making $WINEPREFIX, see $log" >&2; exit 1; }
}

# One maker at a time; the others wait and find the prefix ready.
exec 9>"$build_dir/wineprefix.lock"
flock 9
if [[ ! -e "$WINEPREFIX/.quillo-ready" ]]; then
  rm -rf "$WINEPREFIX" "$log"
  step wineboot -i
  # regedit reads UTF-16 with a byte order mark.
  { printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n' \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
    for name in "Microsoft YaHei" "Microsoft YaHei UI" "微软雅黑" "SimSun" "宋体" "NSimSun" \
      "新宋体" "SimHei" "黑体" "MS Shell Dlg" "MS Shell Dlg 2"; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$name"
    done
  } | iconv -f UTF-8 -t UTF-16 >"$build_dir/font_substitutes.reg"
  step wine regedit /S "$build_dir/font_substitutes.reg"
  touch "$WINEPREFIX/.quillo-ready"
fi
exec 9>&-

# The output goes through a file: Wine's helper processes would hold a pipe open.
output=$(mktemp "${TMPDIR:-/tmp}/wine_run.XXXXXX")
trap 'rm -f "$output"' EXIT
timeout -k 10 "$limit" wine "$@" >"$output" 2>&1 </dev/null
status=$?
# Waiting for the prefix's server to end leaves the registry saved and nothing running into
# the next test; a run beside a program still running (QUILLO_WINE_BESIDE=1) does not wait.
[[ -n "${QUILLO_WINE_BESIDE:-}" ]] || timeout -k 5 30 wineserver -w </dev/null >/dev/null 2>&1
tr -d '\r' <"$output"
[[ $status -ne 124 && $status -ne 137 ]] || echo "wine_run: $1 did not finish within $limit s" >&2
exit $status
