#!/usr/bin/env bash
# Loads the Linux plug-in in Ardour, a third-party host: its own scanner
# indexes it, then ardour-session.lua plays it in a session and restores it.
# Usage: ardour-check.sh path/to/vesk.so
set -euo pipefail
lib=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vst"
cp "$lib" "$work/vst/"
# The host trusts its scan only when the scan is newer than the library, to
# the sub-second, while the scanner stamps whole seconds: date the copy back.
touch -d "@$(($(date +%s) - 60))" "$work/vst/$(basename "$lib")"
export HOME="$work" LXVST_PATH="$work/vst"  # the scanner cache and settings stay in here
export LD_LIBRARY_PATH=/usr/lib/ardour7 VESK_SESSION="$work/session"
/usr/lib/ardour7/ardour-vst-scanner -q -f "$work/vst/$(basename "$lib")"
out=$(timeout 120 ardour7-lua "$here/ardour-session.lua" 2>&1) || true
echo "$out" | grep -v "^\[WARNING\]\|Butler drops\|direct dispatch" || true
echo "$out" | grep -q "ardour: loaded, played, saved and restored"
