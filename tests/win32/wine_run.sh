#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: wine_run.sh BUILD_DIR PROGRAM [ARGS...]
# The Wine prefix lives in BUILD_DIR/wineprefix; it is created once (the first run takes the
# lock, later ones wait for it), with the Chinese UI fonts mapped to WenQuanYi Micro Hei so
# that Chinese captions draw. Every run has a time limit (QUILLO_WINE_TIMEOUT seconds, 120
# by default). The program's output is collected in a file and printed afterwards without
# carriage returns: Wine's helper processes inherit the program's output, and a pipe they
# held would keep the caller waiting after the program has ended.
set -uo pipefail

build_dir=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
# No HTML engine, no .NET, and no menu entries written to the user's desktop for shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
limit=${QUILLO_WINE_TIMEOUT:-120}

create_prefix() {
  local log="$build_dir/wineboot.log"
  echo "wine_run: creating the Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"
  if ! timeout -k 10 300 wineboot -i >"$log" 2>&1 </dev/null ||
     ! timeout -k 10 120 wineserver -w >>"$log" 2>&1 </dev/null; then
    echo "wine_run: wineboot failed, see $log" >&2
    return 1
  fi
  # regedit reads UTF-16 with a byte order mark; the font names include Chinese ones.
  local fonts="$build_dir/font_substitutes.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    for name in "Microsoft YaHei" "Microsoft YaHei UI" "微软雅黑" "SimSun" "宋体" "NSimSun" \
                "新宋体" "SimHei" "黑体" "MS Shell Dlg" "MS Shell Dlg 2"; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$name"
    done
  } | iconv -f UTF-8 -t UTF-16 >"$fonts"
  if ! timeout -k 10 120 wine regedit /S "$fonts" >>"$log" 2>&1 </dev/null ||
     ! timeout -k 10 120 wineserver -w >>"$log" 2>&1 </dev/null; then
    echo "wine_run: the font substitutes could not be written, see $log" >&2
    return 1
  fi
  touch "$WINEPREFIX/.quillo-ready"
}

# One creator at a time; the others wait here and find the prefix ready.
exec 9>"$build_dir/wineprefix.lock"
flock 9
if [[ ! -e "$WINEPREFIX/.quillo-ready" ]]; then
  create_prefix || exit 1
fi
flock -u 9
exec 9>&-

output=$(mktemp "${TMPDIR:-/tmp}/wine_run.XXXXXX")
trap 'rm -f "$output"' EXIT
timeout -k 10 "$limit" wine "$@" >"$output" 2>&1 </dev/null
status=$?
# The prefix's server and services end with the last program; waiting for them leaves the
# registry saved and nothing running into the next test. A run beside a program still
# running (QUILLO_WINE_BESIDE=1) does not wait.
[[ -n "${QUILLO_WINE_BESIDE:-}" ]] || timeout -k 5 30 wineserver -w </dev/null >/dev/null 2>&1
tr -d '\r' <"$output"
if [[ $status -eq 124 || $status -eq 137 ]]; then
  echo "wine_run: $1 did not finish within $limit s" >&2
fi
exit $status
