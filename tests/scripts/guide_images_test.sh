#!/usr/bin/env bash
# Every picture the merchant's guide shows is there: a screenshot renamed or
# never made would leave the guide with a hole.
# Usage: guide_images_test.sh DOCS_DIR
set -euo pipefail
docs=$1
guide=$docs/使用说明.md
[[ -f $guide ]] || { echo "missing: $guide" >&2; exit 1; }
images=$(grep -o '!\[[^]]*\]([^)]*)' "$guide" | sed 's/.*](\(.*\))/\1/' || true)
[[ -n $images ]] || { echo "the guide shows no pictures" >&2; exit 1; }
missing=0
while read -r image; do
  [[ -s $docs/$image ]] || { echo "missing picture: $image" >&2; missing=1; }
done <<< "$images"
exit $missing
