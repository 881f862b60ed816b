#!/usr/bin/env bash
# Coverage-guided fuzzing of a real program with AFL++ (Debian package afl++),
# built with AddressSanitizer and UBSan.
#   quorvel: the bitmap is the fuzzed input; the bundled examples are the seeds.
#   quorvel-sheet: the picture is, by C64 colour; the examples and the
#   documentation's PNG pictures (made by tools/render) are the seeds.
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
AFL_USE_ASAN=1 AFL_USE_UBSAN=1 cmake --build build/fuzz --target "$program" >/dev/null

rm -rf "$work" && mkdir -p "$work/seeds"
cp examples/*.bmp "$work/seeds/"
case $program in
  quorvel)
    # Arguments that reach every conversion: load address, zero byte, complementing.
    arguments=(@@ /dev/null 2000 1 1 1 2 3) ;;
  quorvel-sheet)
    cp docs/*.png "$work/seeds/"
    arguments=(--background 6 --multicolour1 10 --multicolour2 8 --labels /dev/null @@ /dev/null) ;;
  *) echo "fuzz.sh: the programs are quorvel and quorvel-sheet" >&2; exit 2 ;;
esac

AFL_SKIP_CPUFREQ=1 AFL_NO_UI=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 \
  afl-fuzz -V "$seconds" -i "$work/seeds" -o "$work/findings" -t 1000 -m none \
  -- "build/fuzz/$program" "${arguments[@]}" >"$work/afl.log" 2>&1 || true

stats=$(find "$work/findings" -name fuzzer_stats | head -n 1)
grep -E '^(run_time|execs_done|execs_per_sec|corpus_count|bitmap_cvg|saved_crashes|saved_hangs) ' "$stats"

# Line coverage of the program's own sources over everything the fuzzer kept.
cmake -S . -B build/fuzz-coverage -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_TESTS=OFF -DQUORVEL_COVERAGE=ON \
  >/dev/null
cmake --build build/fuzz-coverage --target "$program" >/dev/null
find build/fuzz-coverage -name '*.gcda' -delete
queue=$(dirname "$stats")/queue
for input in "$queue"/id*; do
  timeout 2 "build/fuzz-coverage/$program" "${arguments[@]/@@/$input}" >/dev/null 2>&1 || true
done
(cd "$work" && for source in ../../src/*/*.cpp; do
  object=$(find ../fuzz-coverage/CMakeFiles -path "*/src/$(basename "$(dirname "$source")")/$(basename "$source").o" | head -n 1)
  [ -n "$object" ] || continue
  gcov -n -o "$object" "$source" 2>/dev/null | grep -A1 "^File '.*src/" | grep -v '^--' || true
done)
