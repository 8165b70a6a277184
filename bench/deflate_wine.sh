#!/bin/bash
# The shipped i686 compressor under Wine against the native x86-64 build, on
# the same corpus: deflate_speed.exe and deflate_speed run in turn, ROUNDS
# times each, and the median totals, and those of the files under 4 KiB, are
# compared.
#   bench/deflate_wine.sh [DIR]
# Environment: ROUNDS (5), REPETITIONS per run (1).
# Last line: i686-wine-vs-native: speed x<wine/native> (<wine> vs <native> MB/s),
#            small x<wine/native> (<wine> vs <native> MB/s)
set -eu

if [ -z "${GLEANWELL_IN_XVFB:-}" ]; then
    export GLEANWELL_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-5}
repetitions=${REPETITIONS:-1}
native=$root/build/native-release
windows=$root/build/windows

cmake --preset native-release >/dev/null
cmake --build "$native" -j2 --target deflate_speed >/dev/null
cmake --preset windows >/dev/null
cmake --build "$windows" -j2 --target deflate_speed >/dev/null

if [ $# -ge 1 ]; then
    corpus=$(cd "$1" && pwd)
else
    corpus=$("$root/bench/corpus.sh")
fi

. "$root/scripts/wine-env.sh" "$windows"
"$root/scripts/wine-prefix.sh" "$windows" >/dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine_corpus=$(winepath -w "$corpus" 2>/dev/null)

# The total and the files under 4 KiB, in MB/s: two lines of two columns,
# appended to the file given.
figures() {
    awk '$1 == "total" { t = $NF } $1 == "under" && $2 == "4K" { s = $NF }
         END { print t; print s }' | paste -s -d ' ' >>"$1"
}
: >"$windows/deflate_wine_native.txt"
: >"$windows/deflate_wine_i686.txt"
for round in $(seq "$rounds"); do
    "$native/bench/deflate/deflate_speed" "$corpus" "$repetitions" |
        figures "$windows/deflate_wine_native.txt"
    wine "$windows/bench/deflate/deflate_speed.exe" "$wine_corpus" "$repetitions" </dev/null \
        2>/dev/null | tr -d '\r' | figures "$windows/deflate_wine_i686.txt"
    echo "round $round: native $(tail -n 1 "$windows/deflate_wine_native.txt") MB/s," \
        "i686 under Wine $(tail -n 1 "$windows/deflate_wine_i686.txt") MB/s (total, under 4K)"
done

median() { cut -d ' ' -f "$2" "$1" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
n=$(median "$windows/deflate_wine_native.txt" 1)
w=$(median "$windows/deflate_wine_i686.txt" 1)
ns=$(median "$windows/deflate_wine_native.txt" 2)
ws=$(median "$windows/deflate_wine_i686.txt" 2)
awk -v w="$w" -v n="$n" -v ws="$ws" -v ns="$ns" 'BEGIN {
    printf "i686-wine-vs-native: speed x%.2f (%.2f vs %.2f MB/s), small x%.2f (%.2f vs %.2f MB/s)\n",
        w / n, w, n, ws / ns, ws, ns }'
