#!/usr/bin/env bash
# Runs the vesk-render example of README.md as written, with build/release/
# replaced by the build under test and out/ by a folder of its own; the
# rendering must exist and not be silent.
# Usage: readme-example.sh README.md BUILD_DIR
set -euo pipefail
readme=$1 build=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
script=$(sed -n '/<!-- example: run by the tests -->/,/<!-- end of example -->/p' "$readme" | sed '1d;$d' |
  sed -e 's/^    //' -e "s|build/release/|$build/|g" -e "s|out/|$work/|g")
[ -n "$script" ] || { echo "no example in $readme"; exit 1; }
echo "$script"
output=$(bash -euo pipefail -c "$script")
echo "$output"
[ -s "$work/mine.wav" ] || { echo "no rendering written"; exit 1; }
echo "$output" | grep -Eq "peak -?[0-9]+\.[0-9]+ dBFS" || { echo "the rendering is silent"; exit 1; }
