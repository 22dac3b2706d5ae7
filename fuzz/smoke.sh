#!/usr/bin/env bash
# Builds the fuzz targets with clang (WEIHE_FUZZ=ON) and runs each one for a
# while on a copy of its seed corpus. Fails when any target reports a crash,
# a sanitizer error, a leak, a timeout or a broken property; the input that
# did it is kept in <build>/fuzz-findings/<target>/.
#
# Usage: fuzz/smoke.sh [seconds-per-target]         (default: 20)
# Environment: WEIHE_FUZZ_BUILD   build directory   (default: build-fuzz)
#              WEIHE_FUZZ_SOURCE  source directory  (default: this checkout)
#              WEIHE_FUZZ_JOBS    build jobs        (default: 2)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
if [[ ! "$seconds" =~ ^[1-9][0-9]*$ ]]; then  # libFuzzer takes 0 for "no time limit"
  echo "usage: fuzz/smoke.sh [seconds-per-target, at least 1]" >&2
  exit 2
fi
source_dir="${WEIHE_FUZZ_SOURCE:-$PWD}"
build="${WEIHE_FUZZ_BUILD:-$PWD/build-fuzz}"
targets=(fuzz_text fuzz_cookies fuzz_pages fuzz_workbook fuzz_picture fuzz_settings fuzz_goods_table fuzz_waybill)

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DWEIHE_FUZZ=ON -DWEIHE_TESTS=OFF -DWEIHE_BENCH=OFF
cmake --build "$build" -j"${WEIHE_FUZZ_JOBS:-2}" --target fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen

failed=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/tmp"
  cp fuzz/corpus/"$t"/* "$work/$t/corpus/"
  start=$SECONDS
  if TMPDIR="$work/$t/tmp" "$build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
       -timeout=10 -artifact_prefix="$work/$t/" "$work/$t/corpus" >"$work/$t/log" 2>&1; then
    echo "$t: ok ($(grep -o 'Done [0-9]* runs' "$work/$t/log" | cut -d' ' -f2) runs, $((SECONDS - start)) s)"
  else
    echo "$t: FAILED"
    grep -v '^#' "$work/$t/log" | tail -n 40
    mkdir -p "$build/fuzz-findings/$t"
    find "$work/$t" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
      -o -name 'oom-*' -o -name 'slow-unit-*' \) -exec cp {} "$build/fuzz-findings/$t/" \;
    cp "$work/$t/log" "$build/fuzz-findings/$t/log"
    failed+=("$t")
  fi
done

if ((${#failed[@]})); then
  echo "fuzz smoke run failed: ${failed[*]} (inputs in $build/fuzz-findings)" >&2
  exit 1
fi
echo "fuzz smoke run passed"
