#!/usr/bin/env bash
# scripts/setup.sh [--fuzz | --windows]: installs the Debian packages the
# project builds and tests with (--fuzz: also clang and its libFuzzer and
# sanitizer runtimes, for scripts/fuzz.sh; --windows: the MinGW-w64 cross
# compilers, Wine, and the source lines of Debian's archive in apt's sources,
# for scripts/build-windows.sh). As root it installs what is missing;
# otherwise it prints what to run and stops.
set -euo pipefail

PACKAGES=(
  cmake
  g++
  make
  pkg-config
  libstb-dev
  liblzma-dev
  libgtest-dev
  libbenchmark-dev
  libsdl2-dev
  libmpg123-dev
  libmp3lame-dev
  tmux
  man-db
  libgl-dev
  libgl1-mesa-dri
  libx11-dev
  xvfb
  xfonts-base
  xdotool
  # demo_render's video export; the ffmpeg program only reads its files back
  # in the tests.
  libavformat-dev
  libavcodec-dev
  libswresample-dev
  libavutil-dev
  ffmpeg
)
# The Windows target (scripts/build-windows.sh): the MinGW-w64 cross
# compilers, Wine to run what they build, and dpkg-dev to unpack the source
# packages of the target's libraries (which also needs apt's source lines).
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix
  wine
  wine64
  dpkg-dev
  googletest
)
# Only the fuzz build needs clang; the normal build is GCC's.
FUZZ_PACKAGES=(
  clang
  libclang-rt-14-dev
)
case "${1:-}" in
  --fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
  --windows) PACKAGES+=("${WINDOWS_PACKAGES[@]}") ;;
  "") ;;
  *)
    echo "usage: scripts/setup.sh [--fuzz | --windows]" >&2
    exit 2
    ;;
esac

# apt-get source needs deb-src entries. Debian's images list the archive in
# deb822 form (debian.sources) or as one-line entries (sources.list).
source_lines_missing() {
  [[ "${1:-}" == --windows ]] || return 1
  apt-cache showsrc --only-source mpg123 2>/dev/null | grep -q '^Version:' && return 1
  return 0
}
if source_lines_missing "${1:-}"; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: apt has no source lines (deb-src) for Debian's archive; as root, run scripts/setup.sh --windows" >&2
    exit 1
  fi
  echo "setup: enabling the source lines of Debian's archive"
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed -i -E 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  fi
  if [[ -f /etc/apt/sources.list ]] && ! grep -q '^deb-src' /etc/apt/sources.list; then
    sed -n -E 's/^deb (.*)$/deb-src \1/p' /etc/apt/sources.list >> /etc/apt/sources.list
  fi
  apt-get update -qq
fi

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "setup: missing Debian packages: ${missing[*]}" >&2
  echo "setup: install them as root with:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
