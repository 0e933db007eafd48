#pragma once
// For tests only: a look at each frame the recorder draws, before it is
// encoded. Main thread only.
#include <cstdint>

// Called with frame k's pixels (0xAARRGGBB, rows top down), drawn for show
// time k / fps after `audioFrames` of sound were pulled. Null stops it.
using RecordFrameTap = void (*)(int64_t frame, int64_t audioFrames, const uint32_t* argb, int width, int height,
                                void* user);
void SetRecordFrameTap(RecordFrameTap tap, void* user);
