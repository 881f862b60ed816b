#!/usr/bin/env bash
# Coverage-guided fuzzing of a real program with AFL++ (Debian package afl++),
# built with AddressSanitizer and UBSan.
#   quorvel: the bitmap is the fuzzed input; the bundled examples are the seeds.
#   quorvel-sheet: the picture is, by C64 colour; the examples and the
#   documentation's PNG pictures (made by tools/render) are the seeds.
#   palette-vpl, palette-gpl, palette-act, palette-hex: quorvel-sheet's
#   --palette file of that kind is; Pepto's palette in that kind is the seed.
#   project: quorvel-sheet's project file is; the scene's (its picture and
#   outputs given whole, the outputs in the work folder) and a small one of
#   every kind of key are the seeds.
#
#   tools/fuzz.sh [SECONDS [PROGRAM]]   default 1800 quorvel; findings in build/fuzz-run/findings
#
# Afterwards it replays the queue through a --coverage build and prints the line
# coverage of src/. Not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
program=${2:-quorvel}
work=build/fuzz-run

command -v afl-clang-fast++ >/dev/null || { echo "fuzz.sh: needs afl++ (apt-get install afl++)" >&2; exit 2; }

cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=afl-clang-fast++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_TESTS=OFF -DQUORVEL_FUZZING=ON >/dev/null
target=$program
case $program in palette-* | project) target=quorvel-sheet ;; esac
AFL_USE_ASAN=1 AFL_USE_UBSAN=1 cmake --build build/fuzz --target "$target" >/dev/null

rm -rf "$work" && mkdir -p "$work/seeds"
extension=()
# Pepto's palette, the seed of a palette file of each kind.
pepto=(000000 FFFFFF 68372B 70A4B2 6F3D86 588D43 352879 B8C76F 6F4F25 433900 9A6759 444444 6C6C6C 9AD284
  6C5EB5 959595)
case $program in palette-* | project) ;; *) cp examples/*.bmp "$work/seeds/" ;; esac
case $program in
  quorvel)
    # Arguments that reach every conversion: load address, zero byte, complementing.
    arguments=(@@ /dev/null 2000 1 1 1 2 3) ;;
  quorvel-sheet)
    cp docs/*.png "$work/seeds/"
    arguments=(--background 6 --multicolour1 10 --multicolour2 8 --labels /dev/null @@ /dev/null) ;;
  palette-*)
    kind=${program#palette-}
    seed="$work/seeds/pepto.$kind"
    case $kind in
      vpl) for rgb in "${pepto[@]}"; do echo "${rgb:0:2} ${rgb:2:2} ${rgb:4:2} 0"; done > "$seed" ;;
      gpl) { echo "GIMP Palette"; echo "Name: C64"; for rgb in "${pepto[@]}"; do
               echo "$((16#${rgb:0:2})) $((16#${rgb:2:2})) $((16#${rgb:4:2})) colour"; done; } > "$seed" ;;
      hex) printf '%s\n' "${pepto[@]}" > "$seed" ;;
      act) for rgb in "${pepto[@]}"; do printf "\\x${rgb:0:2}\\x${rgb:2:2}\\x${rgb:4:2}"; done > "$seed"
           head -c $((768 - 48)) /dev/zero >> "$seed" ;;
      *) echo "fuzz.sh: palette kinds are vpl, gpl, act and hex" >&2; exit 2 ;;
    esac
    extension=(-e "$kind")
    arguments=(--palette @@ --background 6 "$PWD/examples/rocket.bmp" /dev/null) ;;
  project)
    out="$PWD/$work/out"
    mkdir -p "$out"
    sed -e "s|\"../scene.bmp\"|\"$PWD/examples/scene.bmp\"|" \
      -e "s|^\(output\|labels\|tables\|dependencies\) = \"|\1 = \"$out/|" \
      examples/c64/scene.toml > "$work/seeds/scene.toml"
    printf '%s\n' "output = \"$out/a.prg\"" 'address = 0x3000' 'syntax = "c"' \
      '[registers]' 'background = 6' 'multicolour1 = "light-grey"' 'multicolour2 = 2' '[[sheet]]' "picture = \"$PWD/examples/rocket.bmp\"" \
      'cell = "24x21"' 'origin = "0,0"' 'spacing = "0,0"' 'mode = "multicolour"' '[[sheet.animation]]' \
      'name = "a"' 'cells = "3,0-2"' '[[sheet.object]]' 'name = "b"' 'cells = "0-3"' 'layout = "2x2"' \
      'address = "3400"' > "$work/seeds/small.toml"
    extension=(-e toml)
    arguments=(@@) ;;
  *) echo "fuzz.sh: the programs are quorvel, quorvel-sheet, palette-KIND and project" >&2; exit 2 ;;
esac

AFL_SKIP_CPUFREQ=1 AFL_NO_UI=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 \
  afl-fuzz -V "$seconds" -i "$work/seeds" -o "$work/findings" -t 1000 -m none "${extension[@]}" \
  -- "build/fuzz/$target" "${arguments[@]}" >"$work/afl.log" 2>&1 || true

stats=$(find "$work/findings" -name fuzzer_stats | head -n 1)
grep -E '^(run_time|execs_done|execs_per_sec|corpus_count|bitmap_cvg|saved_crashes|saved_hangs) ' "$stats"

# Line coverage of the program's own sources over everything the fuzzer kept.
cmake -S . -B build/fuzz-coverage -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_TESTS=OFF -DQUORVEL_COVERAGE=ON \
  >/dev/null
cmake --build build/fuzz-coverage --target "$target" >/dev/null
find build/fuzz-coverage -name '*.gcda' -delete
queue=$(dirname "$stats")/queue
for input in "$queue"/id*; do
  timeout 2 "build/fuzz-coverage/$target" "${arguments[@]/@@/$input}" >/dev/null 2>&1 || true
done
(cd "$work" && for source in ../../src/*/*.cpp; do
  object=$(find ../fuzz-coverage/CMakeFiles -path "*/src/$(basename "$(dirname "$source")")/$(basename "$source").o" | head -n 1)
  [ -n "$object" ] || continue
  gcov -n -o "$object" "$source" 2>/dev/null | grep -A1 "^File '.*src/" | grep -v '^--' || true
done)
