#!/usr/bin/env bash
# Fetches the application's type faces, Figtree (regular, medium) and Space Grotesk
# (light), with their licence texts, into build-assets/fonts/ (git-ignored). The build
# embeds whatever it finds there when it is configured; without them the platform's face
# stands in. Both faces are under the SIL Open Font License and ship as TTF files in the
# npm registry's font packages, whose versions are pinned here.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$root/build-assets/fonts}"
packages=(
  "@expo-google-fonts/figtree@0.4.1"
  "@expo-google-fonts/space-grotesk@0.4.1"
)
# package folder name -> files to take from it
declare -A wanted=(
  [figtree]="400Regular/Figtree_400Regular.ttf 500Medium/Figtree_500Medium.ttf"
  [space-grotesk]="300Light/SpaceGrotesk_300Light.ttf"
)
declare -A licence=([figtree]="Figtree-OFL.txt" [space-grotesk]="SpaceGrotesk-OFL.txt")

have_all=1
for name in "${!wanted[@]}"; do
  for file in ${wanted[$name]} ${licence[$name]}; do
    [[ -f "$dest/$(basename "$file")" ]] || have_all=0
  done
done
if ((have_all)) && [[ "${FETCH_FONTS_AGAIN:-0}" != 1 ]]; then
  exit 0
fi

if ! command -v npm >/dev/null 2>&1; then
  echo "fetch-fonts: npm is not installed; the platform's face will stand in." >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "${packages[@]}" >/dev/null)

mkdir -p "$dest"
for name in "${!wanted[@]}"; do
  tarball=("$work"/expo-google-fonts-"$name"-*.tgz)
  mkdir -p "$work/$name"
  tar -xzf "${tarball[0]}" -C "$work/$name"
  for file in ${wanted[$name]}; do
    install -m 0644 "$work/$name/package/$file" "$dest/$(basename "$file")"
  done
  install -m 0644 "$work/$name/package/LICENSE_FONT" "$dest/${licence[$name]}"
done
echo "fetch-fonts: fonts in $dest"
