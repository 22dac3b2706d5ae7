#!/usr/bin/env bash
# Makes the pictures of the merchant's guide, docs/images/*.png: builds
# guide_screenshots (tests/guide/screenshots.cpp) and runs it under Xvfb,
# where it drives the real window against stand-in malls through the guide's
# steps and photographs the window (1136×504) or the dialog a step opens.
# Run it by hand when the window changes, look at the pictures, commit them.
#
# Usage: scripts/screenshots.sh [build-directory]      (default: build-test)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-test}"
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$build" -j1 --target guide_screenshots
out=docs/images
mkdir -p "$out"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
# A screen larger than the window, so dialogs taller than it fit; the window
# is photographed at its own size.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb LANG=zh_CN.UTF-8 LC_ALL=C.UTF-8 \
  xvfb-run -a -s '-screen 0 1400x800x24' "$build/tests/guide_screenshots" "$shots"
# Only a complete run replaces the pictures.
count=$(find "$shots" -name '*.png' | wc -l)
[[ $count -gt 0 ]] || { echo "screenshots: no pictures were made" >&2; exit 1; }
cp "$shots"/*.png "$out"/
echo "screenshots: $count pictures in $out"
