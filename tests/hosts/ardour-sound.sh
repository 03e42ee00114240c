#!/usr/bin/env bash
# Ardour plays the Linux plug-in with sound: a session records a sine input
# and two notes (ardour-record.lua), the host exports it to a WAV file, loads
# and saves it again (ardour-resave.lua) and exports once more;
# ardour-sound.py checks both exports. What the host said is printed when a
# step fails.
# The instrument (vesk-instrument.so, and the LV2 and VST3 bundles, which
# the host lists as instruments) goes on a MIDI track made as the host's
# dialog makes one, whose outputs the instrument decides.
# Usage: ardour-sound.sh path/to/vesk.so|vesk-instrument.so|vesk.lv2|Vesk.vst3 path/to/vesk-render
set -euo pipefail
plugin=$(realpath "$1") render=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vst" "$work/lv2" "$work/home"
# The system's own LV2 vocabularies come too, as on any machine: they make
# the bundle's class an instrument.
export HOME="$work/home" LXVST_PATH="$work/vst" LV2_PATH="$work/lv2:/usr/lib/lv2" LD_LIBRARY_PATH=/usr/lib/ardour7 VESK_SESSION="$work/vesk"
export VESK_NAME=Vesk VESK_INSTRUMENT=0
[ "$(basename "$plugin")" = vesk-instrument.so ] && export VESK_NAME="Vesk Instrument" VESK_INSTRUMENT=1
if [ "${plugin##*.}" = vst3 ]; then
  # The host looks for VST3 bundles in ~/.vst3 among other places.
  mkdir -p "$HOME/.vst3" && cp -r "$plugin" "$HOME/.vst3/"
  find "$HOME/.vst3" -exec touch -d "@$(($(date +%s) - 60))" {} +
  /usr/lib/ardour7/ardour-vst3-scanner -q -f "$HOME/.vst3/$(basename "$plugin")"
  export VESK_FORMAT=vst3 VESK_INSTRUMENT=1
elif [ -d "$plugin" ]; then
  cp -r "$plugin" "$work/lv2/"
  export VESK_FORMAT=lv2 VESK_INSTRUMENT=1
else
  cp "$plugin" "$work/vst/"
  # The host trusts its scan only when the scan is newer than the library.
  touch -d "@$(($(date +%s) - 60))" "$work/vst/$(basename "$plugin")"
  /usr/lib/ardour7/ardour-vst-scanner -q -f "$work/vst/$(basename "$plugin")"
fi
step() {  # step LOG EXPECTED COMMAND...: runs a host step, shows its log when it fails
  local log=$1 expected=$2 status attempt; shift 2
  for attempt in 1 2 3; do
    status=0
    timeout 180 "$@" > "$work/$log" 2>&1 || status=$?
    # This host now and then aborts on a damaged heap as an export sets up
    # (freeing its own export channels' buffers; never under valgrind or
    # gdb), also when the session's plug-in is missing and not loaded at
    # all: such a run is said and tried again, up to three times.
    [ "$status" -gt 128 ] && [ "$attempt" -lt 3 ] || break
    echo "ardour sound: the host aborted in $log (status $status): $(grep -a -m1 -o 'free(): [a-z ()]*\|double free[a-z ()]*\|corrupted [a-z ()]*' "$work/$log")"
  done
  if [ "$status" -ne 0 ] || ! grep -q "$expected" "$work/$log"; then
    echo "ardour sound: $log failed (status $status); the host said:"
    grep -av "Butler drops\|call-slot\|patch:Set for unknown" "$work/$log" | tail -n 40
    exit 1
  fi
}
step record.log "recorded input and notes" bash -c 'rm -rf "$VESK_SESSION"; exec ardour7-lua "$0"' "$here/ardour-record.lua"
step export1.log "Done" ardour7-export -b float -o "$work/export1.wav" "$work/vesk" vesk
step resave.log "loaded and saved again" ardour7-lua "$here/ardour-resave.lua"
step export2.log "Done" ardour7-export -b float -o "$work/export2.wav" "$work/vesk" vesk
# Nothing of ours in the host's log as it loads, plays and saves the session.
if grep -ah "patch:Set\|Vesk\|vesk" "$work"/record.log "$work"/resave.log "$work"/export*.log |
   grep -ai "warn\|error\|unknown\|fail" > "$work/ours.log"; then
  echo "ardour sound: the host's log says of the plug-in:"
  sort "$work/ours.log" | uniq -c | head -n 20
  exit 1
fi
python3 "$here/ardour-sound.py" "$work/vesk" "$work/export1.wav" "$work/export2.wav" "$render" "$work"
