#!/usr/bin/env bash
# Builds the show and plays it in this terminal with its music.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
# From bin/, the programs find the music in ../data/ (build/data/qx3.mp3).
cd "$root/build/bin"
exec ./demo_console
