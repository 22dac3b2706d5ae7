#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 (a debootstrap chroot in
# /tmp/weihe-deb12, made once) and runs both programs there: the package's
# declared dependencies must be all it needs. Needs root and the Debian mirror
# this machine's apt uses (read from its sources, with its Acquire settings
# such as a proxy).
# Usage: scripts/check-package.sh [package.deb]   (default: builds it first)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(./scripts/package.sh | tail -1)}
root=/tmp/weihe-deb12
mirror=$(apt-get indextargets --format '$(REPO_URI) $(CODENAME)' | awk '$2 == "bookworm" { print $1; exit }')
[[ -n $mirror ]] || { echo "this machine's apt sources name no bookworm mirror" >&2; exit 1; }
if [[ ! -x $root/usr/bin/apt-get ]]; then
  command -v debootstrap >/dev/null || apt-get install -y debootstrap
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
for conf in $(grep -l '^[[:space:]]*Acquire' /etc/apt/apt.conf.d/* 2>/dev/null); do
  cp "$conf" "$root/etc/apt/apt.conf.d/"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/weihe.deb"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT
chroot "$root" bash -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/weihe.deb >/dev/null'
chroot "$root" bash -c 'weihe-cli --help >/dev/null && echo "weihe-cli runs"'
chroot "$root" bash -c 'QT_QPA_PLATFORM=offscreen WEIHE_QUIT_AFTER_SHOWN=1 timeout 30 weihe-orders 2>/dev/null'
# Charts, fonts and the PDF writer come with the package: the report draws
# its page offline (an empty archive still has charts and a heading).
chroot "$root" bash -c 'cd /tmp && weihe-cli -q report --format pdf -o /tmp/weihe-report.pdf 2>/dev/null &&
  test -s /tmp/weihe-report.pdf && echo "weihe-cli report writes a PDF"'
