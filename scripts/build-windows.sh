#!/usr/bin/env bash
# scripts/build-windows.sh [BUILD_DIR] [cmake options...]: cross-builds the
# Windows programs (demo_console.exe, demo_gl.exe, demo_render.exe), their
# tests and the release archive (BUILD_DIR/dist/lumen-gravel-windows-x64.zip)
# into BUILD_DIR (default build-windows/) with MinGW-w64, statically linked.
#
# The show's data comes from a native build (build/, made here if needed):
# the generators run on this machine and the .exe files embed the same pack
# and ship the same qx3.mp3. The target's libraries (libmpg123, liblzma,
# and for the tests LAME and GoogleTest) are built from Debian's source
# packages into a cache outside the clone ($LUMEN_WINDOWS_CACHE, default
# ~/.cache/lumen-gravel), one prefix per compiler version with a stamp per
# package version, so that later builds reuse them and a new version of a
# package rebuilds only that package.
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
prefix="$cache_root/$triple-gcc$($triple-g++-posix -dumpversion)"
mkdir -p "$prefix/built"

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

# build_library NAME CONFIGURE-OPTIONS...: fetches Debian's source package
# NAME, configures it for the target and installs it into the prefix, unless
# that version is there already (a stamp per package and version).
build_library() {
  local name=$1 version
  shift
  version=$(source_version "$name")
  if [[ -z "$version" ]]; then
    echo "build-windows: apt has no source lines for $name (run scripts/setup.sh --windows as root)" >&2
    exit 1
  fi
  [[ -f "$prefix/built/${name}_$version" ]] && return 0
  echo "build-windows: building $name $version for the target into $prefix"
  local work
  work=$(mktemp -d)
  chmod 755 "$work"   # apt's download user writes there
  (
    cd "$work"
    # A missing .asc fails the command after the sources have arrived.
    apt-get source --download-only -qq "$name=$version" >/dev/null 2>&1 || true
    unpack_source "$name"
    cd "$name-src"
    ./configure -q --host=$triple --prefix="$prefix" --enable-static --disable-shared "$@" >/dev/null
    make -s -j"$jobs" install >/dev/null
  )
  rm -rf "$work"
  rm -f "$prefix/built/${name}"_*
  touch "$prefix/built/${name}_$version"
}

build_library mpg123 --disable-modules --with-audio=dummy --with-default-audio=dummy
build_library xz-utils --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-scripts \
  --disable-doc --disable-nls
# The music tests make their MP3s with LAME.
build_library lame --disable-frontend --disable-decoder

gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if [[ ! -f "$prefix/built/googletest_$gtest_version" ]]; then
  echo "build-windows: building GoogleTest $gtest_version for the target into $prefix"
  work=$(mktemp -d)
  cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$work" -j"$jobs" >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
  rm -f "$prefix/built/googletest"_*
  touch "$prefix/built/googletest_$gtest_version"
fi

# --- The programs -------------------------------------------------------------
# The build runs the test programs under Wine to list their cases.
source "$root/scripts/wine-env.sh"
wine_for "$dir"
# pkg-config's answers stay in the cache: a build made against another prefix
# starts its configuration afresh.
if [[ -f "$dir/CMakeCache.txt" ]] && ! grep -qxF "LUMEN_WINDOWS_LIBS:UNINITIALIZED=$prefix" "$dir/CMakeCache.txt"; then
  rm -f "$dir/CMakeCache.txt"
fi
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEN_WINDOWS_LIBS="$prefix" -DLUMEN_HOST_BUILD_DIR="$host" "$@" >/dev/null
cmake --build "$dir" -j"$jobs"
