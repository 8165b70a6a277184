#!/usr/bin/env bash
# A long fuzzing campaign: fuzz/campaign.sh HOURS (fractions allowed, e.g. 0.25).
# Builds the libFuzzer targets in the native-asan tree, then runs them side by
# side, one process each at the lowest priority, each on its own working corpus
# in the build tree (seeded from fuzz/corpus/<target>; the compressor's model
# target from the compressor's seeds). A target that stops on a finding starts
# again for the time left, so one fault does not end the run; while
# /tmp/gleanwell-bench.lock exists (benchmarks being timed) none runs.
# Creating build/native-asan/fuzz/campaign/stop ends the campaign early.
# Prints per target the executions, the rate and the findings (crash, leak,
# timeout and oom files); exits 1 when there is any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 1 ] || ! awk -v h="$1" 'BEGIN { exit !(h + 0 > 0) }'; then
  echo "usage: fuzz/campaign.sh HOURS" >&2
  exit 2
fi
seconds=$(awk -v h="$1" 'BEGIN { s = int(h * 3600 + 0.5); print (s < 1 ? 1 : s) }')
targets=(deflate deflate_model zip_writer)
lock=/tmp/gleanwell-bench.lock
work=build/native-asan/fuzz/campaign
# Creating this file ends the campaign early, with its figures.
stop=$work/stop
rm -f "$stop"

wait_for_benchmarks() {
  while [ -e "$lock" ] && [ ! -e "$stop" ]; do
    echo "campaign: benchmarks are being timed ($lock); waiting"
    sleep 30
  done
}

wait_for_benchmarks
cmake --preset native-asan >/dev/null
nice -n 19 cmake --build --preset native-asan --target deflate_fuzz deflate_model_fuzz zip_writer_fuzz -- -j2 >/dev/null

# Runs one target until it has fuzzed for the given time. While benchmarks are
# timed the target is interrupted (libFuzzer then prints its statistics) and
# started again afterwards; only the time spent fuzzing counts.
run_target() {
  local target=$1 dir="$work/$1"
  mkdir -p "$dir/corpus" "$dir/findings"
  : >"$dir/log"
  local fuzzed=0 left started pid runs=0
  while :; do
    wait_for_benchmarks >>"$dir/log"
    left=$((seconds - fuzzed))
    if [ "$left" -le 0 ] || [ "$runs" -ge 500 ] || [ -e "$stop" ]; then
      break
    fi
    runs=$((runs + 1))
    started=$(date +%s)
    nice -n 19 "build/native-asan/fuzz/${target}_fuzz" -max_total_time="$left" -max_len=65536 \
      -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/findings/" \
      "$dir/corpus" "fuzz/corpus/${target%_model}" >>"$dir/log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      if [ -e "$lock" ] || [ -e "$stop" ]; then
        kill -INT "$pid" 2>/dev/null || true
      fi
      sleep 5
    done
    wait "$pid" || true
    fuzzed=$((fuzzed + $(date +%s) - started))
  done
  echo "$fuzzed" >"$dir/seconds"
}

wait_for_benchmarks
echo "campaign: ${targets[*]} for $seconds s of fuzzing each, logs in $work/<target>/log"
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid"
done

status=0
total=0
for target in "${targets[@]}"; do
  dir="$work/$target"
  # Executions: the sum of every run's final count (the last progress line
  # where a run left none).
  executions=$(awk '
    /^stat::number_of_executed_units:/ { sum += $2; seen = 1; last = 0; next }
    /^#[0-9]+/ { n = substr($1, 2) + 0; last = n }
    /^INFO: Running with/ { if (!seen && last) sum += last; seen = 0; last = 0 }
    END { if (!seen && last) sum += last; print sum + 0 }' "$dir/log")
  elapsed=$(cat "$dir/seconds")
  rate=$(awk -v e="$executions" -v s="$elapsed" 'BEGIN { printf "%.0f", (s > 0 ? e / s : 0) }')
  findings=$(find "$dir/findings" -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  echo "$target: executions $executions, execs/s $rate, findings $findings"
  find "$dir/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) -printf '  %p\n'
  total=$((total + executions))
  if [ "$findings" -ne 0 ]; then
    status=1
  fi
done
echo "total executions: $total"
exit $status
