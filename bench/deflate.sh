#!/bin/bash
# Our deflate compressor against zlib level 8, in memory, on every file under
# DIR (grouped by top-level folder). Without DIR, first builds a ~50 MB corpus
# of real files from this machine under build/deflate-corpus (not committed).
#   bench/deflate.sh [DIR]
# Environment: BENCH_BUILD_DIR (default build/native-release), REPETITIONS (5).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/native-release}
repetitions=${REPETITIONS:-5}

cmake --preset native-release -B "$build" >/dev/null
cmake --build "$build" -j2 --target deflate_bench >/dev/null

if [ $# -ge 1 ]; then
    corpus=$1
else
    corpus=$("$root/bench/corpus.sh")
    du -s --apparent-size -B1 "$corpus"/* | awk '{ printf "%-60s %6.1f MB\n", $2, $1 / 1e6 }' >&2
fi

exec "$build/bench/deflate/deflate_bench" "$corpus" "$repetitions"
