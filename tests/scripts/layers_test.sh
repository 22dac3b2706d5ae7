#!/usr/bin/env bash
# The layer check passes on the tree as it is, and fails on a copy of it with
# one planted violation of each kind.
# Usage: layers_test.sh SRC_DIR QTWIDGETS_INCLUDE_DIR
set -euo pipefail
src=$1
widgets=$2
check=$(dirname "$0")/../../scripts/check-layers.sh
bash "$check" "$src" "$widgets"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expect_caught() { # FILE LINE
  rm -rf "$work/src" && cp -r "$src" "$work/src"
  echo "$2" >> "$work/src/$1"
  if bash "$check" "$work/src" "$widgets" > "$work/out" 2>&1; then
    echo "not caught: '$2' in $1" >&2
    exit 1
  fi
  grep -q "$1" "$work/out" || { echo "caught, but the file is not named: $1" >&2; cat "$work/out" >&2; exit 1; }
}
expect_caught web/http.cpp '#include "core/form.h"'
expect_caught store/database.h '#include "backoffice/login.h"'
expect_caught core/settings.cpp '#include "fulfilment/shipping.h"'
expect_caught fulfilment/shipping.cpp '#include "app/gui/main_window.h"'
expect_caught backoffice/login.cpp '  #  include "cli/commands.h"'
expect_caught exchange/export.cpp '#include <QWidget>'
expect_caught finance/withdrawals.h '#include <QtWidgets/QMessageBox>'
expect_caught core/form.h '#include <qlabel.h>'
echo "every planted violation was caught"
