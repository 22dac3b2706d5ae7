#!/usr/bin/env bash
# Start-up time (program start to window shown) and peak resident memory with
# an empty order table, over several runs on one virtual X server.
# Usage: bench/startup.sh [build-dir] [runs]      (default: build, 10 runs)
set -euo pipefail
build=${1:-build}
runs=${2:-10}
program="$build/weihe-orders"
[[ -x $program ]] || { echo "no $program: build the weihe-orders target first" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

DISPLAY=$display WEIHE_QUIT_AFTER_SHOWN=1 python3 - "$program" "$runs" <<'PY'
import os, subprocess, sys, time
program, runs = sys.argv[1], int(sys.argv[2])
times, rss = [], []
for _ in range(runs):
    start = time.monotonic()
    p = subprocess.Popen([program], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for line in p.stdout:
        if "window shown" in line:
            times.append((time.monotonic() - start) * 1000)
            break
    _, status, usage = os.wait4(p.pid, 0)
    rss.append(usage.ru_maxrss / 1024)
times.sort()
print(f"start to window shown (ms), {runs} runs: min {times[0]:.0f}, "
      f"median {times[len(times) // 2]:.0f}, max {times[-1]:.0f}")
print(f"peak resident memory (MB): {max(rss):.1f}")
PY
