#!/bin/sh
# Runs a static program in an otherwise empty root folder (chroot as root,
# else unshare -r where user namespaces allow it; a foreign processor's
# program beside its static qemu) and checks that it converts the balloon to
# the native program's bytes. Exit 77: neither can be set up here.
# Arguments: the program, the native program, the examples folder, a work
# folder, and the static qemu for a foreign program (or nothing).
set -eu
program=$1 native=$2 examples=$3 work=$4 qemu=${5:-}
rm -rf "$work" && mkdir -p "$work/root"
cp "$program" "$work/root/quorvel"
cp "$examples/balloon.bmp" "$work/root/"
(cd "$work" && "$native" root/balloon.bmp expected.prg 2000 1 0 1 2 3 >/dev/null)
command="/quorvel balloon.bmp balloon.prg 2000 1 0 1 2 3"
if [ -n "$qemu" ]; then
  [ -x "$qemu" ] || { echo "$qemu is missing (Debian package qemu-user-static)"; exit 77; }
  cp "$qemu" "$work/root/qemu" && command="/qemu $command"
fi
if [ "$(id -u)" = 0 ]; then
  (cd "$work/root" && chroot . $command >/dev/null)
elif unshare -r true 2>/dev/null; then
  (cd "$work/root" && unshare -r chroot . $command >/dev/null)
else
  echo "neither root nor user namespaces: no empty root can be made here"
  exit 77
fi
cmp "$work/expected.prg" "$work/root/balloon.prg"
echo "in an empty root, $(basename "$program") wrote the native program's $(wc -c < "$work/expected.prg") bytes"
