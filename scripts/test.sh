#!/usr/bin/env bash
# scripts/test.sh [--sanitize]: installs what is missing, builds and runs every test.
# --sanitize builds into build-asan with AddressSanitizer and UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=$root/build-asan
  "$root/scripts/build.sh" "$dir" -DLUMEN_SANITIZE=ON -DLUMEN_BUILD_BENCHMARKS=OFF -DLUMEN_WERROR=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=$root/build
  "$root/scripts/build.sh" "$dir" -DLUMEN_WERROR=ON
fi
# Every case has a scratch directory of its own, so all run in parallel; a
# failure fails the run (nothing is retried).
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$(nproc)"
