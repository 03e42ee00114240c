#!/usr/bin/env bash
# Puts the faces the editor embeds into resources/fonts/ (not kept in git):
# Roboto Mono, regular and bold, from the npm package that carries its TTF
# files (SIL Open Font License 1.1), and DejaVu Sans, regular and bold, from
# Debian's fonts-dejavu-core, for "Verdana" where the system has none.
# Safe to run again: it fetches only what is missing.
set -euo pipefail
dir="$(cd "$(dirname "$0")/.." && pwd)/resources/fonts"
mkdir -p "$dir"
if [ ! -f "$dir/RobotoMono-Regular.ttf" ] || [ ! -f "$dir/RobotoMono-Bold.ttf" ] || [ ! -f "$dir/RobotoMono-OFL.txt" ]; then
  if ! command -v npm >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm >/dev/null
  fi
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  (cd "$tmp" && npm pack --silent @expo-google-fonts/roboto-mono@0.4.2 >/dev/null)
  tar -xzf "$tmp"/*.tgz -C "$tmp"
  cp "$tmp/package/400Regular/RobotoMono_400Regular.ttf" "$dir/RobotoMono-Regular.ttf"
  cp "$tmp/package/700Bold/RobotoMono_700Bold.ttf" "$dir/RobotoMono-Bold.ttf"
  cp "$tmp/package/LICENSE_FONT" "$dir/RobotoMono-OFL.txt"
fi
dejavu=/usr/share/fonts/truetype/dejavu
for face in DejaVuSans DejaVuSans-Bold; do
  [ -f "$dir/$face.ttf" ] || cp "$dejavu/$face.ttf" "$dir/$face.ttf"
done
[ -f "$dir/DejaVu-LICENSE.txt" ] || cp /usr/share/doc/fonts-dejavu-core/copyright "$dir/DejaVu-LICENSE.txt"
