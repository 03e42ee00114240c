#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's packages. Safe to run
# again: it asks apt only for what is missing. Packages named on the command
# line are installed too (the benchmark's peers).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest
  libpng-dev libgif-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core libx11-dev libxtst-dev xvfb xauth python3
  lv2-dev liblilv-dev lilv-utils sordi)
# Other makers' hosts and plug-ins the tests load ours in and theirs with.
peers=(dpf-plugins-vst amsynth ardour "$@")

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
# The faces the editor embeds, once the packages above are in.
fonts() { bash "$(dirname "$0")/install-fonts.sh"; }
mapfile -t tools < <(missing "${packages[@]}")
mapfile -t hosts < <(missing "${peers[@]}")
if [ ${#tools[@]} -eq 0 ] && [ ${#hosts[@]} -eq 0 ]; then fonts; exit 0; fi
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${tools[*]} ${hosts[*]}"
$sudo apt-get update -qq
install=($sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq)
[ ${#tools[@]} -eq 0 ] || "${install[@]}" "${tools[@]}" >/dev/null
# The host's own recommendations (a sound server, manuals) are not needed.
[ ${#hosts[@]} -eq 0 ] || "${install[@]}" --no-install-recommends "${hosts[@]}" >/dev/null
fonts
