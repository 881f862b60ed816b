#!/usr/bin/env bash
# Remakes the README's pictures in docs/ from the bundled examples and
# docs/pairs.txt, converted by the program itself. Needs a default build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert() { "$build/quorvel" "$@" >/dev/null; }
render() { "$build/tools/render" "$@"; }

# C64 colours for the codes 00, 01, 10, 11: background blue, multicolour 1
# light red, sprite colour white, multicolour 2 orange.
colours=6,10,1,8

# The balloon's palette indices, then its sprite with 0 1 2 3 and with 3 2 1 0.
convert examples/balloon.bmp "$work/balloon.spr" none 0 0 1 2 3
convert examples/balloon.bmp "$work/swapped.spr" none 0 3 2 1 0
render panels docs/balloon.png examples/balloon.bmp \
  "$colours" "$work/balloon.spr" "$colours" "$work/swapped.spr"

# One row: which pixel of each pair counts, the bit pairs and the bytes.
"$build/tools/grid2bmp" 4 docs/pairs.txt "$work/pairs.bmp"
convert "$work/pairs.bmp" "$work/pairs.spr" none 0 0 1 2 3
render row docs/row.png "$work/pairs.bmp" "$colours" "$work/pairs.spr"

# The smiley's indices, then its hires sprite with colour1 0 and with 1
# (background light blue, sprite colour yellow).
convert examples/smiley.bmp "$work/smiley.spr" none 0 0 0 0 0
convert examples/smiley.bmp "$work/inverted.spr" none 0 1 0 0 0
render panels docs/smiley.png examples/smiley.bmp 14,0,7,0 "$work/smiley.spr" 14,0,7,0 "$work/inverted.spr"
