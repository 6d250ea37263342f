#!/usr/bin/env bash
# scripts/build-windows.sh [BUILD_DIR] [cmake options...]: cross-builds the
# Windows programs (demo_console.exe, demo_render.exe) and their tests into
# BUILD_DIR (default build-windows/) with MinGW-w64, statically linked.
#
# The show's data comes from a native build (build/, made here if needed):
# the generators run on this machine and the .exe files embed the same pack
# and ship the same qx3.mp3. The target's libraries (libmpg123, liblzma,
# GoogleTest) are built from Debian's source packages into a cache outside
# the clone, one directory per set of source versions, so that later builds
# reuse them: $LUMEN_WINDOWS_CACHE, default ~/.cache/lumen-gravel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
shift || true
host=${LUMEN_HOST_BUILD_DIR:-$root/build}
cache_root=${LUMEN_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumen-gravel}
triple=x86_64-w64-mingw32
jobs=$(nproc)

"$root/scripts/setup.sh" --windows

# --- The show's data, made natively ---------------------------------------
# windows_e2e_tests drives the .exe files from this machine (tmux, wine).
LUMEN_BUILD_TARGETS="show_pack soundtrack demo_render windows_e2e_tests" "$root/scripts/build.sh" "$host"

# --- The target's libraries from Debian's source packages -------------------
source_version() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'
}
mpg123_version=$(source_version mpg123)
xz_version=$(source_version xz-utils)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
compiler_version=$($triple-g++-posix -dumpversion)
if [[ -z "$mpg123_version" || -z "$xz_version" ]]; then
  echo "build-windows: apt has no source lines for mpg123 / xz-utils (run scripts/setup.sh --windows as root)" >&2
  exit 1
fi
prefix="$cache_root/$triple-gcc$compiler_version-mpg123_$mpg123_version-xz_$xz_version-gtest_$gtest_version"

# Unpacks a downloaded source package NAME into NAME-src/ with Debian's
# patches applied. dpkg-source is not used: the archive lacks some upstream
# signature files (.asc) that it insists on.
unpack_source() {
  local name=$1 orig
  orig=$(ls "$name"_*.orig.tar.* | grep -v '\.asc$')
  mkdir "$name-src"
  tar -xf "$orig" -C "$name-src" --strip-components=1
  tar -xf "$name"_*.debian.tar.* -C "$name-src"
  local series="$name-src/debian/patches/series" patch
  [[ -f "$series" ]] || return 0
  while read -r patch _; do
    [[ -z "$patch" || "$patch" == \#* ]] || patch -s -p1 -d "$name-src" < "$name-src/debian/patches/$patch"
  done < "$series"
}

if [[ ! -f "$prefix/.complete" ]]; then
  echo "build-windows: building the target's libraries into $prefix"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"   # apt's download user writes there
  rm -rf "$prefix"
  (
    cd "$work"
    # A missing .asc fails the command after the sources have arrived.
    apt-get source --download-only -qq "mpg123=$mpg123_version" "xz-utils=$xz_version" >/dev/null 2>&1 || true
    unpack_source mpg123
    unpack_source xz-utils
    cd "$work/mpg123-src"
    ./configure -q --host=$triple --prefix="$prefix" --enable-static --disable-shared \
      --disable-modules --with-audio=dummy --with-default-audio=dummy \
      --disable-components --enable-libmpg123 >/dev/null
    make -s -j"$jobs" install >/dev/null
    cd "$work/xz-utils-src"
    ./configure -q --host=$triple --prefix="$prefix" --enable-static --disable-shared \
      --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-scripts \
      --disable-doc --disable-nls >/dev/null
    make -s -j"$jobs" install >/dev/null
  )
  cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$work/googletest" -j"$jobs" >/dev/null
  cmake --install "$work/googletest" >/dev/null
  touch "$prefix/.complete"
fi

# --- The programs -------------------------------------------------------------
# Wine keeps its state in a prefix of the build's own (made on first use).
export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all
mkdir -p "$dir"
[[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEN_WINDOWS_LIBS="$prefix" -DLUMEN_HOST_BUILD_DIR="$host" "$@" >/dev/null
cmake --build "$dir" -j"$jobs"
