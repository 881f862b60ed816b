#!/bin/sh
# Builds the C64 example program with the program under test and checks that
# the sprite bytes sit in the 64-byte block that sprite 0's pointer names.
# Arguments: the program, the examples folder, a work folder.
set -eu
quorvel=$1 examples=$2 work=$3
rm -rf "$work" && mkdir -p "$work/c64"
cp "$examples/balloon.bmp" "$work/"
cp "$examples/c64/Makefile" "$examples/c64/balloon-demo.asm" "$work/c64/"
make -s -C "$work/c64" QUORVEL="$quorvel" QUORVEL_CHECK="$(dirname "$quorvel")/quorvel-check" >/dev/null
prg=$work/c64/balloon-demo.prg
# lda #block; sta $07f8
block=$(od -An -tx1 -v "$prg" | tr -d '\n' | grep -o 'a9 [0-9a-f]* 8d f8 07' | cut -d' ' -f2)
load=$(od -An -tu2 -N2 "$prg")
at=$((2 + 0x$block * 64 - load))
cmp -n 64 -i "$at:0" "$prg" "$work/c64/balloon.spr"
echo "sprite pointer \$$block: the 64 sprite bytes sit at \$$(printf %04X $((0x$block * 64)))"
