#pragma once
// The glyph strip: a crisp 8-texel pixel font set texel by texel.
#include <string>

#include "Image.h"

// The strip image, 512 by 8: white glyphs on alpha 0 in the strip's order,
// starting at column 0 with one empty column between glyphs.
CImage BuildFontStrip();
// Scans the strip as the program does; empty string when it reads back as
// designed, otherwise what is wrong.
std::string CheckFontStrip(const CImage& strip);
