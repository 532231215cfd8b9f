#!/usr/bin/env bash
# `cmake --install` puts the program, its pages, the desktop entry, the hicolor icons in
# eight sizes (32-bit with alpha) and the AppStream metainfo in place, and both desktop
# files validate.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
expect() { [[ -e "$prefix/$1" ]] || { echo "FAIL: $1 is not installed" >&2; fail=1; }; }
expect bin/quillo
expect lib/quillo/quillo_engine.so
expect share/quillo/pages/locale/cn/index.html
expect share/quillo/pages/partner/index.html
expect share/quillo/pages/author/index.html
expect share/quillo/pages/profile/index.html
expect share/applications/net.quillo.Quillo.desktop
expect share/metainfo/net.quillo.Quillo.metainfo.xml
for size in 128 96 72 64 48 32 24 16; do
  icon=share/icons/hicolor/${size}x${size}/apps/net.quillo.Quillo.png
  expect "$icon"
  [[ -e "$prefix/$icon" ]] || continue
  got=$(identify -format '%wx%h %[channels]' "$prefix/$icon")
  [[ "$got" == "${size}x${size} srgba" ]] || { echo "FAIL: $icon is $got" >&2; fail=1; }
done
[[ -x "$prefix/bin/quillo" ]] || { echo "FAIL: bin/quillo is not executable" >&2; fail=1; }

desktop-file-validate "$prefix/share/applications/net.quillo.Quillo.desktop" || fail=1
appstreamcli validate --no-net "$prefix/share/metainfo/net.quillo.Quillo.metainfo.xml" || fail=1
exit $fail
