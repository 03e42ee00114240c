#!/usr/bin/env bash
# A release archive as a user unpacks it: the plug-ins, the renderer and the
# factory sounds, stripped; the licence and notices; a guide that names only
# its platform's folders; and, for Linux, an install step and a renderer
# that work from the unpacked folder as they are.
# Usage: release-check.sh ARCHIVE
set -euo pipefail
archive=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "release: $*"; exit 1; }
case "$archive" in
  *.zip) python3 -c "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])" "$archive" "$work"
         files=(vesk.dll vesk-instrument.dll Vesk.vst3/Contents/x86_64-win/Vesk.vst3 vesk-render.exe install.cmd)
         foreign='~/\.|/usr/|LXVST' ;;
  *) tar xzf "$archive" -C "$work"
     files=(vesk.so vesk-instrument.so Vesk.vst3/Contents/x86_64-linux/Vesk.so vesk-render install.sh vesk.lv2/vesk_dsp.so
            vesk.lv2/presets.ttl)
     foreign='C:\\|\.dll|\.exe|Program Files' ;;
esac
top=$(echo "$work"/*/)
for f in "${files[@]}" README.txt LICENSE NOTICES.txt RobotoMono-OFL.txt DejaVu-LICENSE.txt \
         "presets/Vesk/Grain Pad.fxp" "presets/Vesk Instrument/Grain Pad.fxp"; do
  [ -e "$top/$f" ] || fail "$(basename "$archive") holds no $f"
done
for f in "${files[@]}"; do
  case "$f" in *.sh|*.cmd|*.ttl) continue ;; esac
  file -b "$top/$f" | grep -q "not stripped" && fail "$f is not stripped"
done
grep -qE "$foreign" "$top/README.txt" && fail "README.txt names another platform's folders: $(grep -E "$foreign" "$top/README.txt" | head -3)"
grep -q "perfomance mode" "$top/README.txt" || fail "README.txt does not say how names are spelled"
grep -q "MIT License" "$top/LICENSE" || fail "no MIT licence"
for notice in libpng zlib giflib FreeType fontconfig "Roboto Mono"; do
  grep -q "^$notice" "$top/NOTICES.txt" || fail "NOTICES.txt has nothing of $notice"
done
if [[ "$archive" != *.zip ]]; then
  HOME="$work/home" bash "$top/install.sh" > /dev/null
  [ -e "$work/home/.lv2/vesk.lv2/manifest.ttl" ] && [ -e "$work/home/.vst/vesk-instrument.so" ] &&
    [ -e "$work/home/.vst3/Vesk.vst3/Contents/x86_64-linux/Vesk.so" ] || fail "install.sh installed nothing"
  [ "$("$top/vesk-render" --list-presets | wc -l)" -ge 16 ] || fail "vesk-render finds no factory sounds beside it"
fi
echo "release: $(basename "$archive") holds what a user needs"
