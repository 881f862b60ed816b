#!/usr/bin/env bash
# Makes the last commit's release files twice (tools/make_release.sh), in two
# folders of different names, at two different times, under two umasks (022
# and 002), time zones and languages, and checks that every file comes out
# the same, byte for byte. Needs what .ci/run installs. Prints the SHA-256 of
# each file.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

release() {
  git clone -q . "$1"
  "$1/tools/make_release.sh" >/dev/null
}

(umask 022 && TZ=UTC LANG=C.UTF-8 release "$work/first")
sleep 2
(umask 002 && TZ=America/New_York LANG=de_DE.UTF-8 release "$work/a/second/folder")

status=0
for file in "$work"/first/build/release/*; do
  name=$(basename "$file")
  if cmp -s "$file" "$work/a/second/folder/build/release/$name"; then
    echo "same: $(cd "$work/first/build/release" && sha256sum "$name")"
  else
    echo "DIFFERENT: $name" >&2
    status=1
  fi
done
exit $status
