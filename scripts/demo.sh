#!/usr/bin/env bash
# Runs the program against the stand-in mall: starts weihe-mall on
# 127.0.0.1:18080 (back office), :18081 (images) and :18082 (tracking), makes
# sure the settings file beside the program names the demo account and those
# hosts (values already set are kept), runs weihe-orders, and stops the mall
# when the program ends.
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

# --- settings file: GB18030 text with CR LF line ends -----------------------
settings="$(dirname "$program")/配置文件.ini"

# Adds key=value to a section unless the key already has a non-empty value.
# Section and key names compare regardless of ASCII case; a missing key goes
# to the end of its section, a missing section to the end of the file.
ensure_settings() {
  local wanted="$1" utf8
  if [[ -f "$settings" ]]; then
    if ! utf8="$(iconv -f GB18030 -t UTF-8 "$settings" | tr -d '\r')"; then
      echo "demo: $settings is not GB18030 text; leaving it alone" >&2
      return 0
    fi
  else
    utf8=""
  fi
  (umask 077 && { if [[ -n "$utf8" ]]; then printf '%s\n' "$utf8"; fi; } | awk -v wanted="$wanted" '
    function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
    function flush(sec,   i) {
      for (i = 1; i <= n; i++)
        if (tolower(wsec[i]) == sec && !done[i]) { print wkey[i] "=" wval[i]; done[i] = 1 }
    }
    BEGIN {
      n = split(wanted, items, "\n")
      for (i = 1; i <= n; i++) {
        split(items[i], f, "\t"); wsec[i] = f[1]; wkey[i] = f[2]; wval[i] = f[3]
      }
      section = ""
    }
    /^[ \t]*\[/ {
      flush(section)
      s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s)
      section = tolower(trim(s)); print; next
    }
    {
      eq = index($0, "=")
      if (eq > 0) {
        key = tolower(trim(substr($0, 1, eq - 1))); value = trim(substr($0, eq + 1))
        for (i = 1; i <= n; i++) {
          if (tolower(wsec[i]) == section && tolower(wkey[i]) == key && !done[i]) {
            done[i] = 1
            if (value == "") { print wkey[i] "=" wval[i]; next }
          }
        }
      }
      print
    }
    END {
      flush(section)
      for (i = 1; i <= n; i++) {
        if (done[i]) continue
        print "[" wsec[i] "]"
        for (j = i; j <= n; j++)
          if (wsec[j] == wsec[i] && !done[j]) { print wkey[j] "=" wval[j]; done[j] = 1 }
      }
    }' | sed 's/$/\r/' | iconv -f UTF-8 -t GB18030 > "$settings.new")
  mv "$settings.new" "$settings"
  chmod 600 "$settings"
}

# The value of a key ("" when the file, section or key is missing).
read_setting() {
  [[ -f "$settings" ]] || return 0
  iconv -f GB18030 -t UTF-8 "$settings" 2>/dev/null | tr -d '\r' | awk -v sec="$1" -v key="$2" '
    function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
    /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*$/, "", s); in_sec = tolower(trim(s)) == tolower(sec); next }
    in_sec && index($0, "=") > 0 && tolower(trim(substr($0, 1, index($0, "=") - 1))) == tolower(key) {
      print trim(substr($0, index($0, "=") + 1)); exit
    }' || true
}

# The demo account goes in only as a whole: a merchant's own account keeps its password.
account=()
if [[ -z "$(read_setting 配置项目 账号)" ]]; then
  account=(配置项目 账号 demo 配置项目 密码 demo123)
fi
ensure_settings "$(printf '%s\t%s\t%s\n' \
  "${account[@]}" \
  配置项目 快递100sky demo-key \
  配置项目 快递类型 huitong \
  hosts backoffice "127.0.0.1:$backoffice_port" \
  hosts images "127.0.0.1:$image_port" \
  hosts tracking "127.0.0.1:$tracking_port")"

# --- the stand-in mall ------------------------------------------------------
"$mall" --backoffice-port=$backoffice_port --image-port=$image_port \
  --tracking-port=$tracking_port &
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
