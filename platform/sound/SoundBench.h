#pragma once
// Baselines for the sound benchmarks: the libraries used directly, without
// the sound library around them. Plain functions, so that bench/ needs no
// third-party header.
#include <cstdint>

// Decodes an mp3 file with libmpg123 alone (its own file reading, float
// output at the file's rate); the frames decoded, -1 when it cannot.
int64_t SoundBench_DecodeMp3Direct(const char* path);
