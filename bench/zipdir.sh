#!/bin/bash
# Our zip writer against Info-ZIP's `zip -r -8 -q` on the folder tree DIR,
# alternating, RUNS (at least 3) runs each. Without DIR, uses the compressor
# benchmark's corpus (build/deflate-corpus, built by bench/corpus.sh when
# missing).
#   bench/zipdir.sh [DIR]
# Environment: BENCH_BUILD_DIR (default build/native-release), RUNS (3).
# Last line: zipdir-vs-infozip8: time x<ours/theirs>, size x<ours/theirs>, peak-rss <KiB>
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/native-release}
runs=${RUNS:-3}

command -v zip >/dev/null || { echo "zip (Info-ZIP) is needed as the peer" >&2; exit 1; }
cmake --preset native-release -B "$build" >/dev/null
cmake --build "$build" -j2 --target zipdir_bench >/dev/null

if [ $# -ge 1 ]; then
    tree=$1
else
    tree=$("$root/bench/corpus.sh")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/zipdir/zipdir_bench" "$tree" "$work" "$runs" | tee "$work/out.txt" | grep -v '^zipdir-vs-infozip8:'
# Our archive must pass an independent reader before the figures count.
unzip -tqq "$work/ours.zip" >/dev/null
tail -n 1 "$work/out.txt"
