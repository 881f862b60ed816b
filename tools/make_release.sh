#!/usr/bin/env bash
# Makes every release file of the checked-out commit in build/release, and
# SHA256SUMS over them: the static Linux programs (the processors that
# cmake/processors.txt releases) as tarballs, the .deb, the Windows .zip, the
# npm package, the page, and quorvel.js, quorvel-check.js and quorvel-sheet.js for Node.js
# without npm. Needs what .ci/run installs. The same commit gives the same
# bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
release=build/release
rm -rf "$release" && mkdir -p "$release"

# Configures, builds and packages one build in build/release-NAME.
package() {
  local name=$1
  shift
  cmake -S . -B "build/release-$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVEL_TESTS=OFF "$@" >/dev/null
  cmake --build "build/release-$name" >/dev/null
  (cd "build/release-$name" && cpack >/dev/null 2>&1)
}

package linux -DQUORVEL_WEB=ON
page=$PWD/build/release-linux/quorvel.html
cp build/release-linux/quorvel_*.deb "$page" build/release-linux/quorvel-*.tgz \
  build/release-linux/quorvel.js build/release-linux/quorvel-check.js \
  build/release-linux/quorvel-sheet.js "$release"
package windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUORVEL_PAGE="$page"
cp build/release-windows/quorvel-*-win64.zip "$release"
grep -v '^#' cmake/processors.txt | while read -r name triplet _ _ _ _ released _; do
  [ "$released" = yes ] || continue
  toolchain=()
  if [ -f "cmake/$triplet.cmake" ]; then toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/$triplet.cmake"); fi
  package "static-$name" -DQUORVEL_STATIC=ON -DQUORVEL_PAGE="$page" "${toolchain[@]}"
  cp build/release-static-"$name"/quorvel-*-linux-"$name".tar.gz "$release"
done
(cd "$release" && sha256sum -- * > SHA256SUMS && cat SHA256SUMS)
