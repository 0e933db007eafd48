#include "musicdisk/Font.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "content/ResourceManager.h"
#include "render/Draw2D.h"

const char s_Alphabet[40] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!.0123456789:";
char g_TextBuffer[TextBufferSize];

namespace {

constexpr int GlyphCount = 39;

// True when any texel of column x has a non-zero alpha.
bool ColumnFilled(const uint8_t* bits, int pitch, uint32_t x, uint32_t height)
{
    for (uint32_t y = 0; y < height; ++y)
    {
        const auto* row = reinterpret_cast<const uint32_t*>(bits + static_cast<ptrdiff_t>(y) * pitch);
        if (row[x] & 0xFF000000u)
            return true;
    }
    return false;
}

void ScanStrip(CFont* font, const CTexture* texture)
{
    IDirect3DTexture9* surface = texture->m_Texture;
    // Scan no further than what level 0 really holds, whatever the record says.
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetLevelDesc(0, &desc)))
        return;
    const uint32_t width = std::min<uint32_t>(texture->m_Width, desc.Width);
    const uint32_t height = std::min<uint32_t>(texture->m_Height, desc.Height);
    D3DLOCKED_RECT locked;
    if (FAILED(surface->LockRect(0, &locked, nullptr, 0)))
        return;
    if (!locked.pBits || locked.Pitch < static_cast<int>(width * 4))
    {
        surface->UnlockRect(0);
        return;
    }
    const auto* bits = static_cast<const uint8_t*>(locked.pBits);
    const float textureWidth = static_cast<float>(texture->m_Width);
    int glyph = 0;
    bool inside = false;
    uint32_t start = 0;
    for (uint32_t x = 0; x < width && glyph < GlyphCount; ++x)
    {
        const bool filled = ColumnFilled(bits, locked.Pitch, x, height);
        if (filled && !inside)
        {
            start = x;
            inside = true;
        }
        else if (!filled && inside)
        {
            // Runs are matched to the alphabet by order alone.
            const auto c = static_cast<unsigned char>(s_Alphabet[glyph]);
            font->m_GlyphWidth[c] = static_cast<float>(x - start);
            font->m_GlyphU[c] = static_cast<float>(start) / textureWidth;
            ++glyph;
            inside = false;
        }
    }
    surface->UnlockRect(0);
}

// The pen walk shared by the four operations. Draws when `draw`, all glyphs
// in one draw (in order, so overlaps blend as glyph after glyph); returns the
// largest pen x reached after any character, relative to x.
float WalkText(const CFont* font, float x, float y, uint32_t color, float scale, bool fixed, float advance, bool draw)
{
    const float height = static_cast<float>(font->m_GlyphHeight) * scale;
    const float textureWidth = font->m_StripTexture ? static_cast<float>(font->m_StripTexture->m_Width) : 0.0f;
    static std::vector<STexturedRect> s_Glyphs;
    s_Glyphs.clear();
    float penX = x, penY = y;
    float widest = 0.0f;
    for (const char* p = g_TextBuffer; *p; ++p)
    {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '\n')
        {
            penX = x;
            penY += height;
        }
        else if (c == ' ')
        {
            penX += (fixed ? advance : font->m_SpaceWidth) * scale;
        }
        else if (font->HasGlyph(c))
        {
            const float w = font->m_GlyphWidth[c];
            if (draw)
                s_Glyphs.push_back({penX, penY, w * scale, height, font->m_GlyphU[c], 0.0f, w / textureWidth, 1.0f});
            penX += (fixed ? advance : w) * scale;
        }
        penX += font->m_Spacing * scale;
        widest = std::max(widest, penX - x);
    }
    if (!s_Glyphs.empty())
        DrawTexturedRectsUV(font->m_StripTexture, s_Glyphs.data(), int(s_Glyphs.size()), color);
    return widest;
}

}  // namespace

CFont* CreateFont(const CTexture* texture, float spacing, float spaceWidth)
{
    CFont* font = new CFont;
    font->m_Spacing = spacing;
    font->m_SpaceWidth = spaceWidth;
    font->m_GlyphHeight = texture ? texture->m_Height : 0;
    font->m_StripTexture = texture;
    std::fill(std::begin(font->m_GlyphWidth), std::end(font->m_GlyphWidth), 0.0f);
    std::fill(std::begin(font->m_GlyphU), std::end(font->m_GlyphU), -1.0f);
    if (texture && texture->IsValid() && texture->m_Width > 0 && texture->m_Height > 0)
        ScanStrip(font, texture);
    return font;
}

// vsnprintf cuts an over-long text at the buffer's end and always terminates.
#define FORMAT_TEXT(format)                                          \
    do                                                               \
    {                                                                \
        va_list args;                                                \
        va_start(args, format);                                      \
        std::vsnprintf(g_TextBuffer, sizeof(g_TextBuffer), format, args); \
        va_end(args);                                                \
    } while (0)

void DrawText(const CFont* font, float x, float y, uint32_t color, float scale, const char* format, ...)
{
    if (!font)
        return;
    FORMAT_TEXT(format);
    WalkText(font, x, y, color, scale, false, 0.0f, true);
}

float MeasureText(const CFont* font, float scale, const char* format, ...)
{
    if (!font)
        return 0.0f;
    FORMAT_TEXT(format);
    return WalkText(font, 0.0f, 0.0f, 0, scale, false, 0.0f, false);
}

void DrawTextFixed(const CFont* font, float x, float y, uint32_t color, float scale, float advance,
                   const char* format, ...)
{
    if (!font)
        return;
    FORMAT_TEXT(format);
    WalkText(font, x, y, color, scale, true, advance, true);
}

float MeasureTextFixed(const CFont* font, float scale, float advance, const char* format, ...)
{
    if (!font)
        return 0.0f;
    FORMAT_TEXT(format);
    return WalkText(font, 0.0f, 0.0f, 0, scale, true, advance, false);
}
