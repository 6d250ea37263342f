#!/usr/bin/env bash
# Builds the show and plays it. Until the terminal player exists this renders
# the show headless: one PNG per second into build/frames/, and the ending's
# frame as coloured text in this terminal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
mkdir -p "$root/build/frames"
cd "$root/build/bin"
./demo_render --from 0 --to 200000 --step 1000 --out ../frames
./demo_render --time 188100 --ansi
echo "Frames of the show (one per second) are in build/frames/."
