#!/usr/bin/env bash
# The installer's round trip under Wine in a fresh prefix, inside x_session.sh: installer_test.sh
# WORK_DIR PACKAGES_DIR WINE_RUN (PACKAGES_DIR/old: an older version's, upgraded from).
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
work=$1 packages=$2 run=$3 version=1.0.0
# Wine takes the Chinese paths from the arguments as UTF-8; wine_run.sh keeps its prefix here.
export LC_ALL=C.UTF-8 WINEPREFIX="$work/wineprefix"
zip="$packages/quillo-$version-win64.zip"
# The prefix's folders, files, registry keys and values (wine_run.sh leaves the registry
# saved), less Windows Installer's empty records and the display adapter's, which Wine rewrites.
snapshot() {
  { (cd "$WINEPREFIX/drive_c" && find . | sort)
    awk '/^\[/ { key = $0; sub(/\] [0-9]*$/, "]", key); print key; next }
         /^"/ { print key " " $0 }' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sort
  } | grep -Ev '"DriverDateData"=|^\[[^]]*\{4D36E968-E325-11CE-BFC1-08002BE10318\}\\\\0000\] ' |
    grep -Ev '^\./windows/Installer$|Installer(\\\\UserData\\\\S-1-5-18)?\\\\(Components|Features|Products|UpgradeCodes)\]$'
}
# start_and_close WHAT EXE: closed through its frame, EXE ends with 0 (start /wait tells).
start_and_close() {
  QUILLO_WINE_TIMEOUT=120 "$run" "$work" start /wait /unix "$2" & local program=$!
  wait_for_window "$caption" $program || fail "$1: the window did not appear"
  wmctrl -c "$caption"
  wait $program || fail "$1: the program exited with code $? after its window was closed"
}

rm -rf "$work" && mkdir -p "$work"
"$run" "$work" cmd /c exit 0 >/dev/null || { echo "FAIL: no Wine prefix" >&2; exit 1; }
before=$(snapshot)
for package in "$packages"/old/quillo-*-win64.msi "$packages/quillo-$version-win64.msi"; do
  "$run" "$work" msiexec /i "Z:${package//\//\\}" /qn || fail "msiexec /i $package ended with $?"
done
installed="$WINEPREFIX/drive_c/Program Files/Quillo"
expected=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^quillo-$version-win64/||" | sort)
actual=$(cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' | sort)
[[ "$actual" == "$expected" ]] ||
  fail "installed files differ from the archive's: $(diff <(echo "$expected") <(echo "$actual"))"
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Quillo.lnk')
strings "$shortcut" 2>/dev/null | grep -qF 'C:\Program Files\Quillo\bin\quillo.exe' ||
  fail "no Quillo.lnk in a Start menu folder leads to the installed quillo.exe"
entries=$(grep -c 'Uninstall\\\\{[0-9A-F-]*}\]' "$WINEPREFIX/system.reg")
[[ $entries -eq 1 ]] || fail "$entries uninstall entries after the upgrade, not 1"
entry=$(sed -n '/Uninstall\\\\{[0-9A-F-]*}\]/,/^$/p' "$WINEPREFIX/system.reg")
for value in '"DisplayName"="Quillo"' "\"DisplayVersion\"=\"$version\"" \
  '"Publisher"="The Quillo developers"'; do
  grep -qF "$value" <<<"$entry" || fail "the uninstall entry lacks $value"
done
icon=$(sed -n 's/^"ProductIcon"="\(.*\)"$/\1/p' "$WINEPREFIX/system.reg")
icon=${icon//\\\\//}
[[ -n "$icon" && -s "$WINEPREFIX/drive_c/${icon#C:/}" ]] ||
  fail "the installed program's entry has no icon ($icon)"
start_and_close "the installed program" "$installed/bin/quillo.exe"

uninstall=$(sed -n 's/^"UninstallString"=str(2):"\(.*\)"$/\1/p' <<<"$entry")
# shellcheck disable=SC2086  # MsiExec.exe /X{product}
"$run" "$work" ${uninstall:-false} /qn || fail "uninstalling with '$uninstall /qn' ended with $?"
[[ "$(snapshot)" == "$before" ]] ||
  fail "uninstall left the prefix changed: $(diff <(echo "$before") <(snapshot))"
# The archive, unpacked to a Chinese path with spaces.
portable="$WINEPREFIX/drive_c/便携 版/Quillo 拨号"
mkdir -p "$portable" && unzip -q "$zip" -d "$portable"
start_and_close "the unpacked archive" "$portable/quillo-$version-win64/bin/quillo.exe"
exit $status
