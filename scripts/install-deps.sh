#!/usr/bin/env bash
# Installs the Debian 12 packages ORBA needs; safe to run again (apt-get skips
# what is already there). Needs root or sudo.
#   scripts/install-deps.sh run    what building and running the player needs
#   scripts/install-deps.sh test   that, and what the tests and benchmarks need
set -euo pipefail
mode=${1:-test}
RUN_PKGS=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libx11-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0 libgles2
  libmpg123-dev libopenmpt-dev libsndfile1-dev libkissfft-dev
  libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libglm-dev libmp3lame-dev libcairo2-dev libsystemd-dev
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev
  libicu-dev libasound2-dev libwayland-dev
)
TEST_PKGS=(
  git python3 googletest libgtest-dev libgmock-dev libbenchmark-dev
  # xfonts-base: without it the X11 message box has no font and fails to open.
  # python3-xlib: the tests ask a window to close as a window manager would.
  python3-xlib
  xvfb xauth xfonts-base xdotool x11-utils x11-apps imagemagick sox libsox-fmt-mp3 lame mpg123
  # openbox: a light window manager for the tests of moving and sizing by the skin.
  openbox
  # ffprobe and ffmpeg read the recordings back.
  ffmpeg
  clang libclang-rt-14-dev
  dbus-daemon dbus-bin playerctl
)
case $mode in
  run) PKGS=("${RUN_PKGS[@]}") ;;
  test) PKGS=("${RUN_PKGS[@]}" "${TEST_PKGS[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
