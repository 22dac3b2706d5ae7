#!/usr/bin/env bash
# What the shipping journal costs a batch. First a 1,000-order batch against
# the stand-in on loopback, with and without the journal, interleaved (their
# medians and ratio). Then the journal's own write per shipment (one short
# transaction each, the file never held between them) against a batch with
# the back office 50 ms away: the share of the batch's time spent writing the
# journal, which must stay under 1 %.
# Usage: bench/journal_ratio.sh [build dir, default build]
set -euo pipefail
bench=${1:-build}/bench/bench_fulfilment
"$bench" --benchmark_filter='ShipAllOrders(WithJournal)?/' --benchmark_repetitions=8 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true |
  awk '/ShipAllOrders\/.*_median/ {without=$2} /ShipAllOrdersWithJournal.*_median/ {with=$2}
       END {printf "loopback: without journal %s ms, with journal %s ms, ratio %.2f\n", without, with, with/without}'
"$bench" --benchmark_filter='JournalRecordInBatch|ShipAllOrdersAtLatency/4' |
  awk '/BM_JournalRecordInBatch/ {entry=$2} /BM_ShipAllOrdersAtLatency\/4/ {batch=$2}
       END {share = 1000 * entry / 1000 / batch * 100
            printf "journal entry %.1f us; 1,000-order batch at 50 ms: %.0f ms; journal share %.3f %%\n", entry, batch, share
            if (share >= 1) { print "journal share is 1 % or more"; exit 1 }}'
