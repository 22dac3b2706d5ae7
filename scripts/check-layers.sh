#!/usr/bin/env bash
# Checks that every file under src/ includes only what its layer may:
#   web/, store/           the ground: each other, never core/ or above;
#   core/                  the ground;
#   every other folder but desktop/, charts/, app/ and cli/ is an operation: anything
#                          below it, never app/ or cli/;
#   all of the above       no Qt Widgets header.
# Prints each violation as FILE:LINE: what, and exits 1 when there is one.
# Usage: check-layers.sh [SRC_DIR] [QTWIDGETS_INCLUDE_DIR]
set -euo pipefail
src=${1:-"$(dirname "$0")/../src"}
widgets_dir=${2:-}
if [[ -z $widgets_dir ]]; then
  widgets_dir=$(pkg-config --variable=includedir Qt6Widgets 2>/dev/null || true)/QtWidgets
fi
[[ -d $src ]] || { echo "no source folder: $src" >&2; exit 2; }
[[ -d $widgets_dir ]] || { echo "no Qt Widgets headers at $widgets_dir" >&2; exit 2; }

# Every header name Qt Widgets installs (QWidget, qwidget.h, ...), as one
# alternation; <QtWidgets> and <QtWidgets/...> are caught on their own.
widget_headers=$(find "$widgets_dir" -maxdepth 1 -type f -printf '%f\n' | sed 's/\./\\./g' | paste -sd'|')
top_folders='app|cli'

violations=0
report() { echo "$1: $2"; violations=$((violations + 1)); }

for dir in "$src"/*/; do
  folder=$(basename "$dir")
  case $folder in
    app | cli | desktop | charts) continue ;;
    web | store) forbidden="core|$top_folders|$(ls "$src" | grep -vxE 'web|store' | paste -sd'|')" ;;
    core) forbidden="$(ls "$src" | grep -vxE 'web|store|core' | paste -sd'|')" ;;
    *) forbidden=$top_folders ;;
  esac
  while IFS= read -r hit; do
    [[ -n $hit ]] && report "${hit%%:#*}" "$folder/ may not include ${hit#*#include }"
  done < <(grep -rnE --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($forbidden)/" "$dir" |
    sed -E 's/:[[:space:]]*#[[:space:]]*include[[:space:]]*/:#include /' || true)
  while IFS= read -r hit; do
    [[ -n $hit ]] && report "${hit%%:#*}" "$folder/ may not include a Qt Widgets header: ${hit#*#include }"
  done < <(grep -rnE --include='*.h' --include='*.cpp' \
    "^[[:space:]]*#[[:space:]]*include[[:space:]]*<(QtWidgets(/[^>]*)?|$widget_headers)>" "$dir" |
    sed -E 's/:[[:space:]]*#[[:space:]]*include[[:space:]]*/:#include /' || true)
done

if ((violations)); then
  echo "$violations include(s) cross a layer; see HACKING.md" >&2
  exit 1
fi
echo "layers: every include stays in its layer"
