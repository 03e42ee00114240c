#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's packages. Safe to run
# again: it asks apt only for what is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest
  libbenchmark-dev libpng-dev libgif-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core libx11-dev libxtst-dev xvfb xauth
  dpf-plugins-vst)  # the last: another maker's plug-ins, loaded by the host tests
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
