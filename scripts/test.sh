#!/usr/bin/env bash
# scripts/test.sh [--native | --windows | --sanitize | --tsan]: installs what
# is missing, builds and runs every test: the native build's (build/), then
# the Windows programs' under Wine (build-windows/, scripts/build-windows.sh).
#   --native    only the native build's tests
#   --windows   only the Windows programs' tests
#   --sanitize  builds into build-asan with AddressSanitizer and UBSan
#   --tsan      builds the music tests into build-tsan with ThreadSanitizer
#               and runs them (the audio thread against the frame loop)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
labels=()
case "${1:-}" in
  --sanitize)
    dir=$root/build-asan
    "$root/scripts/build.sh" "$dir" -DLUMEN_SANITIZE=ON -DLUMEN_BUILD_BENCHMARKS=OFF -DLUMEN_WERROR=ON
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
  --tsan)
    dir=$root/build-tsan
    LUMEN_BUILD_TARGETS=music_tests "$root/scripts/build.sh" "$dir" -DLUMEN_TSAN=ON \
      -DLUMEN_BUILD_BENCHMARKS=OFF -DLUMEN_WERROR=ON
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    labels=(-L '^music_tests$')
    ;;
  --native)
    dir=$root/build
    "$root/scripts/build.sh" "$dir" -DLUMEN_WERROR=ON
    ;;
  --windows)
    dir=$root/build-windows
    "$root/scripts/build-windows.sh" "$dir" -DLUMEN_WERROR=ON
    source "$root/scripts/wine-env.sh"
    wine_for "$dir"
    ;;
  "")
    "$0" --native
    exec "$0" --windows
    ;;
  *)
    echo "usage: scripts/test.sh [--native | --windows | --sanitize | --tsan]" >&2
    exit 2
    ;;
esac
# Every case has a scratch directory of its own, so all run in parallel; a
# failure fails the run (nothing is retried).
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$(nproc)" "${labels[@]}"
