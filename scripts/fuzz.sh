#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]: builds the libFuzzer targets of tests/fuzz with
# clang into build-fuzz (ASan + UBSan), makes their seed corpora from the
# show's data and runs each target for SECONDS (default 60), one after the
# other. Fails when any target finds a crash, a leak, undefined behaviour or
# an input that takes longer than 25 s. Prints each target's executions.
# What a target found stays in build-fuzz/fuzz/: corpus/<target>/ (carried
# over to the next run), artifacts/ (the failing inputs) and <target>.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if [[ ! $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]   (seconds per target, default 60)" >&2
  exit 2
fi
dir=$root/build-fuzz
"$root/scripts/setup.sh" --fuzz
CC=clang CXX=clang++ LUMEN_BUILD_TARGETS=fuzz_all "$root/scripts/build.sh" "$dir" \
  -DLUMEN_FUZZ=ON -DLUMEN_BUILD_TESTS=OFF -DLUMEN_BUILD_BENCHMARKS=OFF
work=$dir/fuzz
"$root/tests/fuzz/make_corpus.sh" "$dir" "$work/seeds"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in pack mesh bitmap keys mp3; do
  mkdir -p "$work/corpus/$target" "$work/artifacts"
  log=$work/$target.log
  status=ok
  # New inputs go into the first directory; the seeds stay as made.
  "$work/fuzz_$target" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/$target-" "$work/corpus/$target" "$work/seeds/$target" \
    >"$log" 2>&1 || status=FAILED
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1 || true)
  printf 'fuzz: %-6s %-6s %10s executions in %s s  (%s)\n' "$target" "$status" "${executions:-?}" "$seconds" \
    "${coverage:-no coverage line}"
  if [[ $status != ok ]]; then
    failed+=("$target")
    tail -n 40 "$log" >&2
  fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: failed: ${failed[*]} (logs and failing inputs in $work)" >&2
  exit 1
fi
