#!/usr/bin/env bash
# Puts the demo album next to the player: creates TARGET/Tamm_songs with
# "tamm - day1.mp3" .. "tamm - day30.mp3" from an already built orba-album.
#
#   scripts/make-album.sh BINARY TARGET [orba-album options...]
#
# Only missing day files are made. Nothing in the folder is ever replaced or
# removed: a user's own files, and day files already there, stay as they are.
# Extra options (e.g. --seconds 2 for a quick test album) go to the tool.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BINARY TARGET [orba-album options...]" >&2
  exit 2
fi
tool=$1
target=$2
shift 2

if [ ! -x "$tool" ] || [ -d "$tool" ]; then
  echo "make-album: '$tool' is not an executable orba-album" >&2
  exit 1
fi
if [ ! -d "$target" ]; then
  echo "make-album: target folder '$target' does not exist" >&2
  exit 1
fi

songs="$target/Tamm_songs"
if [ -e "$songs" ] && [ ! -d "$songs" ]; then
  echo "make-album: '$songs' exists and is not a folder; leaving it alone" >&2
  exit 1
fi

missing=0
for day in $(seq 1 30); do
  f="$songs/tamm - day$day.mp3"
  # -L: a dangling link is still the user's name; leave it.
  if [ ! -e "$f" ] && [ ! -L "$f" ]; then
    missing=$((missing + 1))
  fi
done
if [ "$missing" -eq 0 ]; then
  echo "make-album: $songs is complete"
  exit 0
fi

if [ -d "$songs" ]; then
  foreign=$(find "$songs" -mindepth 1 -maxdepth 1 \
    ! -regex '.*/\.?tamm - day\([1-9]\|[12][0-9]\|30\)\.mp3\(\.part\)?' | wc -l)
  if [ "$foreign" -gt 0 ]; then
    echo "make-album: $songs holds $foreign other file(s); keeping everything, adding only missing days"
  fi
fi

echo "make-album: writing $missing missing day file(s) to $songs"
# The tool itself skips every name that exists and moves each finished file
# into place without replacing anything, so running it is always safe here.
"$tool" --out "$songs" "$@"
