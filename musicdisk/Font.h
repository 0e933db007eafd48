#pragma once
// The music disk's bitmap font: glyph runs found by scanning a strip image,
// and printf-style text drawn one quad per glyph or measured. All four text
// operations format into the shared g_TextBuffer. Main thread only; not
// re-entrant.
#include <cstddef>
#include <cstdint>

class CTexture;

// The glyph order of the strip, left to right.
extern const char s_Alphabet[40];

class CFont
{
public:
    uint32_t m_GlyphHeight = 0;
    const CTexture* m_StripTexture = nullptr;  // not owned
    float m_Spacing = 0.0f;                    // texels after every character
    float m_SpaceWidth = 0.0f;                 // texels a space advances
    float m_GlyphWidth[256] = {};              // 0 without a glyph
    float m_GlyphU[256] = {};                  // -1 without a glyph

    bool HasGlyph(unsigned char c) const { return m_GlyphU[c] != -1.0f; }
};

constexpr size_t TextBufferSize = 2048;
extern char g_TextBuffer[TextBufferSize];

// Never null. A null or unreadable texture gives a font without glyphs.
CFont* CreateFont(const CTexture* texture, float spacing, float spaceWidth);

// A null font draws nothing and measures 0. Text longer than the buffer is
// cut to its first 2047 characters.
void DrawText(const CFont* font, float x, float y, uint32_t color, float scale, const char* format, ...)
    __attribute__((format(printf, 6, 7)));
float MeasureText(const CFont* font, float scale, const char* format, ...) __attribute__((format(printf, 3, 4)));
void DrawTextFixed(const CFont* font, float x, float y, uint32_t color, float scale, float advance,
                   const char* format, ...) __attribute__((format(printf, 7, 8)));
float MeasureTextFixed(const CFont* font, float scale, float advance, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
