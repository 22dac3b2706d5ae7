#!/usr/bin/env bash
# What the request pool gains with the back office 50 ms away (the stand-in's
# latency knob), against the stand-in on loopback:
#  - `weihe-cli list all --details` for 500 orders, 4 requests at once, against
#    curl logging in, listing and fetching the same 500 edit pages 4 at once
#    on one session cookie (bench/curl_parallel_details.sh);
#  - the same with the pool set to 1 (settings key `connections`);
#  - a 1,000-order batch, pool 4 against pool 1 (bench_fulfilment);
#  - the worst delay of a 10 ms timer on the window's thread while 按钮6 fetches
#    500 details (bench_window_list).
# Usage: bench/parallel_ratio.sh [build-dir] [runs]   (default: build 3)
# A Release build: weihe-cli weihe-mall bench_fulfilment bench_window_list.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-3}
orders=500
source bench/lib.sh
start_stand_in "$build" "$orders" 50
cp "$dir/settings.ini" "$dir/one.ini"
printf '%s\r\n' "[network]" "connections=1" >>"$dir/one.ini"
"$build/weihe-cli" -q --settings "$dir/settings.ini" list all --format tsv |
  awk -F'\t' 'NR == 1 {for (i = 1; i <= NF; i++) if ($i == "id") c = i; next} {print $c}' >"$dir/ids"
echo "$(wc -l <"$dir/ids") orders listed"
cli="$build/weihe-cli -q --settings"
paired_runs "$runs" curl "bash bench/curl_parallel_details.sh 127.0.0.1:$base $dir/ids" \
  "weihe-cli (4 at once)" "$cli $dir/settings.ini list all --details"
paired_runs "$runs" "weihe-cli (4 at once)" "$cli $dir/settings.ini list all --details" \
  "weihe-cli (one after another)" "$cli $dir/one.ini list all --details"

"$build/bench/bench_fulfilment" --benchmark_filter='ShipAllOrdersAtLatency' |
  awk '/AtLatency\/1\// {one=$2} /AtLatency\/4\// {four=$2}
       END {printf "1,000-order batch: pool 1 %.1f s, pool 4 %.1f s, ratio %.2f\n", one/1000, four/1000, one/four}'
QT_QPA_PLATFORM=offscreen "$build/bench/bench_window_list" --benchmark_filter='DetailsThroughWindow' |
  grep -o 'worst_tick_delay_ms=[0-9.]*' | sed 's/^/500 details in the window: /'
