#!/usr/bin/env bash
# Makes every release file of the checked-out commit in build/release, and
# SHA256SUMS over them: the static Linux programs (x86-64, aarch64, armhf,
# i686) as tarballs, the .deb, the Windows .zip, the npm package and the page.
# Needs what .ci/run installs. The same commit gives the same bytes.
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
cp build/release-linux/quorvel_*.deb build/release-linux/quorvel.html \
  build/release-linux/quorvel-*.tgz "$release"
package windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DQUORVEL_PAGE="$PWD/build/release-linux/quorvel.html"
cp build/release-windows/quorvel-*-win64.zip "$release"
for target in x86_64: aarch64:aarch64-linux-gnu armhf:arm-linux-gnueabihf i686:i686-linux-gnu; do
  arch=${target%%:*} triplet=${target#*:}
  package "static-$arch" -DQUORVEL_STATIC=ON \
    ${triplet:+-DCMAKE_TOOLCHAIN_FILE=cmake/$triplet.cmake}
  cp build/release-static-"$arch"/quorvel-*-linux-"$arch".tar.gz "$release"
done
(cd "$release" && sha256sum -- * > SHA256SUMS && cat SHA256SUMS)
