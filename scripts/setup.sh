#!/usr/bin/env bash
# scripts/setup.sh [--fuzz]: installs the Debian packages the project builds
# and tests with (--fuzz: also clang and its libFuzzer and sanitizer runtimes,
# for scripts/fuzz.sh). As root it installs what is missing; otherwise it
# prints the apt-get line and stops.
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
  libgl-dev
  libgl1-mesa-dri
  libx11-dev
  xvfb
  xfonts-base
  xdotool
)
# Only the fuzz build needs clang; the normal build is GCC's.
FUZZ_PACKAGES=(
  clang
  libclang-rt-14-dev
)
case "${1:-}" in
  --fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
  "") ;;
  *)
    echo "usage: scripts/setup.sh [--fuzz]" >&2
    exit 2
    ;;
esac

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
