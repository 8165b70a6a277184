#!/bin/bash
# Our zip writer against Info-ZIP's `zip -r -8 -q` on the folder tree DIR,
# alternating, RUNS (at least 3) runs each. Without DIR, uses the compressor
# benchmark's corpus (build/deflate-corpus, made by bench/deflate.sh), or a
# small corpus built here when that is absent.
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

small_corpus() { # text, configuration and binaries from this machine, ~20 MB
    local corpus=$1
    rm -rf "$corpus"
    mkdir -p "$corpus/doc" "$corpus/etc" "$corpus/bin"
    cp -r /usr/share/doc/. "$corpus/doc/" 2>/dev/null || true
    cp -r /etc/. "$corpus/etc/" 2>/dev/null || true
    find /usr/bin -maxdepth 1 -type f -size -2M 2>/dev/null | sort | awk 'NR % 4 == 0' |
        head -n 150 | xargs -r cp -t "$corpus/bin/" 2>/dev/null || true
    find "$corpus" ! -type f ! -type d -delete
    find "$corpus" -type f ! -readable -delete
}

if [ $# -ge 1 ]; then
    tree=$1
elif [ -f "$root/build/deflate-corpus/.complete" ]; then
    tree=$root/build/deflate-corpus
else
    tree=$root/build/zipdir-corpus
    if [ ! -f "$tree/.complete" ]; then
        echo "building a corpus under $tree ..." >&2
        small_corpus "$tree"
        touch "$tree/.complete"
    fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/zipdir/zipdir_bench" "$tree" "$work" "$runs" | tee "$work/out.txt" | grep -v '^zipdir-vs-infozip8:'
# Our archive must pass an independent reader before the figures count.
unzip -tqq "$work/ours.zip" >/dev/null
tail -n 1 "$work/out.txt"
