#!/bin/sh
# Installs the npm package globally (into a folder of its own) and converts
# the balloon with the command it gives, from another folder: the same bytes
# and console lines as the native program's.
# Arguments: the package, the native program, the examples folder, a work folder.
set -eu
package=$1 native=$2 examples=$3 work=$4
rm -rf "$work" && mkdir -p "$work/prefix" "$work/elsewhere"
npm_config_update_notifier=false npm install --global --offline --silent \
  --prefix "$work/prefix" "$package"
cd "$work/elsewhere"
cp "$examples/balloon.bmp" .
"$work/prefix/bin/quorvel" balloon.bmp node.prg 2000 1 0 1 2 3 > node.txt
"$native" balloon.bmp native.prg 2000 1 0 1 2 3 > native.txt
cmp node.prg native.prg
sed 's/native.prg/node.prg/' native.txt | cmp - node.txt
echo "the installed quorvel wrote the native program's $(wc -c < node.prg) bytes"
