#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing ORBA need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config git
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0 libgles2
  libmpg123-dev libopenmpt-dev libsndfile1-dev libkissfft-dev
  libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libglm-dev libmp3lame-dev libcairo2-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # xfonts-base: without it the X11 message box has no font and fails to open.
  # python3-xlib: the tests ask a window to close as a window manager would.
  python3-xlib
  xvfb xauth xfonts-base xdotool x11-utils imagemagick sox libsox-fmt-mp3 lame mpg123
  clang libclang-rt-14-dev
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
