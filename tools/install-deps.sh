#!/usr/bin/env bash
# Installs what a job needs from Debian's packages, asking apt only for what
# is missing (safe to run again):
#   install-deps.sh           building and the demo: compilers, libraries, LV2
#   install-deps.sh test      and the test tools, the hosts and other makers'
#                             plug-ins the tests load ours in and theirs with
#   install-deps.sh bench [PACKAGE ...]
#                             and the benchmark's peers named
set -euo pipefail
build=(build-essential cmake ninja-build pkg-config libpng-dev libgif-dev libfreetype-dev libfontconfig-dev
  fonts-dejavu-core libx11-dev lv2-dev liblilv-dev python3)
tests=(clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest libxtst-dev xvfb xauth lilv-utils sordi)
hosts=(dpf-plugins-vst amsynth ardour)
case "${1:-}" in
  "") wanted=("${build[@]}") ;;
  test) wanted=("${build[@]}" "${tests[@]}" "${hosts[@]}") ;;
  bench) wanted=("${build[@]}" "${@:2}") ;;
  *) echo "usage: install-deps.sh [test | bench [PACKAGE ...]]" >&2; exit 2 ;;
esac

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
# The faces the editor embeds, once the packages above are in.
fonts() { bash "$(dirname "$0")/install-fonts.sh"; }
mapfile -t needed < <(missing "${wanted[@]}")
if [ ${#needed[@]} -eq 0 ]; then fonts; exit 0; fi
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${needed[*]}"
$sudo apt-get update -qq
# The hosts' own recommendations (a sound server, manuals) are not needed.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fonts
