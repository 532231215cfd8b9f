#!/usr/bin/env bash
# The Debian package made from a build: it unpacks into a bare folder, the program in it finds
# its pages there and places a call through its window (tests/e2e/call_test.py), and lintian
# finds no error in it.   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/out/quillo_*.deb)
dpkg-deb -x "$package" "$work/root"

fail=0
for file in usr/bin/quillo usr/lib/quillo/quillo_engine.so \
  usr/share/quillo/pages/locale/cn/index.html \
  usr/share/applications/net.quillo.Quillo.desktop \
  usr/share/metainfo/net.quillo.Quillo.metainfo.xml \
  usr/share/icons/hicolor/48x48/apps/net.quillo.Quillo.png usr/share/doc/quillo/copyright; do
  [[ -e "$work/root/$file" ]] || { echo "FAIL: $file is not in the package"; fail=1; }
done
depends=$(dpkg-deb -f "$package" Depends)
for needed in fonts-wqy-microhei libqt6webenginewidgets6 libqt6widgets6; do
  grep -q "$needed" <<<"$depends" || { echo "FAIL: no $needed in Depends: $depends"; fail=1; }
done
# The menus and icon caches are dpkg's file triggers' to refresh, not maintainer scripts'
# (CPack's own scripts run ldconfig for the module below /usr/lib).
for script in postinst postrm; do
  dpkg-deb -I "$package" "$script" 2>/dev/null | grep -qE 'desktop-database|icon-cache' &&
    { echo "FAIL: $script refreshes a cache by hand"; fail=1; }
done

PYTHONPATH="$source/tools" "$source/tools/x_session.sh" python3 "$source/tests/e2e/call_test.py" \
  "$work/root/usr/bin/quillo" || { echo "FAIL: the unpacked program did not place the call"; fail=1; }

lintian --fail-on error "$package" || { echo "FAIL: lintian found errors"; fail=1; }
exit "$fail"
