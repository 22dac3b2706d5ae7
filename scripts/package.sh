#!/usr/bin/env bash
# Builds the Debian package of both programs from a Release build in
# build-package/: prints the .deb's path. Install it with
#   apt-get install ./build-package/weihe-orders_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DWEIHE_TESTS=OFF -DWEIHE_BENCH=OFF >/dev/null
cmake --build build-package -j2 --target weihe-orders weihe-cli
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/weihe-orders_*.deb
