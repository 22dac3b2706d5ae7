#!/usr/bin/env bash
# Runs the keyring test of the test program $1 against gnome-keyring-daemon
# on a private session bus, in a home folder of its own (the keyring's files
# live there and go with it).
set -euo pipefail
program=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/share XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export WEIHE_KEYRING_REQUIRED=1 QT_QPA_PLATFORM=offscreen
exec dbus-run-session -- bash -c '
  echo -n weihe | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$1" --gtest_filter="KeyringOnPrivateBus.*"' keyring "$program"
