#!/usr/bin/env bash
# The VST3 bundle through our VST3 host: it lists one instrument class and
# the parameter table with the hidden MIDI ones, renders the demo as
# vesk-render does through the VST 2.4 library sample for sample (NOTE, BEAT
# at 100 bpm and SIMPLE mode, 64-bit and 32-bit, from a saved state), and
# saves the state the VST 2.4 library saves.
# Usage: vst3-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "vst3 check: $*"; exit 1; }
bundle="$build/Vesk.vst3"

[ -f "$bundle/Contents/x86_64-linux/Vesk.so" ] || fail "no module in $bundle"
"$build/vesk-vst3-render" --bundle "$bundle" --list > "$work/list.txt" || fail "the bundle does not list"
grep -q "^class: Vesk (Instrument|Sampler) by Vesk Audio$" "$work/list.txt" || fail "not one instrument class: $(head -1 "$work/list.txt")"
params=$(($("$build/vesk-params" | wc -l) - 1))
listed=$(grep -c "automatable" "$work/list.txt" || true)
hidden=$(grep -c "hidden$" "$work/list.txt" || true)
[ "$(($(wc -l < "$work/list.txt") - 1))" -eq "$((params + 129))" ] || fail "not $params parameters and 129 for MIDI"
[ "$hidden" -eq 129 ] || fail "$hidden hidden MIDI parameters, not 129"

"$build/make-demo" "$work" > /dev/null
# At 100 bpm, not the default 120, so the time the bundle reads counts.
python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); open(sys.argv[1], 'wb').write(d.replace(bytes.fromhex('ff510307a120'), bytes.fromhex('ff51030927c0')))" "$work/demo.mid"
render_args=(--in "$work/demo-input.wav" --midi "$work/demo.mid" --state "$work/patch.fxp" --tail 1 --seed 7)
for mode in "note mode" "beat mode" "simple mode"; do
  "$build/vesk-render" --plugin "$build/vesk.so" --in "$work/demo-input.wav" --midi "$work/demo.mid" --out "$work/setup.wav" \
    --set "perfomance mode=$mode" --set "poly/mono=poly" --set "grain overlap=1.5" --set "env R=1.5" \
    --set "wobble amount=0.3" --set "flt freq=3000" --set "mix=0.85" --tail 0 --save-state "$work/patch.fxp" > /dev/null 2>&1
  for width in 64 32; do
    float=(); [ "$width" = 32 ] && float=(--float)
    "$build/vesk-render" --plugin "$build/vesk.so" "${render_args[@]}" "${float[@]}" --format float \
      --out "$work/vst2.wav" --save-state "$work/vst2.fxp" > /dev/null 2>&1
    "$build/vesk-vst3-render" --bundle "$bundle" "${render_args[@]}" "${float[@]}" --out "$work/vst3.wav" \
      --save-state "$work/vst3.fxp"
    "$build/wav-compare" "$work/vst2.wav" "$work/vst3.wav" 0 > /dev/null || fail "$mode, $width-bit: the VST3 render differs"
    cmp -s "$work/vst2.fxp" "$work/vst3.fxp" || fail "$mode: the VST3 state differs from the VST 2.4 one"
  done
done
echo "vst3 check: one instrument, $listed automatable parameters and $hidden for MIDI, renders and states match the VST 2.4 library's"
