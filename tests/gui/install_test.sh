#!/usr/bin/env bash
# What `cmake --install` puts in place, and with "package" the Debian package too: the same
# files, plus its copyright; icons in eight sizes with alpha; valid desktop files; its
# dependencies; no cache refreshed by hand; the unpacked program places a call; no lintian
# error.   install_test.sh BUILD_DIR SOURCE_DIR [package]
set -uo pipefail
source "$(dirname "$0")/../support/program.sh"
build=$1 source=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/usr" >/dev/null || fail "cmake --install"
for file in bin/quillo lib/quillo/quillo_engine.so share/applications/net.quillo.Quillo.desktop \
  share/metainfo/net.quillo.Quillo.metainfo.xml \
  share/quillo/pages/{locale/cn,partner,author,profile}/index.html; do
  [[ -e "$work/usr/$file" ]] || fail "$file is not installed"
done
[[ -x "$work/usr/bin/quillo" ]] || fail "bin/quillo is not executable"
for size in 128 96 72 64 48 32 24 16; do
  icon=$work/usr/share/icons/hicolor/${size}x${size}/apps/net.quillo.Quillo.png
  got=$(identify -format '%wx%h %[channels]' "$icon" 2>/dev/null)
  [[ "$got" == "${size}x${size} srgba" ]] || fail "the ${size}px icon is '$got'"
done
desktop-file-validate "$work/usr/share/applications/net.quillo.Quillo.desktop" || fail desktop
appstreamcli validate --no-net "$work/usr/share/metainfo/net.quillo.Quillo.metainfo.xml" ||
  fail metainfo
[[ ${3:-} == package ]] || exit $status

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/out/quillo_*.deb)
dpkg-deb -x "$package" "$work/root"
listed() { (cd "$1" && find usr -type f | grep -v '^usr/share/doc/' | sort); }
diff <(listed "$work") <(listed "$work/root") || fail "the package's files differ from the install's"
[[ -e "$work/root/usr/share/doc/quillo/copyright" ]] || fail "no copyright in the package"
depends=$(dpkg-deb -f "$package" Depends)
for needed in fonts-wqy-microhei libqt6webenginewidgets6 libqt6widgets6; do
  grep -q "$needed" <<<"$depends" || fail "no $needed in Depends: $depends"
done
# Menus and icon caches are dpkg's file triggers' to refresh (CPack's scripts run ldconfig).
for script in postinst postrm; do
  dpkg-deb -I "$package" "$script" 2>/dev/null | grep -qE 'desktop-database|icon-cache' &&
    fail "$script refreshes a cache by hand"
done
PYTHONPATH="$source/tools" "$source/tools/x_session.sh" python3 "$source/tests/e2e/call_test.py" \
  "$work/root/usr/bin/quillo" || fail "the unpacked program did not place the call"
lintian --fail-on error "$package" || fail "lintian found errors"
exit $status
