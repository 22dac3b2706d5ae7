# Sourced by the bench scripts.
#
# start_stand_in BUILD ORDERS LATENCY_MS starts
# the stand-in mall on free ports with ORDERS orders and every answer LATENCY_MS
# late, and writes a settings file for it, $dir/settings.ini; the mall is
# stopped and $dir removed when the script exits. Sets $base (the back-office
# port) and $dir.
start_stand_in() {
  local build=$1 orders=$2 latency=$3
  for f in "$build/weihe-cli" "$build/mall/weihe-mall"; do
    [[ -x $f ]] || { echo "no $f: build weihe-cli and weihe-mall first" >&2; exit 1; }
  done
  base=$((20000 + RANDOM % 20000))
  "$build/mall/weihe-mall" --backoffice-port=$base --image-port=$((base + 1)) \
    --tracking-port=$((base + 2)) --orders="$orders" --latency-ms="$latency" >/dev/null &
  stand_in_pid=$!
  dir=$(mktemp -d)
  trap 'kill $stand_in_pid 2>/dev/null || true; rm -rf "$dir"' EXIT
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$base") 2>/dev/null && break; sleep 0.1; done
  printf '%s\r\n' "[配置项目]" "账号=demo" "密码=demo123" "[hosts]" "backoffice=127.0.0.1:$base" \
    "images=127.0.0.1:$((base + 1))" "tracking=127.0.0.1:$((base + 2))" |
    iconv -f UTF-8 -t GB18030 >"$dir/settings.ini"
}

# paired_runs RUNS LABEL_A CMD_A LABEL_B CMD_B runs the two commands in turn,
# A B A B ..., after one warm-up of each, and prints each one's median wall
# time and the median of the pair-by-pair ratios B/A (how many times slower B
# is); the ratio is also left in $ratio.
paired_runs() {
  local runs=$1 label_a=$2 cmd_a=$3 label_b=$4 cmd_b=$5 i t0 t1 t2
  local times
  times=$(mktemp)
  bash -c "$cmd_a" >/dev/null 2>&1 || true
  bash -c "$cmd_b" >/dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    bash -c "$cmd_a" >/dev/null 2>&1 || echo "$label_a failed" >&2
    t1=$(date +%s%N)
    bash -c "$cmd_b" >/dev/null 2>&1 || echo "$label_b failed" >&2
    t2=$(date +%s%N)
    echo "$(((t1 - t0) / 1000000)) $(((t2 - t1) / 1000000))" >>"$times"
  done
  ratio=$(awk -v a="$label_a" -v b="$label_b" '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j-1] > v[j]; j--) { t = v[j]; v[j] = v[j-1]; v[j-1] = t }
      return n % 2 ? v[(n+1)/2] : (v[n/2] + v[n/2+1]) / 2
    }
    { ta[NR] = $1; tb[NR] = $2; r[NR] = $2 / $1 }
    END {
      printf "%s: median %.2f s, %s: median %.2f s (%d pairs)\n", a, median(ta, NR) / 1000, b, median(tb, NR) / 1000, NR > "/dev/stderr"
      printf "%.2f", median(r, NR)
    }' "$times")
  rm -f "$times"
  echo "$label_b / $label_a: $ratio"
}
