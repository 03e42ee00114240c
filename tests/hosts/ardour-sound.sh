#!/usr/bin/env bash
# Ardour plays the Linux plug-in with sound: a session records a sine input
# and two notes (ardour-record.lua), the host exports it to a WAV file, loads
# and saves it again (ardour-resave.lua) and exports once more;
# ardour-sound.py checks both exports. What the host said is printed when a
# step fails.
# Usage: ardour-sound.sh path/to/vesk.so path/to/vesk-render
set -euo pipefail
lib=$(realpath "$1") render=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vst" "$work/home"
cp "$lib" "$work/vst/"
# The host trusts its scan only when the scan is newer than the library.
touch -d "@$(($(date +%s) - 60))" "$work/vst/$(basename "$lib")"
export HOME="$work/home" LXVST_PATH="$work/vst" LD_LIBRARY_PATH=/usr/lib/ardour7 VESK_SESSION="$work/vesk"
step() {  # step LOG EXPECTED COMMAND...: runs a host step, shows its log when it fails
  local log=$1 expected=$2; shift 2
  if ! timeout 180 "$@" > "$work/$log" 2>&1 || ! grep -q "$expected" "$work/$log"; then
    echo "ardour sound: $log failed; the host said:"
    grep -v "Butler drops\|call-slot" "$work/$log" | tail -n 40
    exit 1
  fi
}
/usr/lib/ardour7/ardour-vst-scanner -q -f "$work/vst/$(basename "$lib")"
step record.log "recorded input and notes" ardour7-lua "$here/ardour-record.lua"
step export1.log "Done" ardour7-export -b float -o "$work/export1.wav" "$work/vesk" vesk
step resave.log "loaded and saved again" ardour7-lua "$here/ardour-resave.lua"
step export2.log "Done" ardour7-export -b float -o "$work/export2.wav" "$work/vesk" vesk
python3 "$here/ardour-sound.py" "$work/vesk" "$work/export1.wav" "$work/export2.wav" "$render" "$work"
