#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWEIHE_SANITIZE=ON
cmake --build build-test -j2
cd build-test
ctest --output-on-failure -j2 --timeout 600 "$@"
# A short run of every fuzz target (own clang build in build-fuzz); WEIHE_FUZZ_SECONDS=0 skips it.
if [[ "${WEIHE_FUZZ_SECONDS:-20}" != 0 ]]; then ../fuzz/smoke.sh "${WEIHE_FUZZ_SECONDS:-20}"; fi
