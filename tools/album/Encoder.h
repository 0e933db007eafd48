#pragma once
// mp3 encoding through LAME: constant 128 kbps, 44100 Hz joint stereo, with
// the LAME/Info tag so decoders know the exact length (encoder delay and
// padding), and a small ID3v2 title. No dates or times go into the file.
#include <string>
#include <vector>

namespace album {

// Writes `path` (replacing it). Returns false with `error` set on failure.
bool EncodeMp3(const std::vector<float>& left, const std::vector<float>& right, const std::string& path,
               int day, std::string& error);

} // namespace album
