#!/usr/bin/env bash
# How an archive run grows with the number of files. Builds Gleanwell.exe and
# the demo driver, makes trees of small files in nested folders (100 files per
# folder, 10 folders per group) in the build tree, and for each one starts
# Gleanwell under Wine on a virtual display (with the demo installation), adds
# the tree as a row with "Add Other", and times the press of "Archive" up to
# the final message box. Tree making, reading the tree into the page cache
# and Wine's start-up are outside the timing.
#
# Prints one line per run with its time and per-file time (and the time of a
# run over an empty tree), then each tree's fastest run, and last:
#   run-scale: x<per-file time of the largest tree / of the smallest>
# With the default sizes that is 100,000 files against 10,000.
#
# Usage: bench/run_scale.sh       (build dir: build/windows)
# Environment: GLEANWELL_BUILD_DIR (build dir), SCALE_SIZES ("10000 50000 100000"),
#              SCALE_TIMEOUT (seconds one archive run may take, 1800),
#              SCALE_RUNS (runs of each tree, 1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$(mkdir -p "${GLEANWELL_BUILD_DIR:-$root/build/windows}" && cd "${GLEANWELL_BUILD_DIR:-$root/build/windows}" && pwd)
sizes=${SCALE_SIZES:-10000 50000 100000}
limit=${SCALE_TIMEOUT:-1800}
runs=${SCALE_RUNS:-1}

if [ -z "${GLEANWELL_IN_XVFB:-}" ]; then
  cmake --preset windows -B "$build" >/dev/null
  nice cmake --build "$build" -j2 --target Gleanwell demo_driver >/dev/null
  export GLEANWELL_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

exe="$build/src/app/Gleanwell.exe"
driver="$build/tests/app/demo_driver.exe"
out="$build/bench-scale"
mkdir -p "$out/trees"

# make_tree N DIR: N files of a few hundred bytes each, kept for later runs.
make_tree() {
  [ -f "$2.complete" ] && return 0
  rm -rf "$2"
  echo "run-scale: making a tree of $1 files in $2" >&2
  python3 - "$1" "$2" <<'PY'
import os, sys
count, top = int(sys.argv[1]), sys.argv[2]
for i in range(count):
    folder = os.path.join(top, "g%03d" % (i // 1000), "s%d" % (i // 100 % 10))
    if i % 100 == 0:
        os.makedirs(folder)
    lines = "".join("%05d sample=%d value=%d.%02d status=OK\r\n" % (i, j, i * 7 % 997, j * 13 % 100)
                    for j in range(4 + i % 5))
    with open(os.path.join(folder, "file%02d.log" % (i % 100)), "w", newline="") as f:
        f.write(lines)
open(top + ".complete", "w").close()
PY
}
for n in $sizes; do
  make_tree "$n" "$out/trees/files-$n"
done
# An empty tree times the part of a run that does not depend on the row: the
# collection steps with their registry exports, the report, the final box.
mkdir -p "$out/trees/files-0"

. scripts/wine-env.sh "$out"
scripts/wine-prefix.sh "$out"
finish() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
trap finish EXIT
wineserver -p
wine wineboot >/dev/null 2>&1 </dev/null
install="$WINEPREFIX/drive_c/Velmaris"
if [ ! -f "$install/Velmaris.ini" ]; then
  scripts/demo/make-demo.sh "$out" >/dev/null
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }

results="$out/results.txt"
: >"$results"
# run_once N: one timed archive run over the tree of N files; appends "N ms".
run_once() {
  local n=$1 tree="$out/trees/files-$1" log="$out/run-$1.log" status=0 ms report archived failed
  # A tree read from disk during the run would time the disk: read it first.
  find "$tree" -type f -print0 | xargs -0 -r cat >/dev/null
  timeout $((limit + 120)) wine "$driver" --exe "$(winpath "$exe")" \
    --other-folder "$(winpath "$tree")" --archive-timeout-ms $((limit * 1000)) \
    >"$log" 2>&1 </dev/null || status=$?
  ms=$(tr -d '\r' <"$log" | sed -n 's/^demo: archive run took \([0-9]*\) ms$/\1/p')
  if [ "$status" -ne 0 ] || [ -z "$ms" ]; then
    tr -d '\r' <"$log" >&2
    echo "run-scale: the run over $n files failed (status $status)" >&2
    exit 1
  fi
  # Every file of the tree must be archived, whatever the count (past 65,535
  # entries the archive takes Zip64), so every size times the same work.
  report="$install/ZipFailureFile.txt"
  archived=$(grep -F -c "Success   :- $(winpath "$tree")\\" "$report" || true)
  failed=$(grep -F -c "Failed    :- $(winpath "$tree")\\" "$report" || true)
  if [ "$archived" -ne "$n" ] || [ "$failed" -ne 0 ]; then
    echo "run-scale: the run over $n files archived $archived of them, $failed failed" >&2
    exit 1
  fi
  printf '%s %s\n' "$n" "$ms" >>"$results"
  awk -v n="$n" -v ms="$ms" -v a="$archived" -v f="$failed" 'BEGIN {
    if (n == 0) { printf "run-scale: empty tree: %8.1f s\n", ms / 1000; exit }
    printf "run-scale: %6d files: %8.1f s, %.3f ms per file (%d archived, %d failed)\n",
           n, ms / 1000, ms / n, a, f }'
}
# Rounds over all sizes, so that a busy spell of the machine hits one round
# rather than one size; each size counts with its fastest run.
for round in $(seq 1 "$runs"); do
  for n in 0 $sizes; do
    run_once "$n"
  done
done
# The ratio takes whole run times; the part beyond the empty tree's run is
# shown beside them.
sort -n -k1,1 -k2,2 "$results" | awk '
  $1 == 0 && fixed == "" { fixed = $2 }
  $1 != 0 && $1 != n {
    n = $1; ms = $2; best[++count] = ms / n
    printf "run-scale: %6d files: best %.1f s, %.3f ms per file (%.3f beyond the empty tree)\n",
           n, ms / 1000, ms / n, (ms - fixed) / n }
  END { printf "run-scale: x%.2f\n", best[count] / best[1] }'
