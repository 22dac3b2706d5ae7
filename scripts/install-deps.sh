#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages already present are skipped, and apt is not touched at all
# when nothing is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache
  # window toolkit
  qt6-base-dev libgl-dev libglx-dev libopengl-dev qt6-qpa-plugins
  # web access, patterns, pictures
  libcurl4-openssl-dev libpcre2-dev libre2-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  # speech
  libespeak-ng-dev espeak-ng-data
  # the program's database (shipping journal)
  libsqlite3-dev
  # the store several packing stations share: its client library, and the server the tests start
  libpq-dev postgresql-15
  # barcodes on printed packing slips
  libzint-dev
  # the 统计 page's and the report's charts
  qt6-charts-dev libqt6opengl6-dev
  # workbooks
  libxlsxwriter-dev libzip-dev libexpat1-dev libfreexl-dev
  # command line: options and JSON output; packaging (cpack -G DEB runs dpkg-shlibdeps)
  libcli11-dev nlohmann-json3-dev dpkg-dev file
  # stand-in mall
  libcpp-httplib-dev libssl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev curl xvfb xauth
  # https back offices: the system's trust store; a certificate made for the TLS tests
  ca-certificates openssl
  # reading printed PDFs back in tests: their text and their barcodes
  poppler-utils zbar-tools
  # passwords in the desktop's keyring (QtKeychain over the Secret Service)
  qtkeychain-qt6-dev
  # a private session bus for the desktop notification test; a keyring daemon on one for the keyring test
  dbus-daemon gnome-keyring libsecret-tools
  # fuzzing (fuzz/smoke.sh): clang, libFuzzer and sanitizer runtimes, llvm-symbolizer
  clang libclang-rt-14-dev llvm
  # fonts so the window shows Chinese text and printed PDFs embed it, and
  # the emoji buyers put in names and messages (else each is a box)
  fonts-wqy-microhei fonts-noto-color-emoji
  # Qt's own dialogs in Chinese
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "all packages present"
fi
