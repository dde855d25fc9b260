#!/usr/bin/env bash
# Installs what the build and the test tiers need from Debian's registry, skipping what is there.
# Usage: scripts/bootstrap.sh [bench|demo]   (bench adds the benchmark's reference encoders, demo
# the packages holding the demo's images)
set -euo pipefail

packages=(
  cmake make g++ g++-multilib          # host and host32 tiers
  qemu-user-static                     # runs the static 32-bit tests
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64                               # runs the 64-bit Windows tests
  googletest                           # sources built by every tier
  xvfb imagemagick fonts-wine          # the property page on screen (Marlett arrows), screenshots
  libgl1 libgl1-mesa-dri libglx-mesa0  # OpenGL under Wine: Mesa's software renderer on Xvfb
  libstb-dev                           # image files in the demo client and the benchmark
  clang libclang-rt-dev                # the fuzz targets: libFuzzer with its sanitizers
)
case "${1:-}" in
  bench) packages+=(libsquish-dev) ;;
  demo) packages+=(mate-backgrounds neverball-data) ;;  # the demo's photograph and game texture
esac

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [[ "$status" == installed ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) == 0 ]] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
