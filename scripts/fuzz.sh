#!/usr/bin/env bash
# Builds the fuzz targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for a fixed time (seconds, default 60) from the generated seeds and the stored
# corpus. A crash, a broken invariant, a hang or a runaway allocation fails the run and prints
# the input that caused it (also kept under build-fuzz/fuzz-run/artifacts/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=build-fuzz  # where the fuzz preset builds
run_dir=$build_dir/fuzz-run

scripts/install-deps.sh
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"

rm -rf "$run_dir"
"$build_dir/bin/tracksieve-fuzz-seeds" "$run_dir/seeds"
export UBSAN_OPTIONS=print_stacktrace=1
# The slim target writes and syncs two files per input; memory-backed storage keeps that cheap.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# One target per core at a time, each for the full time on its own core, so that more cores
# shorten the run without shortening any target's fuzzing.
fuzz_target() {
  local target=$1 seeds=$run_dir/seeds/wav
  [ "$target" = track_list ] && seeds=$run_dir/seeds/track_list
  mkdir -p "$run_dir/corpus/$target" "$run_dir/artifacts/$target"
  # New inputs go to the first folder; the seeds and the stored corpus are only read.
  "$build_dir/bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$run_dir/artifacts/$target/" \
    "$run_dir/corpus/$target" "$seeds" "tests/fuzz/corpus/$target" >"$run_dir/$target.log" 2>&1
}

targets=(analysis track_list slim)
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  (fuzz_target "$target" && echo passed >"$run_dir/$target.result" || echo failed >"$run_dir/$target.result") &
done
wait

failed=()
for target in "${targets[@]}"; do
  log=$run_dir/$target.log
  if [ "$(cat "$run_dir/$target.result")" = passed ]; then
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz $target: $executions executions in ${seconds} s ($rate per second), no failure"
  else
    failed+=("$target")
    echo "fuzz $target FAILED; the end of its log:"
    tail -n 80 "$log"
    for artifact in "$run_dir/artifacts/$target"/*; do
      [ -f "$artifact" ] || continue
      echo "Reproducer $artifact (base64; replay with $build_dir/bin/${target}_fuzzer FILE):"
      base64 "$artifact"
    done
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing failed for: ${failed[*]}. Add each reproducer to tests/fuzz/corpus/<target>/ with its fix." >&2
  exit 1
fi
