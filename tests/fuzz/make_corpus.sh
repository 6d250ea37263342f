#!/usr/bin/env bash
# tests/fuzz/make_corpus.sh BUILD_DIR OUT_DIR: the seed corpus of each fuzz
# target, OUT_DIR/<target>/, made afresh from the show's own data in
# BUILD_DIR (a LUMEN_FUZZ build whose fuzz_all target is built):
#   pack    packs of the show's small images and meshes (LZMA and stored)
#   mesh    the box mesh, and a few faces of each show mesh (fuzz_seeds); the
#           skull's 441 KB would slow every mutation down
#   bitmap  the show's images
#   keys    the keys demo_console takes and the sequences terminals send,
#           as reads: a length byte, then that many bytes
#   mp3     a stretch of the show's track (fuzz_seeds)
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: tests/fuzz/make_corpus.sh BUILD_DIR OUT_DIR" >&2
  exit 2
fi
build=$1
out=$2
data=$build/data
rm -rf "$out"
mkdir -p "$out"/{pack,mesh,bitmap,keys,mp3}

cp "$data"/*.png "$out/bitmap/"
cp "$data/box.ase.bin" "$out/mesh/"
"$build/fuzz/fuzz_seeds" "$out"

# The show's own pack is 248 KB: fuzzed with it, the reader takes about 100
# inputs a second against some 9000 for packs of a few kilobytes, which reach
# the same code. So the seeds are the show's entries under 4 KB packed as the
# build packs them (LZMA), and two of them stored.
small=()
for file in "$data"/*.png "$out"/mesh/*_few.ase.bin; do
  if [[ $(stat -c %s "$file") -lt 4096 ]]; then small+=("$file"); fi
done
make_pack=$build/tools/resources/make_pack
"$make_pack" --out "$out/pack/show_small.kest" "${small[@]}"
"$make_pack" --out "$out/pack/show_stored.kest" --stored "${small[0]}" "$out/mesh/box_few.ase.bin"

keys() { printf "$2" >"$out/keys/$1"; }
keys m '\001m'
keys escape '\001\033'
keys up '\003\033[A'
keys ctrl_up '\006\033[1;5A'
keys f1 '\003\033OP'
keys alt_x '\002\033x'
keys alt_backspace '\002\033\177'
keys escape_enter '\003\033\033\r'
keys split_sequence '\002m\033\002[B\001q'
keys ctrl_c '\001\003'

