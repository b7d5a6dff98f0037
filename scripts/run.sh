#!/usr/bin/env bash
# Sets up, builds what is missing and starts Tervane Now on your X11 desktop. Without a
# display it starts a private demonstration desktop instead, runs one stage on it and
# writes screenshots (scripts/demo.sh; the folder is the first argument, default
# ./demo-screens).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tervane-now tervane-grab

if [[ -n ${DISPLAY:-} ]]; then
  exec build/release/src/cli/tervane-now
fi
echo "No display: starting a demonstration desktop instead."
exec scripts/demo.sh build/release "${1:-demo-screens}"
