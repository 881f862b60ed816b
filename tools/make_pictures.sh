#!/usr/bin/env bash
# Remakes the README's pictures: each bundled example beside the sprite the
# program makes of it, as a C64 shows it. Needs a default build and ImageMagick
# (only to compress the PNG files).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/quorvel" examples/balloon.bmp "$work/balloon.prg" 2000 0 0 1 2 3 >/dev/null
"$build/quorvel" examples/smiley.bmp "$work/smiley.spr" none 0 0 0 0 0 >/dev/null
# Colours: background light blue (14), multicolour 1 red (2), sprite white (1), multicolour 2 brown (9).
"$build/tools/render" examples/balloon.bmp "$work/balloon.prg" docs/balloon.png multi 2 14,2,1,9
"$build/tools/render" examples/smiley.bmp "$work/smiley.spr" docs/smiley.png hires 0 0,0,7,0
for picture in docs/balloon.png docs/smiley.png; do
  convert "$picture" -strip -define png:compression-level=9 "$picture"
done
