#!/usr/bin/env bash
# Installs the Debian packages Tervane Now builds and tests with, when any is missing.
# Runs apt-get update once, then one install; needs root (CI runs as root) or sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  nlohmann-json3-dev libutf8proc-dev liburiparser-dev uuid-dev libcpp-httplib-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# Later layers add their packages to this file, one word per line.
if [[ -f "$(dirname "$0")/packages.txt" ]]; then
  while read -r p; do [[ -n "$p" && "$p" != \#* ]] && packages+=("$p"); done \
    < "$(dirname "$0")/packages.txt"
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# Optional, separate step: the application's type faces (scripts/fetch-fonts.sh). Without
# them the platform's face stands in, so a failure here never fails the setup.
# npm comes from Debian's package unless a Node.js that carries its own is already there.
if ! command -v npm >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    npm >/dev/null 2>&1 || true
fi
"$(dirname "$0")/fetch-fonts.sh" ||
  echo "setup-deps: the fonts were not fetched; the platform's face will stand in." >&2
