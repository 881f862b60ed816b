#!/usr/bin/env bash
# Lists what every release file in build/release holds and fails when one
# lacks what its users need (the table below: kind of file, required
# members), or when a file is of no kind the table knows, so that the next
# release file cannot be forgotten in one package. Then runs the README's
# first example and the C64 example from the x86-64 tarball and from the
# .deb's files, as a user would. Run after tools/make_release.sh; needs what
# .ci/run installs.
set -euo pipefail
cd "$(dirname "$0")/.."
release=${1:-build/release}

# What every package holds for its users, beside its programs.
documents="README.md LICENSE CHANGELOG.md quorvel.html quorvel.1 quorvel-check.1 quorvel-sheet.1
  docs/balloon.png docs/smiley.png docs/row.png docs/page.png docs/sheet.png docs/sheet-finding.png docs/sheet-grid.png docs/project.png
  examples/balloon.bmp examples/smiley.bmp examples/rocket.bmp examples/scene.bmp examples/c64/Makefile
  examples/c64/balloon-demo.asm examples/c64/rocket-demo.asm examples/c64/scene-demo.asm
  examples/c64/scene.toml"
deb_documents="usr/share/man/man1/quorvel.1.gz usr/share/man/man1/quorvel-check.1.gz
  usr/share/man/man1/quorvel-sheet.1.gz
  $(for member in README.md LICENSE copyright changelog.gz quorvel.html docs/balloon.png docs/smiley.png \
      docs/row.png docs/page.png docs/sheet.png docs/sheet-finding.png docs/sheet-grid.png docs/project.png examples/balloon.bmp examples/smiley.bmp \
      examples/rocket.bmp examples/scene.bmp examples/c64/Makefile examples/c64/balloon-demo.asm \
      examples/c64/rocket-demo.asm examples/c64/scene-demo.asm examples/c64/scene.toml; do echo "usr/share/doc/quorvel/$member"; done)"

# kind: the file's name; its members, one a line, without the archive's top folder.
kind_of() {
  case $1 in
    quorvel_*.deb) echo deb ;;
    quorvel-*-linux-*.tar.gz) echo tarball ;;
    quorvel-*-win64.zip) echo zip ;;
    quorvel-*.tgz) echo npm ;;
    quorvel.html | quorvel.js | quorvel-check.js | quorvel-sheet.js) echo single ;;
    SHA256SUMS) echo sums ;;
    *) echo unknown ;;
  esac
}

required() {
  case $1 in
    deb) echo "usr/bin/quorvel usr/bin/quorvel-check usr/bin/quorvel-sheet $deb_documents" ;;
    tarball) echo "quorvel quorvel-check quorvel-sheet $documents" ;;
    zip) echo "quorvel.exe quorvel-check.exe quorvel-sheet.exe $documents" ;;
    npm) echo "package.json quorvel.js quorvel-check.js quorvel-sheet.js $documents" ;;
  esac
}

members() {
  case $1 in
    deb) dpkg-deb -c "$2" | awk '{print $6}' | sed 's|^\./||' ;;
    tarball | zip | npm) cmake -E tar tf "$2" | sed 's|^[^/]*/||' ;;
  esac
}

status=0
for file in "$release"/*; do
  name=$(basename "$file")
  kind=$(kind_of "$name")
  case $kind in
    unknown)
      echo "MISSING ROW: $name is no release file that tools/check_release.sh knows" >&2
      status=1
      continue
      ;;
    sums)
      continue
      ;;
    single)
      [ -s "$file" ] || { echo "EMPTY: $name" >&2; status=1; }
      grep -q " $name\$" "$release/SHA256SUMS" || { echo "NOT IN SHA256SUMS: $name" >&2; status=1; }
      echo "$name: one file, $(wc -c < "$file") bytes"
      continue
      ;;
  esac
  grep -q " $name\$" "$release/SHA256SUMS" || { echo "NOT IN SHA256SUMS: $name" >&2; status=1; }
  listing=$(members "$kind" "$file" | grep -v '/$' | sort)
  echo "$name ($kind): $(echo "$listing" | tr '\n' ' ')"
  for member in $(required "$kind"); do
    if ! grep -qx -- "$member" <<<"$listing"; then
      echo "MISSING: $name lacks $member" >&2
      status=1
    fi
  done
done
[ "$status" = 0 ] || exit "$status"

# As a user would: the README's first example, then the C64 example (with
# acme), from the unpacked x86-64 tarball and from the .deb's files.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar xzf "$release"/quorvel-*-linux-x86_64.tar.gz -C "$work"
(cd "$work" && folder=$(ls -d quorvel-*-linux-x86_64) &&
  "$folder/quorvel" "$folder/examples/balloon.bmp" balloon.prg 2000 0 0 1 2 3 >/dev/null &&
  make -s -C "$folder/examples/c64" >/dev/null && test -s "$folder/examples/c64/balloon-demo.prg" &&
  test -s "$folder/examples/c64/rocket-demo.prg" && test -s "$folder/examples/c64/scene-demo.prg")
echo "the x86-64 tarball: the README's first example and the C64 example work"
mkdir "$work/deb" "$work/user"
dpkg-deb -x "$release"/quorvel_*.deb "$work/deb"
(cd "$work/user" && export PATH="$work/deb/usr/bin:$PATH" &&
  cp -r "$work/deb/usr/share/doc/quorvel/examples" . &&
  quorvel examples/balloon.bmp balloon.prg 2000 0 0 1 2 3 >/dev/null &&
  make -s -C examples/c64 >/dev/null && test -s examples/c64/balloon-demo.prg &&
  test -s examples/c64/rocket-demo.prg && test -s examples/c64/scene-demo.prg)
echo "the .deb's files: the README's first example and the C64 example work"
