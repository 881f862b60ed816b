#!/usr/bin/env bash
# Builds the last commit twice, in two folders of different names, at two
# different times and under two umasks (022 and 002), and checks that the
# program, the .deb, quorvel.exe, the .zip, quorvel.js, the page and the npm
# package come out the same, byte for byte. Needs what the test command needs
# (cmake, g++, MinGW-w64), dpkg-dev, emscripten and npm. Prints the SHA-256 of
# each artefact.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
  git clone -q . "$1"
  cd "$1"
  cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF \
    -DQUORVEL_WEB=ON >/dev/null
  cmake --build build/linux -j2 >/dev/null
  (cd build/linux && cpack >/dev/null 2>&1)
  cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF \
    -DQUORVEL_PAGE="$PWD/build/linux/quorvel.html" >/dev/null
  cmake --build build/windows -j2 >/dev/null
  (cd build/windows && cpack >/dev/null 2>&1)
  cd - >/dev/null
}

(umask 022 && build "$work/first")
sleep 2
(umask 002 && build "$work/a/second/folder")

status=0
for artefact in build/linux/quorvel build/linux/quorvel_*.deb build/windows/quorvel.exe \
  build/windows/quorvel-*.zip build/linux/quorvel.js build/linux/quorvel.html \
  build/linux/quorvel-*.tgz; do
  first=$(cd "$work/first" && ls $artefact)
  if cmp -s "$work/first/$first" "$work/a/second/folder/$first"; then
    echo "same: $(cd "$work/first" && sha256sum "$first")"
  else
    echo "DIFFERENT: $first" >&2
    status=1
  fi
done
exit $status
