#!/usr/bin/env bash
# scripts/package-windows.sh: builds the Windows programs (build-windows/,
# through scripts/build-windows.sh) and puts their release archive in
# dist/lumen-gravel-windows-x64.zip: demo_console.exe, demo_gl.exe,
# demo_render.exe, qx3.mp3, LICENSE.txt and README.txt in one folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-windows
"$root/scripts/build-windows.sh" "$dir"
mkdir -p "$root/dist"
cp "$dir/dist/lumen-gravel-windows-x64.zip" "$root/dist/lumen-gravel-windows-x64.zip.part"
mv "$root/dist/lumen-gravel-windows-x64.zip.part" "$root/dist/lumen-gravel-windows-x64.zip"
echo "package-windows: $root/dist/lumen-gravel-windows-x64.zip"
