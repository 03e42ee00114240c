#!/usr/bin/env bash
# The install step as the README shows it (./run install): into a home of
# its own and under a prefix, the installed copies found by LV2's lv2ls and
# Ardour's VST 2.4 and VST3 scanners (the effect and the instruments, as
# hosts list them), then removed.
# Usage: install-check.sh
set -euo pipefail
run=$(cd "$(dirname "$0")/../.." && pwd)/run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install: $*"; exit 1; }
export HOME="$work/home"
mkdir -p "$HOME"
unset LV2_PATH
said=$("$run" install | tail -n 5)
for path in .vst/vesk.so .vst/vesk-instrument.so .lv2/vesk.lv2/manifest.ttl .vst3/Vesk.vst3/Contents/x86_64-linux/Vesk.so; do
  [ -e "$HOME/$path" ] || fail "no ~/$path after installing: $said"
done
grep -q "installed $HOME/.vst/vesk.so" <<< "$said" || fail "it did not say where: $said"
grep -q -- "--uninstall" <<< "$said" || fail "it did not say how to remove it: $said"
lv2ls | grep -qx "urn:vesk-audio:vesk" || fail "lv2ls does not list the installed bundle"
for lib in vesk.so vesk-instrument.so; do
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$HOME/.vst/$lib" > "$work/scan.log" 2>&1 ||
    fail "Ardour's scanner failed on ~/.vst/$lib: $(cat "$work/scan.log")"
done
cache=$(cat "$HOME"/.cache/ardour7/vst/*.v2i)
grep -q 'name="Vesk" .*category="Effect".*n_midi_outputs="0" is_instrument="0"' <<< "$cache" || fail "the effect scanned as: $cache"
grep -q 'name="Vesk Instrument" .*category="Instrument".*is_instrument="1"' <<< "$cache" || fail "the instrument scanned as: $cache"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$HOME/.vst3/Vesk.vst3" > "$work/scan.log" 2>&1 ||
  fail "Ardour's VST3 scanner failed on ~/.vst3/Vesk.vst3: $(cat "$work/scan.log")"
cache=$(cat "$HOME"/.cache/ardour7/vst/*.v3i)
grep -q 'name="Vesk" vendor="Vesk Audio" category="Instrument|Sampler"' <<< "$cache" || fail "the VST3 bundle scanned as: $cache"
"$run" install --uninstall > /dev/null
[ ! -e "$HOME/.vst/vesk.so" ] && [ ! -e "$HOME/.lv2/vesk.lv2" ] && [ ! -e "$HOME/.vst3/Vesk.vst3" ] || fail "--uninstall left files behind"
"$run" install --prefix "$work/usr" > /dev/null
LV2_PATH="$work/usr/lib/lv2" lv2ls | grep -qx "urn:vesk-audio:vesk" || fail "lv2ls does not list the bundle under the prefix"
[ -e "$work/usr/lib/vst/vesk-instrument.so" ] && [ -d "$work/usr/lib/vst3/Vesk.vst3" ] || fail "nothing under the prefix"
echo "install: installed, found by lv2ls and Ardour's scanner, removed"
