#!/usr/bin/env bash
# `make run`: converts a small demo set of pictures with the command-line
# converter and says where the PDF went.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
corpus="$root/../shared/corpus"
demo="$root/demo-output"
mkdir -p "$demo"
"$build/cli/quillmark-cli" -o "$demo" \
    "$corpus/jpeg/flower.jpg" "$corpus/jpeg/wide_512x256.jpg" "$corpus/png/basn6a08.png" \
    "$corpus/gif/hopper.gif" "$corpus/bmp/rgb24.bmp" "$corpus/tiff/hopper.tif" "$corpus/emf/test-142.emf"
