#!/usr/bin/env bash
# A 1,000-order batch against the stand-in on loopback, with and without the
# shipping journal, interleaved; prints both medians and their ratio.
# Usage: bench/journal_ratio.sh [build dir, default build]
set -euo pipefail
bench=${1:-build}/bench/bench_fulfilment
"$bench" --benchmark_filter='ShipAllOrders' --benchmark_repetitions=8 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true |
  awk '/ShipAllOrders\/.*_median/ {without=$2} /ShipAllOrdersWithJournal.*_median/ {with=$2}
       END {printf "without journal %s ms, with journal %s ms, ratio %.2f\n", without, with, with/without}'
