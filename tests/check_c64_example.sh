#!/bin/sh
# Builds the C64 example programs with the programs under test and checks
# that each sprite sits in the 64-byte block its pointer names: the balloon's,
# and the rocket's four frames with the pointers of quorvel-sheet's labels,
# which 64tass and ca65 take unchanged too (where installed).
# Arguments: the program, the examples folder, a work folder.
set -eu
quorvel=$1 examples=$2 work=$3
tools=$(dirname "$quorvel")
rm -rf "$work" && mkdir -p "$work/c64"
cp "$examples/balloon.bmp" "$examples/rocket.bmp" "$work/"
cp "$examples/c64/Makefile" "$examples/c64/"*.asm "$work/c64/"
make -s -C "$work/c64" QUORVEL="$quorvel" QUORVEL_CHECK="$tools/quorvel-check" \
  QUORVEL_SHEET="$tools/quorvel-sheet" >/dev/null
bytes() { od -An -tx1 -v "$1" | tr -d '\n'; }

prg=$work/c64/balloon-demo.prg
# lda #block; sta $07f8
block=$(bytes "$prg" | grep -o 'a9 [0-9a-f]* 8d f8 07' | cut -d' ' -f2)
load=$(od -An -tu2 -N2 "$prg")
at=$((2 + 0x$block * 64 - load))
cmp -n 64 -i "$at:0" "$prg" "$work/c64/balloon.spr"
echo "sprite pointer \$$block: the 64 sprite bytes sit at \$$(printf %04X $((0x$block * 64)))"

# The rocket: the pointer table holds the labels' pointers, and the four
# blocks sit where they point.
prg=$work/c64/rocket-demo.prg
grep -qx 'rocket_0 = 128' "$work/c64/rocket.inc"
bytes "$prg" | grep -q ' 80 81 82 83 07 08 07 08' || { echo "no table of pointers and colours"; exit 1; }
load=$(od -An -tu2 -N2 "$prg")
cmp -n 256 -i "$((2 + 128 * 64 - load)):2" "$prg" "$work/c64/rocket.prg"
echo "rocket pointers \$80 to \$83: its four frames sit at \$2000"

for assembler in 64tass ca65; do
  if ! command -v $assembler >/dev/null; then
    [ -z "${QUORVEL_REQUIRE_TOOLS:-}" ] || { echo "$assembler is missing"; exit 1; }
    echo "$assembler is not installed"
    continue
  fi
  (cd "$work/c64" &&
    printf '.include "rocket.inc"\n.byte rocket_3, rocket_3_colour, rocket_multicolour2\n' > $assembler.s &&
    case $assembler in
      64tass) 64tass -q -b -o $assembler.bin $assembler.s ;;
      ca65) ca65 -o ca65.o ca65.s && ld65 -t none -o ca65.bin ca65.o ;;
    esac && test "$(bytes $assembler.bin)" = " 83 08 02") ||
    { echo "$assembler does not take the labels"; exit 1; }
  echo "$assembler takes the labels as they are"
done
