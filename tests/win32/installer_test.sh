#!/usr/bin/env bash
# The installer's round trip under Wine in a fresh prefix, inside x_session.sh:
# installer_test.sh WORK_DIR PACKAGES_DIR WINE_RUN (PACKAGES_DIR/old: an older version's).
# Silent install over the older version; files, shortcut and uninstall entry are there; the
# installed program shows its window and exits 0 when closed; silent uninstall through the
# entry leaves the prefix as it was. The archive, unpacked to a Chinese path with spaces,
# starts too.
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
work=$1
packages=$2
run=$3
export LC_ALL=C.UTF-8  # Wine takes the Chinese paths from the arguments as UTF-8
export WINEPREFIX="$work/wineprefix"  # where wine_run.sh keeps it
version=1.0.0
msi="$packages/quillo-$version-win64.msi"
zip="$packages/quillo-$version-win64.zip"

# What the prefix holds: its folders and files, and its registry keys with their values
# (wine_run.sh leaves the registry saved), less the empty folder and keys where Windows
# Installer keeps its own records and the date Wine gives its display driver at each start.
snapshot() {
  {
    (cd "$WINEPREFIX/drive_c" && find . | sort)
    awk '/^\[/ { key = $0; sub(/\] [0-9]*$/, "]", key); print key; next }
         /^"/ { print key " " $0 }' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sort
  } | grep -v '"DriverDateData"=' | grep -Ev '^\./windows/Installer$|Installer(\\\\UserData\\\\S-1-5-18)?\\\\(Components|Features|Products|UpgradeCodes)\]$'
}
# Starts the program PATH (start /wait gives its exit code; through a .lnk it would not),
# waits for its window, closes it through its frame and checks the exit code.
start_and_close() {
  QUILLO_WINE_TIMEOUT=120 "$run" "$work" start /wait /unix "$2" &
  local program=$!
  wait_for_window "$caption" "$program" || fail "$1: the window did not appear"
  wmctrl -c "$caption"
  wait "$program" || fail "$1: the program exited with code $? after its window was closed"
}

rm -rf "$work" && mkdir -p "$work"
"$run" "$work" cmd /c exit 0 >/dev/null || { echo "FAIL: no Wine prefix" >&2; exit 1; }
before=$(snapshot)

for package in "$packages"/old/quillo-*-win64.msi "$msi"; do
  "$run" "$work" msiexec /i "Z:${package//\//\\}" /qn || fail "msiexec /i $package ended with $?"
done
installed="$WINEPREFIX/drive_c/Program Files/Quillo"
expected=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^quillo-$version-win64/||" | sort)
actual=$(cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' | sort)
[[ "$actual" == "$expected" ]] || fail "installed files differ from the archive's:
$(diff <(echo "$expected") <(echo "$actual"))"

shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Quillo.lnk')
if [[ -z "$shortcut" ]]; then
  fail "no Quillo.lnk in a Start menu folder"
elif ! strings "$shortcut" | grep -qF 'C:\Program Files\Quillo\bin\quillo.exe'; then
  fail "Quillo.lnk does not lead to the installed quillo.exe"
fi

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
after=$(snapshot)
[[ "$after" == "$before" ]] || fail "uninstall left the prefix changed:
$(diff <(echo "$before") <(echo "$after"))"

portable="$WINEPREFIX/drive_c/便携 版/Quillo 拨号"
mkdir -p "$portable" && unzip -q "$zip" -d "$portable"
start_and_close "the unpacked archive" "$portable/quillo-$version-win64/bin/quillo.exe"
exit $status
