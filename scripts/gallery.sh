#!/usr/bin/env bash
# scripts/gallery.sh: regenerates docs/gallery/ from the show with demo_render
# (one still per effect, at a time where it plays alone, and a short animated
# clip) and the gallery block of README.md, captioned by the README's table of
# the show. The files there are never edited by hand.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
LUMEN_BUILD_TARGETS=demo_render "$root/scripts/build.sh" "$root/build"

# One still per row of the README's table, in its order: show time (ms).
still_ms=(2900 6000 22000 50000 90000 110000 142000 166000 188200)
# The clip: the title over the tunnel, at a third of the video's frame rate to stay
# small (a GIF over 3 MB is refused below).
clip_from=22000 clip_to=25000 clip_fps=20
max_clip_bytes=3000000

readme=$root/README.md
out=$root/docs/gallery
mapfile -t rows < <(awk '/^## The show/ {on = 1; next} on && /^## / {exit}
  on && /^\| [0-9]/ {split($0, f, "|"); gsub(/^ +| +$/, "", f[2]); gsub(/^ +| +$/, "", f[3]); print f[2] "|" f[3]}' "$readme")
if [ "${#rows[@]}" -ne "${#still_ms[@]}" ]; then
  echo "gallery.sh: README's table of the show has ${#rows[@]} rows, the script has ${#still_ms[@]} still times" >&2
  exit 1
fi

rm -rf "$out.part"
mkdir -p "$out.part"
cd "$root/build/bin"   # demo_render finds the show data in ../data/
for i in "${!still_ms[@]}"; do
  ./demo_render --time "${still_ms[$i]}" --out "$out.part/$((i + 1)).png" >/dev/null
done
./demo_render --gif "$out.part/clip.gif" --from "$clip_from" --to "$clip_to" --fps "$clip_fps" --scale 1
bytes=$(stat -c %s "$out.part/clip.gif")
if [ "$bytes" -ge "$max_clip_bytes" ]; then
  echo "gallery.sh: the clip is $bytes bytes, over 3 MB" >&2
  exit 1
fi

# The README's block between the gallery markers: three stills a row, each
# captioned with its row of the table.
block=$(mktemp)
trap 'rm -f "$block"' EXIT
{
  echo '<!-- gallery: made by scripts/gallery.sh -->'
  echo '<table>'
  for i in "${!rows[@]}"; do
    [ $((i % 3)) -eq 0 ] && echo '<tr>'
    echo "<td><img src=\"docs/gallery/$((i + 1)).png\" width=\"260\" alt=\"${rows[$i]#*|}\"><br>${rows[$i]%%|*} s: ${rows[$i]#*|}</td>"
    [ $((i % 3)) -eq 2 ] && echo '</tr>'
  done
  echo '</table>'
  echo
  echo "A $(( (clip_to - clip_from) / 1000 )) s clip: [docs/gallery/clip.gif](docs/gallery/clip.gif)."
  echo '<!-- gallery end -->'
} >"$block"
if ! grep -q '^<!-- gallery: ' "$readme" || ! grep -q '^<!-- gallery end -->' "$readme"; then
  echo "gallery.sh: README.md lacks the gallery markers" >&2
  exit 1
fi
awk -v block="$block" '/^<!-- gallery: / {while ((getline line < block) > 0) print line; skip = 1; next}
  skip && /^<!-- gallery end -->/ {skip = 0; next} !skip' "$readme" >"$readme.part"
mv "$readme.part" "$readme"
rm -rf "$out"
mv "$out.part" "$out"
echo "gallery.sh: docs/gallery/ and README.md's gallery rewritten (clip: $bytes bytes)"
