#!/usr/bin/env bash
# The LV2 bundle as LV2's own tools see it: its description validates against
# the schemas lv2-dev installs, lv2info lists every port, and renders of the
# demo through the bundle match those of vesk-render through the VST 2.4
# library sample for sample (NOTE, BEAT and SIMPLE mode, from a saved state).
# Usage: lv2-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "lv2 check: $*"; exit 1; }

# The vocabularies the description uses, as lv2-dev installs them.
schemas=()
for vocabulary in schemas atom buf-size core data-access event instance-access midi options patch port-groups port-props presets resize-port state time ui units urid; do
  schemas+=(/usr/lib/lv2/$vocabulary.lv2/*.ttl)
done
sord_validate "${schemas[@]}" "$build"/vesk.lv2/*.ttl > "$work/validate.log" 2>&1 || { tail -n 30 "$work/validate.log"; fail "the description does not validate"; }
grep -q "Found 0 errors" "$work/validate.log" || { tail -n 30 "$work/validate.log"; fail "the description does not validate"; }

mkdir "$work/lv2" && ln -s "$build/vesk.lv2" "$work/lv2/vesk.lv2"
params=$(($("$build/vesk-params" | wc -l) - 1))
expected=$((params + 64 + 2 + 2))
LV2_PATH="$work/lv2" lv2info urn:vesk-audio:vesk > "$work/info.txt" 2>&1 || { cat "$work/info.txt"; fail "lv2info does not list the plug-in"; }
ports=$(grep -c "^	Port [0-9]*:" "$work/info.txt")
[ "$ports" -eq "$expected" ] || fail "lv2info lists $ports ports, not $expected"
grep -q "Binary: .*vesk_ui.so" "$work/info.txt" || fail "lv2info lists no editor"
presets=$(sed -n '/Presets:/,/^$/p' "$work/info.txt" | grep -c "^	 ")
[ "$presets" -ge 16 ] || fail "lv2info lists $presets presets, not the factory sounds"

"$build/make-demo" "$work" > /dev/null
# At 100 bpm, not the default 120, so the time positions the bundle reads count.
python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); open(sys.argv[1], 'wb').write(d.replace(bytes.fromhex('ff510307a120'), bytes.fromhex('ff51030927c0')))" "$work/demo.mid"
for mode in "note mode" "beat mode" "simple mode"; do
  "$build/vesk-render" --plugin "$build/vesk.so" --in "$work/demo-input.wav" --midi "$work/demo.mid" --out "$work/setup.wav" \
    --set "perfomance mode=$mode" --set "poly/mono=poly" --set "grain overlap=1.5" --set "env R=1.5" \
    --set "wobble amount=0.3" --set "flt freq=3000" --set "mix=0.85" --tail 0 --save-state "$work/patch.fxp" > /dev/null
  "$build/vesk-render" --plugin "$build/vesk.so" --in "$work/demo-input.wav" --midi "$work/demo.mid" --out "$work/vst.wav" \
    --float --format float --state "$work/patch.fxp" --tail 1 > /dev/null
  "$build/vesk-lv2-render" --bundle "$build/vesk.lv2" --in "$work/demo-input.wav" --midi "$work/demo.mid" \
    --out "$work/lv2.wav" --state "$work/patch.fxp" --tail 1
  "$build/wav-compare" "$work/vst.wav" "$work/lv2.wav" 0 || fail "$mode: the LV2 render differs from the VST 2.4 one"
done
# A factory sound, applied as an LV2 host applies a preset (state and port
# values), sounds as its VST 2.4 preset file does.
for preset in "Beat Meters per Key" "Legato Bass"; do
  "$build/vesk-render" --plugin "$build/vesk.so" --in "$work/demo-input.wav" --midi "$work/demo.mid" --out "$work/vst.wav" \
    --float --format float --preset "$preset" --tail 1 > /dev/null 2>&1
  "$build/vesk-lv2-render" --bundle "$build/vesk.lv2" --in "$work/demo-input.wav" --midi "$work/demo.mid" \
    --out "$work/lv2.wav" --preset "$preset" --tail 1
  "$build/wav-compare" "$work/vst.wav" "$work/lv2.wav" 0 || fail "$preset: the LV2 preset sounds unlike the VST 2.4 one"
done
echo "lv2 check: $ports ports and $presets presets, the description validates, renders match the VST 2.4 library's"
