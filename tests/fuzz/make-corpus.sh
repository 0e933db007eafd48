#!/usr/bin/env bash
# Regenerates the committed seed corpora of the fuzz targets from the
# project's own material: tones made with sox and lame, modules written by
# SeedModule.cpp, and the small images of Data/ with truncated copies.
# Every file stays a few KB; the whole corpus well under 2 MB.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=tests/fuzz/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out/fuzz_audio_load" "$out/fuzz_png_texture" "$out/fuzz_font_scan"

# Sound files: short, low-rate tones in every format the layer reads.
a=$out/fuzz_audio_load
sox -n -r 8000 -c 1 -b 8 "$a/tone8k.wav" synth 0.2 sine 440
sox -n -r 11025 -c 2 -b 16 "$a/stereo11k.wav" synth 0.05 square 300 sine 500
sox -n -r 8000 -c 1 -b 16 "$a/tone.flac" synth 0.2 sine 660
sox -n -r 8000 -c 1 "$a/tone.ogg" synth 0.2 sine 550
sox -n -r 8000 -c 1 -b 16 "$tmp/mp3src.wav" synth 0.3 sine 440 fade 0 0.3 0.1
lame --quiet -b 8 --resample 8 "$tmp/mp3src.wav" "$a/cbr8k.mp3"
lame --quiet -V 9 --resample 16 "$tmp/mp3src.wav" "$a/vbr16k.mp3"
lame --quiet -b 32 --resample 22.05 --tt orba --ta seed "$tmp/mp3src.wav" "$a/tagged22k.mp3"
lame --quiet -b 8 --resample 8 -t "$tmp/mp3src.wav" "$a/notag.mp3"
c++ -std=c++20 -O1 -o "$tmp/seedmodule" tests/fuzz/SeedModule.cpp
"$tmp/seedmodule" "$a/mk4.mod" 4
"$tmp/seedmodule" "$a/chn8.mod" 8
"$tmp/seedmodule" "$a/loop.mod" 4 loop
head -c 1500 "$a/mk4.mod" > "$a/mk4_truncated.mod"
head -c 300 "$a/cbr8k.mp3" > "$a/cbr8k_truncated.mp3"

# Images: the small interface images, small cut-outs of the big ones in the
# other PNG forms the decoder expands (palette, grey, 16-bit, interlaced), and
# cut-off copies. Seeds stay small in pixels too: a 1024 x 1024 image costs
# the fuzzer a third of a second per run under the sanitizers.
p=$out/fuzz_png_texture
for f in equaliser font pause vol_end vol_strip; do
  cp "Data/$f.png" "$p/$f.png"
done
im() { convert "${@:1:$#-1}" -strip -define png:exclude-chunks=date,time "${@: -1}"; }
im Data/overlay.png -crop 48x40+400+280 +repage "png32:$p/overlay_crop.png"
im Data/interface.png -crop 40x24+100+100 +repage "png24:$p/interface_rgb.png"
im Data/pause.png "png8:$p/pause_palette.png"
im Data/vol_end.png -colorspace Gray "png:$p/vol_end_grey.png"
im Data/pause.png -depth 16 "png64:$p/pause_16bit.png"
im Data/pause.png -interlace PNG "png32:$p/pause_interlaced.png"
im Data/pause.png -monochrome "png:$p/pause_1bit.png"
for f in font pause overlay_crop; do
  src=$p/$f.png
  size=$(stat -c %s "$src")
  head -c $((size / 2)) "$src" > "$p/${f}_half.png"
  head -c $((size - 12)) "$src" > "$p/${f}_no_iend.png"
done

# Font strips: the real strip, a cut copy, and raw images (width, height,
# then ARGB bytes) with a few runs of filled columns.
f=$out/fuzz_font_scan
cp Data/font.png "$f/font.png"
head -c 400 Data/font.png > "$f/font_cut.png"
raw() {  # width height column-pattern (1 filled, 0 empty) -> raw image
  local w=$1 h=$2 cols=$3 y x
  { printf "\\x$(printf %02x "$w")\\x$(printf %02x "$h")"
    for ((y = 0; y < h; y++)); do
      for ((x = 0; x < w; x++)); do
        if [ "${cols:$((x % ${#cols})):1}" = 1 ]; then printf '\xff\xff\xff\xff'; else printf '\x00\x00\x00\x00'; fi
      done
    done; } > "$4"
}
raw 24 4 110100111000 "$f/runs.raw"
raw 16 2 1 "$f/solid.raw"
raw 9 3 10 "$f/alternate.raw"
du -sh "$out"
