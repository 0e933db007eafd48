#pragma once
// Glyph strips built in the tests, in the form of font.png: white runs on
// transparent texels, one run per glyph of the alphabet.
#include <memory>
#include <vector>

#include "content/ResourceManager.h"

// Widths of the shipped strip's 39 glyphs, in alphabet order.
std::vector<int> ShippedWidths();

// A strip `width` texels wide and 8 tall with runs of `widths` from column
// `first`, `gap` empty columns apart. Each column lights one texel only, on
// a row that changes from column to column, so that every row is scanned.
std::unique_ptr<CTexture> MakeStrip(const std::vector<int>& widths, int first = 0, int gap = 1,
                                    unsigned width = 512);

// A plain opaque white image of the given size.
std::unique_ptr<CTexture> MakeImage(unsigned width, unsigned height);
