#!/bin/sh
# Builds the C64 example programs with the programs under test and checks
# that each sprite sits in the 64-byte block its pointer names: the balloon's,
# and the rocket's four frames with the pointers of quorvel-sheet's labels,
# which 64tass and ca65 take unchanged too (where installed); and the scene,
# whose sprites one project file makes: every pointer of its labels names the
# block of its frame, its labels and tables assemble in every syntax, and its
# dependency file makes make and ninja build again when the picture changes.
# Arguments: the program, the examples folder, a work folder.
set -eu
quorvel=$1 examples=$2 work=$3
tools=$(dirname "$quorvel")
rm -rf "$work" && mkdir -p "$work/c64"
cp "$examples/balloon.bmp" "$examples/rocket.bmp" "$examples/scene.bmp" "$work/"
cp "$examples/c64/Makefile" "$examples/c64/"*.asm "$examples/c64/"*.toml "$work/c64/"
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

# The scene: each NAME_N label is a sprite pointer; the block it names in the
# program holds that sprite of the project's blocks.
prg=$work/c64/scene-demo.prg
load=$(od -An -tu2 -N2 "$prg")
blocks_load=$(od -An -tu2 -N2 "$work/c64/scene.prg")
checked=0
for pointer in $(sed -n 's/^[a-z]*_[0-9]* = //p' "$work/c64/scene.inc"); do
  cmp -n 64 -i "$((2 + pointer * 64 - load)):$((2 + pointer * 64 - blocks_load))" "$prg" "$work/c64/scene.prg"
  checked=$((checked + 1))
done
test "$checked" -eq 17 || { echo "the scene has $checked sprites, not 17"; exit 1; }
bytes "$prg" | grep -q ' 80 81 82 83 0f 0f 0f 0f' || { echo "no ship tables in the scene"; exit 1; }
echo "scene: its 17 pointers name their blocks, from \$2000 and \$2400"

# Each syntax's labels and tables, assembled (or compiled) with a line that
# uses a label of each kind: the bytes 128 129 130 131 (ship_pointers), 24,
# 21 (boss_3_x and _y), 5 (explosion_frames), 0 (crosshair_multicolour).
expected=" 80 81 82 83 18 15 05 00"
uses='boss_3_x, boss_3_y, explosion_frames, crosshair_multicolour'
for syntax in acme 64tass ca65 kickass c; do
  case $syntax in c) tool=cc ;; kickass) tool= ;; *) tool=$syntax ;; esac
  if [ -n "$tool" ] && ! command -v "$tool" >/dev/null; then
    [ -z "${QUORVEL_REQUIRE_TOOLS:-}" ] || { echo "$tool is missing"; exit 1; }
    echo "$tool is not installed"
    continue
  fi
  dir=$work/syntax-$syntax
  mkdir -p "$dir"
  sed "s/^syntax = .*/syntax = \"$syntax\"/" "$work/c64/scene.toml" > "$dir/scene.toml"
  "$tools/quorvel-sheet" "$dir/scene.toml"
  cd "$dir"
  # the tables first (ship_pointers the first four bytes), then the labels' bytes
  case $syntax in
    acme)
      printf '!source "scene.inc"\n* = $1000\n!source "scene-tables.asm"\n!byte %s\n' "$uses" > use.asm
      acme -f plain -o all.bin use.asm ;;
    64tass)
      printf '.include "scene.inc"\n* = $1000\n.include "scene-tables.asm"\n.byte %s\n' "$uses" > use.s
      64tass -q -b -o all.bin use.s ;;
    ca65)
      printf '.include "scene.inc"\n.include "scene-tables.asm"\n.byte %s\n' "$uses" > use.s
      ca65 -o use.o use.s && ld65 -t none -o all.bin use.o ;;
    kickass)
      # No KickAssembler here: its documented forms, line by line.
      grep -qx '.const ship_0 = 128' scene.inc &&
        grep -qx 'ship_pointers: .byte 128, 129, 130, 131' scene-tables.asm ||
        { echo "kickass: not KickAssembler's forms"; exit 1; }
      echo "kickass: .const labels and .byte tables"
      cd - >/dev/null
      continue ;;
    c)
      # both headers twice, as a program's files include them
      printf '#include <stdio.h>\n#include "scene.inc"\n#include "scene-tables.asm"\n' > use.c
      printf '#include "scene.inc"\n#include "scene-tables.asm"\n' >> use.c
      printf 'int main(void) {\n  const unsigned char b[] = {%s};\n' "$uses" >> use.c
      printf '  fwrite(ship_pointers, 1, 4, stdout);\n  fwrite(b, 1, sizeof b, stdout);\n' >> use.c
      printf '  return boss_x[1] != boss_1_x || sizeof boss_y != boss_sprites;\n}\n' >> use.c
      cc -std=c99 -Wall -Wextra -pedantic -Werror -o use use.c && ./use > all.bin ;;
  esac
  { head -c 4 all.bin; tail -c 4 all.bin; } > used.bin
  test "$(bytes used.bin)" = "$expected" || { echo "$syntax: $(bytes used.bin)"; exit 1; }
  cd - >/dev/null
  echo "$syntax takes the labels and the tables"
done

# The dependency file: with nothing changed, make and ninja build nothing;
# after a change to the picture, both build the scene again.
(cd "$work/c64" && make -q scene-demo.prg QUORVEL_SHEET="$tools/quorvel-sheet") ||
  { echo "make would build the scene again with nothing changed"; exit 1; }
if command -v ninja >/dev/null; then
  dir=$work/ninja
  mkdir -p "$dir"
  cp "$work/c64/scene.toml" "$dir/"
  printf 'rule sheet\n  command = %s $in\n  depfile = scene.d\n  deps = gcc\nbuild scene.prg scene.inc scene-tables.asm: sheet scene.toml\n' "$tools/quorvel-sheet" > "$dir/build.ninja"
  (cd "$dir" && ninja >/dev/null && ninja -n | grep -q 'no work to do') ||
    { echo "ninja builds the scene twice"; exit 1; }
  sleep 1
  touch "$work/scene.bmp"
  (cd "$dir" && ninja -n | grep -q 'sheet') || { echo "ninja does not see the picture's change"; exit 1; }
  echo "ninja builds the scene again when its picture changes"
elif [ -n "${QUORVEL_REQUIRE_TOOLS:-}" ]; then
  echo "ninja is missing"; exit 1
fi
sleep 1
touch "$work/scene.bmp"
if (cd "$work/c64" && make -q scene-demo.prg QUORVEL_SHEET="$tools/quorvel-sheet"); then
  echo "make does not see the picture's change"; exit 1
fi
echo "make builds the scene again when its picture changes"
