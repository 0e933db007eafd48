#pragma once
// The program's own render device on a real (hidden) window: OpenGL on Mesa,
// offscreen unless a display is asked for. For tests that read pixels back.
#include <cstddef>
#include <cstdint>
#include <vector>

// Opens a windowed 800 x 600 device as the program does after its question.
// False when no OpenGL 3.3 context can be had.
bool OpenRealDevice();
void CloseRealDevice();
// The back buffer, ARGB, top row first (read before presenting).
std::vector<uint32_t> ReadBackBuffer();
inline uint32_t PixelAt(const std::vector<uint32_t>& p, int x, int y) { return p[size_t(y) * 800 + x]; }
// The left equaliser in that frame: bar k's middle column, and the rows from
// above its tallest to its foot.
inline int EqualiserColumn(int bar) { return 8 + 5 * bar + 1; }
constexpr int EqualiserTop = 592 - 165;
constexpr int EqualiserFoot = 588;
// Saves a read-back frame for a person to look at (build/test-tmp).
void WritePpm(const std::vector<uint32_t>& pixels, const char* path);
