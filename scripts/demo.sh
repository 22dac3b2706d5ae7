#!/usr/bin/env bash
# Runs the program against the stand-in mall: starts weihe-mall on
# 127.0.0.1:18080 (back office), :18081 (images), :18082 (tracking) and :18083
# (e-waybills, 快递100 with the stand-in's demo account), runs
# weihe-orders in a demo profile of its own (build/demo-profile, with its own
# settings file naming the demo account and those hosts), and stops the mall
# when the program ends. The merchant's settings file is never touched.
#
# Usage: scripts/demo.sh [build-directory]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
program="$build/weihe-orders"
mall="$build/mall/weihe-mall"
for f in "$program" "$mall"; do
  if [[ ! -x "$f" ]]; then
    echo "demo: $f is missing; build it first (scripts/run.sh does)" >&2
    exit 1
  fi
done

backoffice_port=18080
image_port=18081
tracking_port=18082
waybill_port=18083

# --- the demo's own profile -------------------------------------------------
# The program reads the settings file beside itself. The demo runs a link (or
# copy) of it in a folder of its own with its own settings file, rewritten on
# every run, so it never reads or writes the merchant's settings and always
# talks to the stand-in, whatever the merchant's file names as hosts.
profile="$build/demo-profile"
mkdir -p "$profile"
ln -f "$program" "$profile/weihe-orders" 2>/dev/null || cp -f "$program" "$profile/weihe-orders"
# The command line beside it uses the same settings, when it was built.
if [[ -x $build/weihe-cli ]]; then
  ln -f "$build/weihe-cli" "$profile/weihe-cli" 2>/dev/null || cp -f "$build/weihe-cli" "$profile/weihe-cli"
fi
program="$profile/weihe-orders"
settings="$profile/配置文件.ini"
(umask 077 && printf '%s\r\n' \
  "[配置项目]" "账号=demo" "密码=demo123" "快递100sky=demo-key" "快递类型=huitong" \
  "[hosts]" "backoffice=127.0.0.1:$backoffice_port" "images=127.0.0.1:$image_port" \
  "tracking=127.0.0.1:$tracking_port" \
  "[waybill]" "provider=kuaidi100" "endpoint=http://127.0.0.1:$waybill_port/label/order" \
  "courier=yuantong" "key=demo-waybill-key" "secret=demo-waybill-secret" "partner_id=demo-partner" \
  | iconv -f UTF-8 -t GB18030 > "$settings.new")
mv "$settings.new" "$settings"

# --- the stand-in mall ------------------------------------------------------
"$mall" --backoffice-port=$backoffice_port --image-port=$image_port \
  --tracking-port=$tracking_port --waybill-port=$waybill_port --tracking-json &
mall_pid=$!
stop_mall() {
  kill "$mall_pid" 2>/dev/null || true
  wait "$mall_pid" 2>/dev/null || true
}
trap stop_mall EXIT
trap 'exit 130' INT TERM

# Wait (at most 5 s) until the back office accepts connections.
for _ in $(seq 50); do
  if ! kill -0 "$mall_pid" 2>/dev/null; then
    echo "demo: the stand-in mall did not start (is port $backoffice_port in use?)" >&2
    exit 1
  fi
  if (exec 3<>"/dev/tcp/127.0.0.1/$backoffice_port") 2>/dev/null; then break; fi
  sleep 0.1
done

# --- the program --------------------------------------------------------------
echo "demo: log in with account demo, password demo123"
status=0
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  xvfb-run -a "$program" || status=$?
else
  "$program" || status=$?
fi
exit "$status"
