#!/usr/bin/env bash
# What `cmake --install` puts in place: the program needs none of the engine's libraries; its module
# needs them and takes the window registry and the platform's code from the program, one of each.
# With "package", the Debian package: the same files and a copyright, its dependencies, no cache
# refreshed by hand, a call from the unpacked program, no lintian error.   BUILD SOURCE [package]
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
build=$1 source=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null || fail "cmake --install"
cd "$work/usr" || exit 1
[[ -x bin/quillo ]] || fail "bin/quillo is not an installed program"
for file in lib/quillo/quillo_engine.so \
  share/quillo/pages/{locale/cn,partner,author,profile}/index.html; do
  [[ -e $file ]] || fail "$file is not installed"
done
needed() { readelf -d "$1" | awk '/NEEDED/ { print $5 }'; }
defined() { nm -D --defined-only --demangle "$1"; }
undefined() { nm -D --undefined-only --demangle "$1"; }
while read -r file listing pattern expected; do  # whether the file's listing shows the pattern
  grep -qF -- "$pattern" <<<"$("$listing" "$file")" && got=yes || got=no
  [[ $got == "$expected" ]] || fail "$file $listing $pattern: listed $got"
done <<'ROWS'
bin/quillo needed WebEngine no
lib/quillo/quillo_engine.so needed WebEngineCore yes
lib/quillo/quillo_engine.so defined quillo_make_browser_engine yes
lib/quillo/quillo_engine.so defined quillo::registry::CreateWindow no
lib/quillo/quillo_engine.so undefined quillo::registry::CreateWindow yes
bin/quillo defined quillo::registry::CreateWindow yes
bin/quillo defined quillo::AutomationObject::Adopt yes
ROWS
for size in 128 96 72 64 48 32 24 16; do  # square, with alpha
  got=$(identify -format '%wx%h %[channels]' \
    "share/icons/hicolor/${size}x${size}/apps/net.quillo.Quillo.png" 2>/dev/null)
  [[ "$got" == "${size}x${size} srgba" ]] || fail "the ${size}px icon is '$got'"
done
desktop-file-validate share/applications/net.quillo.Quillo.desktop || fail desktop
appstreamcli validate --no-net share/metainfo/net.quillo.Quillo.metainfo.xml || fail metainfo
[[ ${3:-} == package ]] || exit $status
out=$(cpack --config "$build/CPackConfig.cmake" -B "$work/out" 2>&1) || { echo "$out"; exit 1; }
package=$(ls "$work"/out/quillo_*.deb)
dpkg-deb -x "$package" "$work/root"
listed() { (cd "$1" && find usr -type f | grep -v '^usr/share/doc/' | sort); }
diff <(listed "$work") <(listed "$work/root") || fail "the package's files are not the install's"
[[ -e "$work/root/usr/share/doc/quillo/copyright" ]] || fail "no copyright in the package"
depends=$(dpkg-deb -f "$package" Depends)
for needed in fonts-wqy-microhei libqt6webenginewidgets6 libqt6widgets6; do
  grep -q "$needed" <<<"$depends" || fail "no $needed in Depends: $depends"
done
for script in postinst postrm; do  # dpkg's file triggers refresh them (CPack's run ldconfig)
  dpkg-deb -I "$package" "$script" 2>/dev/null | grep -qE 'desktop-database|icon-cache' &&
    fail "$script refreshes the menu or icon cache by hand"
done
PYTHONPATH="$source/tools" "$source/tools/x_session.sh" python3 "$source/tests/e2e/call_test.py" \
  "$work/root/usr/bin/quillo" || fail "the unpacked program did not place the call"
lintian --fail-on error "$package" || fail "lintian found errors"
exit $status
