#!/usr/bin/env bash
# scripts/build.sh [BUILD_DIR] [cmake options...]: configures and builds
# everything, or only the targets named in LUMEN_BUILD_TARGETS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
"$root/scripts/setup.sh"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
for t in ${LUMEN_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
