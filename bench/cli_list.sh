#!/usr/bin/env bash
# `weihe-cli list all` for 2,000 orders against curl logging in and fetching the
# same list page, both against the stand-in mall on loopback; farm-bench prints
# the ratio weihe-cli / curl (median of paired runs).
# Usage: bench/cli_list.sh [build-dir] [orders] [latency-ms]   (default: build 2000 0)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
orders=${2:-2000}
latency=${3:-0}
for f in "$build/weihe-cli" "$build/mall/weihe-mall"; do
  [[ -x $f ]] || { echo "no $f: build weihe-cli and weihe-mall first" >&2; exit 1; }
done
base=$((20000 + RANDOM % 20000))
"$build/mall/weihe-mall" --backoffice-port=$base --image-port=$((base + 1)) \
  --tracking-port=$((base + 2)) --orders="$orders" --latency-ms="$latency" >/dev/null &
mall=$!
dir=$(mktemp -d)
trap 'kill $mall 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$base") 2>/dev/null && break; sleep 0.1; done
printf '%s\r\n' "[配置项目]" "账号=demo" "密码=demo123" "[hosts]" "backoffice=127.0.0.1:$base" \
  "images=127.0.0.1:$((base + 1))" "tracking=127.0.0.1:$((base + 2))" |
  iconv -f UTF-8 -t GB18030 >"$dir/settings.ini"
lines=$("$build/weihe-cli" -q --settings "$dir/settings.ini" list all | wc -l)
echo "weihe-cli lists $lines orders"
farm-bench -n 15 --warmup 2 --vs "bash bench/curl_login_list.sh 127.0.0.1:$base" -- \
  sh -c "exec $build/weihe-cli -q --settings $dir/settings.ini list all >/dev/null"
