#!/usr/bin/env bash
# `weihe-cli list all` for 2,000 orders against curl logging in and fetching the
# same list page, both against the stand-in mall on loopback; prints the ratio
# weihe-cli / curl (median of paired runs).
# Usage: bench/cli_list.sh [build-dir] [orders] [latency-ms]   (default: build 2000 0)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
orders=${2:-2000}
latency=${3:-0}
source bench/lib.sh
start_stand_in "$build" "$orders" "$latency"
lines=$("$build/weihe-cli" -q --settings "$dir/settings.ini" list all | wc -l)
echo "weihe-cli lists $lines orders"
paired_runs 15 curl "bash bench/curl_login_list.sh 127.0.0.1:$base" \
  weihe-cli "$build/weihe-cli -q --settings $dir/settings.ini list all"
