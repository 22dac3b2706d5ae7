#!/usr/bin/env bash
# The demo runs in a profile of its own: the merchant's settings file beside
# the program (pointing at a real shop here) is neither read nor changed, and
# the program the demo starts reads the demo's file with the stand-in's hosts.
# Usage: demo_profile_test.sh <weihe-mall binary>
set -euo pipefail
mall_binary="$(realpath "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

build="$work/build"
mkdir -p "$build/mall"
ln -s "$mall_binary" "$build/mall/weihe-mall"
# A stand-in for the window program: records the settings file beside itself.
cat > "$build/weihe-orders" <<'PROGRAM'
#!/usr/bin/env bash
iconv -f GB18030 -t UTF-8 "$(dirname "$0")/配置文件.ini" | tr -d '\r' > "$(dirname "$0")/seen.txt"
PROGRAM
chmod +x "$build/weihe-orders"
merchant=$'[配置项目]\r\n账号=merchant\r\n密码=secret\r\n[hosts]\r\nbackoffice=shop.example.com\r\n'
printf '%s' "$merchant" | iconv -f UTF-8 -t GB18030 > "$build/配置文件.ini"
before="$(sha256sum < "$build/配置文件.ini")"

DISPLAY=:none "$root/scripts/demo.sh" "$build" > "$work/out.txt"

fail() { echo "FAIL: $*" >&2; cat "$work/out.txt" >&2; exit 1; }
[[ "$(sha256sum < "$build/配置文件.ini")" == "$before" ]] || fail "the merchant's settings changed"
seen="$build/demo-profile/seen.txt"
[[ -f "$seen" ]] || fail "the program did not run in the demo profile"
grep -qx "账号=demo" "$seen" || fail "the demo account is not in the demo's settings"
grep -qx "backoffice=127.0.0.1:18080" "$seen" || fail "the demo does not point at the stand-in"
grep -qx "endpoint=http://127.0.0.1:18083/label/order" "$seen" ||
  fail "the demo's e-waybills do not go to the stand-in"
grep -q "shop.example.com\|merchant" "$seen" && fail "the demo read the merchant's settings"
echo "demo profile: ok"
