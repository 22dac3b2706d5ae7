#!/usr/bin/env bash
# Installs what is missing, builds the program and the stand-in mall, starts the
# mall on loopback and the program pointed at it; stops the mall when the
# program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEIHE_TESTS=OFF -DWEIHE_BENCH=OFF
cmake --build build -j2 --target weihe-orders weihe-cli weihe-mall
exec ./scripts/demo.sh build
