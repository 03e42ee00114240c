#!/usr/bin/env bash
# Real state chunks for the fuzzer to start from: the default preset and a
# few edited patches in both forms, saved by the renderer.
#   tools/fuzz-seeds.sh BUILD_DIR CORPUS_DIR
set -euo pipefail
build=$1 corpus=$2
mkdir -p "$corpus"
"$build/make-demo" "$build"
render() { "$build/vesk-render" --in "$build/demo-input.wav" --out "$build/seed.wav" "$@" >/dev/null; }
render --save-state "$corpus/default.chunk"
render --set "perfomance mode=note mode" --set "use for D=off" --set "picked buffer=7" --save-state "$corpus/edited.chunk"
render --set "own/common buf=common" --set "selection start=0.25" --save-state "$corpus/common.fxp"
