#!/usr/bin/env bash
# The tools as a user meets them: every one answers --help with its usage
# (exit 0) and refuses an option it does not know; vesk-render explains a
# wrong value or name, warns where a render would surprise (exit 0 all the
# same), refuses to overwrite its input, and says its random seed, which
# repeats the render. Usage: cli-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "cli: $*"; failures=$((failures + 1)); }

# expect STATUS PATTERN COMMAND...: the command exits with STATUS (any
# failure for "!0") and says PATTERN.
expect() {
  local want=$1 pattern=$2 status=0; shift 2
  "$@" > "$work/said" 2>&1 || status=$?
  if [ "$want" = '!0' ]; then [ "$status" -ne 0 ]; else [ "$status" -eq "$want" ]; fi ||
    fail "'$*' exited $status, not $want: $(head -c 300 "$work/said")"
  grep -qiE -- "$pattern" "$work/said" || fail "'$*' did not say /$pattern/: $(head -c 300 "$work/said")"
}

for tool in vesk-render vesk-params vesk-shot make-demo make-presets wav-compare make-pictures embed-resources \
            vesk-lv2-ttl vesk-lv2-render vesk-vst3-render vesk-bench vesk-instance-bench; do
  [ -x "$build/$tool" ] || continue
  expect 0 "^usage: $tool" "$build/$tool" --help
  expect '!0' "unknown option" "$build/$tool" --no-such-option x
done

"$build/make-demo" "$work" > /dev/null
render=("$build/vesk-render" --in "$work/demo-input.wav" --out "$work/out.wav" --tail 0)
expect 1 "'mix' wants a number from 0 to 1, not 'abc'" "${render[@]}" --set mix=abc
expect 1 "'active voices' wants a number from 2 to 32, not '99'" "${render[@]}" --set "active voices=99"
expect 1 "'perfomance mode' is one of note mode, beat mode or simple mode" "${render[@]}" --set "perfomance mode=fast"
expect 1 "did you mean 'perfomance mode'" "${render[@]}" --set "performance mode=note mode"
expect 0 "peak" "${render[@]}" --midi "$work/demo.mid" --set "PERFOMANCE MODE=Beat Mode" --set "Grain Overlap=1.5"
expect 0 "warning: no --midi given" "${render[@]}"
expect 1 "overwrite" "$build/vesk-render" --in "$work/demo-input.wav" --out "$work/../$(basename "$work")/demo-input.wav"
# A MIDI file with a tempo and no note, and a WAV file with no samples.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\13\0\377\121\3\7\241\40\0\377\57\0' > "$work/empty.mid"
python3 -c "import wave; w = wave.open('$work/empty.wav', 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(48000); w.close()"
expect 0 "warning: .*empty.mid has no notes" "${render[@]}" --midi "$work/empty.mid"
expect 0 "warning: .*empty.wav holds no audio" "$build/vesk-render" --in "$work/empty.wav" --out "$work/out.wav"

# The seed said repeats the render; the factory sounds are listed and played by name.
"${render[@]}" --midi "$work/demo.mid" --set "error int=10" --tail 1 > "$work/said" 2>&1
seed=$(sed -n 's/.*random seed \([0-9]*\).*/\1/p' "$work/said")
[ -n "$seed" ] || fail "vesk-render said no seed: $(cat "$work/said")"
cp "$work/out.wav" "$work/first.wav"
"${render[@]}" --midi "$work/demo.mid" --set "error int=10" --tail 1 --seed "$seed" > /dev/null 2>&1
"$build/wav-compare" "$work/first.wav" "$work/out.wav" 0 > /dev/null || fail "--seed $seed did not repeat the render"
[ "$("$build/vesk-render" --list-presets | wc -l)" -ge 16 ] || fail "--list-presets lists fewer than 16 sounds"
expect 0 "peak" "${render[@]}" --midi "$work/demo.mid" --preset "grain pad"
expect 1 "no factory sound 'nothing'" "${render[@]}" --preset nothing
expect 0 "flags \(a automatable" "$build/vesk-params"

[ "$failures" -eq 0 ] || exit 1
echo "cli: every tool answers --help; vesk-render explains, warns, refuses and repeats as it should"
