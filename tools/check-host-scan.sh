#!/usr/bin/env bash
# Loads vesk.so in a real third-party VST 2.4 host: the plug-in scanner that
# ships with Debian's DAW package. The package is downloaded and unpacked in
# a cache folder (not installed); only its two small library dependencies
# are installed. Prints what the scanner reports and fails when it does not
# find the plug-in.
#   tools/check-host-scan.sh [path/to/vesk.so]
set -euo pipefail
cd "$(dirname "$0")/.."
plugin=$(realpath "${1:-build/release/vesk.so}")
[ -f "$plugin" ] || { echo "check-host-scan: no plug-in at $plugin (run ./run build first)" >&2; exit 1; }
cache=build/host-peers
mkdir -p "$cache"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ! -x "$cache/ardour/usr/lib/ardour7/ardour-vst-scanner" ]; then
  $sudo apt-get update -qq
  (cd "$cache" && apt-get download ardour >/dev/null)
  dpkg -x "$cache"/ardour_*.deb "$cache/ardour"
fi
for p in libglibmm-2.4-1v5 libsigc++-2.0-0v5; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$p" >/dev/null
done
scanner="$cache/ardour/usr/lib/ardour7/ardour-vst-scanner"
report=$(LD_LIBRARY_PATH="$cache/ardour/usr/lib/ardour7" HOME="$PWD/$cache" timeout 60 "$scanner" -v -f "$plugin" 2>&1)
echo "$report"
grep -q 'name="Vesk"' <<<"$report" && grep -q 'n_inputs="64" n_outputs="2"' <<<"$report"
echo "check-host-scan: the host found Vesk"
