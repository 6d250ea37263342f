#!/usr/bin/env bash
# tests/fuzz/make_corpus.sh BUILD_DIR OUT_DIR: the seed corpus of each fuzz
# target, OUT_DIR/<target>/, made afresh from the show's own data in
# BUILD_DIR (a LUMEN_FUZZ build whose fuzz_all target is built):
#   pack    the show's pack, and small packs of its smallest image and mesh
#           (LZMA and stored entries)
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

cp "$build/generated/qx3.kest" "$out/pack/"
smallest_png=$(ls -S "$data"/*.png | tail -n 1)
smallest_mesh=$(ls -S "$data"/*.ase.bin | tail -n 1)
make_pack=$build/tools/resources/make_pack
"$make_pack" --out "$out/pack/small_lzma.kest" "$smallest_png" "$smallest_mesh"
"$make_pack" --out "$out/pack/small_stored.kest" --stored "$smallest_png" "$smallest_mesh"

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

"$build/fuzz/fuzz_seeds" "$out"
