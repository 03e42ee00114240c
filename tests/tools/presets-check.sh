#!/usr/bin/env bash
# Every factory sound plays the demo input and notes as vesk-render --preset
# plays it: each sounds (not silent, peak below 0 dBFS, every sample a
# number) and no two sound alike (their spectra over time differ).
# Usage: presets-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/make-demo" "$work" > /dev/null
mapfile -t presets < <("$build/vesk-render" --list-presets)
[ "${#presets[@]}" -ge 16 ] || { echo "presets: only ${#presets[@]} factory sounds"; exit 1; }
renders=()
for preset in "${presets[@]}"; do
  out="$work/${preset// /_}.wav"
  line=$("$build/vesk-render" --in "$work/demo-input.wav" --midi "$work/demo.mid" --out "$out" --preset "$preset" \
    --seed 1 --tail 2 2> /dev/null)
  read -r peak rms < <(sed -n 's/.*peak \([^ ]*\) dBFS, RMS \([^ ]*\) dBFS.*/\1 \2/p' <<< "$line")
  awk -v peak="$peak" -v rms="$rms" 'BEGIN { exit !(peak < 0 && rms > -60) }' ||
    { echo "presets: '$preset' peaks at $peak dBFS with an RMS of $rms dBFS"; exit 1; }
  renders+=("$out")
done
"$build/wav-compare" --distinct "${renders[@]}"
echo "presets: ${#presets[@]} factory sounds, each sounding, no two alike"
