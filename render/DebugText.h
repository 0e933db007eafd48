#pragma once
// The debug font (a D3DX font, "Arial" bold at 24 virtual pixels) and text
// drawn with it in virtual coordinates. Main thread only.
#include <cstdint>

struct CFontHolder;

CFontHolder* CreateDebugFont();
void DrawDebugText(float x, float y, uint32_t color, const char* format, ...) __attribute__((format(printf, 4, 5)));
