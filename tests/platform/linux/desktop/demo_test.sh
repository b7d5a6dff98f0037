#!/usr/bin/env bash
# The demonstration desktop of the README pictures: the demo itself fails unless every
# sample window is back before its "after" picture, which must then differ from the
# shield's.   demo_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1/scripts/demo.sh" "$2" "$out" >/dev/null
if cmp -s "$out/shield.png" "$out/after.png"; then
  echo "the after picture is the shield's" >&2
  exit 1
fi
