#!/bin/sh
# Installs the npm package globally (into a prefix of its own) and follows the
# README from another folder: copies the examples out of the package,
# converts the balloon with the command it gives (the native program's bytes
# and console lines), checks it with quorvel-check, makes the rocket's sheet
# with quorvel-sheet, builds the C64 examples (with acme, when installed), and
# finds the manual pages with man (when installed) under the prefix's share/man.
# Arguments: the package, the native program, the examples folder, a work folder.
set -eu
package=$1 native=$2 examples=$3 work=$4
rm -rf "$work" && mkdir -p "$work/prefix" "$work/elsewhere"
export npm_config_update_notifier=false npm_config_prefix="$work/prefix"
npm install --global --offline --silent "$package"
PATH="$work/prefix/bin:$PATH"
cd "$work/elsewhere"
cp -r "$(npm root -g)/quorvel/examples" .
quorvel examples/balloon.bmp node.prg 2000 1 0 1 2 3 > node.txt
"$native" examples/balloon.bmp native.prg 2000 1 0 1 2 3 > native.txt
cmp node.prg native.prg
sed 's/native.prg/node.prg/' native.txt | cmp - node.txt
quorvel-check examples/balloon.bmp node.prg 2000 1 0 1 2 3
echo "the installed quorvel wrote the native program's $(wc -c < node.prg) bytes; quorvel-check found nothing"
quorvel-sheet --background blue --multicolour1 light-grey --multicolour2 red examples/rocket.bmp rocket.spr
test "$(wc -c < rocket.spr)" -eq 256
echo "the installed quorvel-sheet made the rocket's four blocks"
if command -v acme >/dev/null; then
  make -s -C examples/c64 >/dev/null && test -s examples/c64/balloon-demo.prg &&
    test -s examples/c64/rocket-demo.prg && test -s examples/c64/scene-demo.prg
  echo "the C64 examples build with the installed programs"
fi
for page in quorvel quorvel-check quorvel-sheet; do
  test -e "$work/prefix/share/man/man1/$page.1"
  if command -v man >/dev/null; then man -M "$work/prefix/share/man" -w "$page" >/dev/null; fi
done
echo "man finds quorvel(1), quorvel-check(1) and quorvel-sheet(1) under $work/prefix/share/man"
