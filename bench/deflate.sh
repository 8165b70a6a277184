#!/bin/bash
# Our deflate compressor against zlib level 8 and libdeflate level 8, in
# memory, on every file under DIR that the zip writer would deflate (grouped by
# top-level folder). Without DIR, first builds a ~50 MB corpus of real files
# from this machine under build/deflate-corpus (not committed).
#   bench/deflate.sh [--O2] [DIR]
# --O2 builds and times the compressor at -O2 instead of the Release -O3, in a
# build dir of its own (build/native-release-O2).
# Environment: BENCH_BUILD_DIR (default build/native-release[-O2]),
# REPETITIONS (5).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
opt=
if [ "${1:-}" = "--O2" ]; then
    opt=-O2
    shift
fi
build=${BENCH_BUILD_DIR:-$root/build/native-release$opt}
repetitions=${REPETITIONS:-5}

if [ -n "$opt" ]; then
    cmake --preset native-release -B "$build" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
else
    cmake --preset native-release -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target deflate_bench >/dev/null

if [ $# -ge 1 ]; then
    corpus=$1
else
    corpus=$("$root/bench/corpus.sh")
    du -s --apparent-size -B1 "$corpus"/* | awk '{ printf "%-60s %6.1f MB\n", $2, $1 / 1e6 }' >&2
fi

echo "compressor built with ${opt:--O3}" >&2
exec "$build/bench/deflate/deflate_bench" "$corpus" "$repetitions"
