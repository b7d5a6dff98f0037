#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: installs missing Debian packages,
# configures the `dev` preset (warnings are errors), builds everything, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset dev
cmake --build --preset dev
ctest --preset dev -j "$(nproc)"
