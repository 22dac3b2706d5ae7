#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: both programs, the desktop entry
# naming the window and its icon, and the icon itself, the guide with its
# pictures; the installed command line runs.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/weihe-orders bin/weihe-cli share/applications/weihe-orders.desktop \
  share/icons/hicolor/48x48/apps/weihe-orders.png share/doc/weihe-orders/copyright \
  share/doc/weihe-orders/使用说明.md share/doc/weihe-orders/images/login.png; do
  [[ -e $prefix/$f ]] || { echo "missing after install: $f" >&2; exit 1; }
done
desktop=$prefix/share/applications/weihe-orders.desktop
grep -q "^License: GPL-3.0-or-later" "$prefix/share/doc/weihe-orders/copyright"
grep -qx 'Name=蔚禾商城订单管理系统' "$desktop"
grep -qx 'Exec=weihe-orders' "$desktop"
grep -qx 'Icon=weihe-orders' "$desktop"
grep -q '^Categories=.*Office;' "$desktop"
ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/weihe-cli" --help | grep -q 'poll'
echo "installed and ran"
