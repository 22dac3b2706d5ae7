#!/usr/bin/env bash
# The yardstick of bench/parallel_ratio.sh: curl logs in to the back office at
# $1 as bench/curl_login_list.sh does, fetches the all-orders list, then every
# order's edit page named in $2 (one id a line), 4 at once on one session cookie.
# --parallel-immediate opens the 4 connections at once: without it curl waits
# for each connection to see whether it could multiplex, which HTTP/1.1 never
# does, and fetches about one page at a time.
set -euo pipefail
host=$1
ids=$2
jar=$(mktemp)
urls=$(mktemp)
trap 'rm -f "$jar" "$urls"' EXIT
bash "$(dirname "$0")/curl_login_list.sh" "$host" "$jar"
sed "s|.*|url = \"http://$host/order/edit?id=&\"\noutput = \"/dev/null\"|" "$ids" >"$urls"
curl -s --no-progress-meter --parallel --parallel-immediate --parallel-max 4 -b "$jar" -K "$urls"
