#!/usr/bin/env bash
# scripts/coverage.sh: builds with gcov instrumentation into build-coverage,
# runs every test and prints line coverage per folder (gcovr).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-coverage
"$root/scripts/build.sh" "$dir" -DLUMEN_COVERAGE=ON -DLUMEN_BUILD_BENCHMARKS=OFF
if ! command -v gcovr >/dev/null; then
  echo "coverage: gcovr is missing; install it with: apt-get install -y gcovr" >&2
  exit 1
fi
find "$dir" -name '*.gcda' -delete
ctest --test-dir "$dir" --no-tests=error -j"$(nproc)" >"$dir/ctest.log" || {
  tail -n 30 "$dir/ctest.log" >&2
  echo "coverage: some tests failed (full log: $dir/ctest.log)" >&2
}
gcovr -r "$root" --object-directory "$dir" --exclude "$root/tests/" --exclude "$root/bench/" \
  --exclude "$dir/" --json-summary "$dir/coverage.json" >/dev/null
python3 - "$dir/coverage.json" <<'PY'
import json, sys, collections
total = collections.Counter(); hit = collections.Counter()
for f in json.load(open(sys.argv[1]))["files"]:
    parts = f["filename"].split("/")
    folder = "/".join(parts[:2]) if len(parts) > 2 else parts[0]
    for key in (folder, parts[0] + "/ (all)"):
        total[key] += f["line_total"]; hit[key] += f["line_covered"]
print(f"{'folder':<24}{'lines':>8}{'covered':>9}{'%':>7}")
for k in sorted(total):
    print(f"{k:<24}{total[k]:>8}{hit[k]:>9}{100.0 * hit[k] / max(total[k], 1):>7.1f}")
PY
