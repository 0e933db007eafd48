// The debug font of D3DX9.h: fontconfig finds the face, FreeType rasterises
// printable ASCII once into one atlas texture, and DrawTextA draws one quad
// per glyph through the font's own effect. Everything goes through the
// IDirect3DDevice9 interface, so the font works on any device.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/D3DX9.h"

namespace {

const char s_TextEffect[] = R"(
@common
uniform mat4 g_mScreen;
uniform sampler2D g_Atlas;

@vertex VS_Text
layout(location = 0) in vec4 i_Position;
layout(location = 1) in vec4 i_Color;
layout(location = 3) in vec2 i_Tex;
out vec4 v_Color;
out vec2 v_Tex;
void main()
{
    gl_Position = vec4(i_Position.xyz, 1.0) * g_mScreen;
    v_Color = i_Color;
    v_Tex = i_Tex;
}

@pixel PS_Text
in vec4 v_Color;
in vec2 v_Tex;
void main()
{
    o_Color = vec4(v_Color.rgb, v_Color.a * texture(g_Atlas, v_Tex).a);
}

@technique Text
pass p0 VS_Text PS_Text

@sampler g_Atlas point point none clamp clamp
)";

const D3DVERTEXELEMENT9 s_TextElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

struct SVertex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(SVertex) == 28);

struct SGlyph
{
    int m_AtlasX = 0, m_AtlasY = 0;
    int m_Width = 0, m_Height = 0;
    int m_Left = 0, m_Top = 0;  // bitmap offset from the pen, y up
    int m_Advance = 0;
};

constexpr int FirstChar = 32;
constexpr int LastChar = 126;
constexpr int GlyphCount = LastChar - FirstChar + 1;
constexpr int BatchGlyphs = 256;
constexpr int AtlasWidth = 256;

// The states the font changes, restored after every call.
const D3DRENDERSTATETYPE s_SavedStates[] = {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,       D3DRS_DESTBLEND,
                                            D3DRS_BLENDOP,          D3DRS_ZENABLE,        D3DRS_ZWRITEENABLE,
                                            D3DRS_CULLMODE,         D3DRS_ALPHATESTENABLE};
constexpr int SavedCount = sizeof(s_SavedStates) / sizeof(s_SavedStates[0]);

class CDebugFont final : public ID3DXFont
{
public:
    explicit CDebugFont(IDirect3DDevice9* device) : m_Device(device) {}
    void Release() override { delete this; }
    int DrawTextA(void* sprite, const char* text, int count, RECT* rect, DWORD format, D3DCOLOR color) override;

    bool Create(const char* file, int faceIndex, int height);

private:
    ~CDebugFont() override
    {
        if (m_Decl)
            m_Decl->Release();
        if (m_Effect)
            m_Effect->Release();
        if (m_Atlas)
            m_Atlas->Release();
    }
    bool Rasterise(FT_Face face, std::vector<uint32_t>* atlas, int* atlasHeight);
    void Flush(int glyphs);

    IDirect3DDevice9* m_Device;
    IDirect3DTexture9* m_Atlas = nullptr;
    ID3DXEffect* m_Effect = nullptr;
    IDirect3DVertexDeclaration9* m_Decl = nullptr;
    SGlyph m_Glyphs[GlyphCount];
    int m_LineHeight = 0;
    int m_Ascent = 0;
    float m_AtlasW = 1, m_AtlasH = 1;
    SVertex m_Vertices[BatchGlyphs * 6];
};

bool CDebugFont::Rasterise(FT_Face face, std::vector<uint32_t>* atlas, int* atlasHeight)
{
    // Rows of glyphs, one texel apart; first the places, then the pixels.
    int x = 1, y = 1, rowHeight = 0;
    for (int c = FirstChar; c <= LastChar; ++c)
    {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        SGlyph& glyph = m_Glyphs[c - FirstChar];
        glyph.m_Advance = static_cast<int>((g->advance.x + 32) >> 6);
        glyph.m_Width = static_cast<int>(g->bitmap.width);
        glyph.m_Height = static_cast<int>(g->bitmap.rows);
        glyph.m_Left = g->bitmap_left;
        glyph.m_Top = g->bitmap_top;
        if (glyph.m_Width > AtlasWidth - 2 || g->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            glyph.m_Width = glyph.m_Height = 0;
        if (glyph.m_Width == 0 || glyph.m_Height == 0)
            continue;
        if (x + glyph.m_Width + 1 > AtlasWidth)
        {
            x = 1;
            y += rowHeight + 1;
            rowHeight = 0;
        }
        glyph.m_AtlasX = x;
        glyph.m_AtlasY = y;
        x += glyph.m_Width + 1;
        rowHeight = std::max(rowHeight, glyph.m_Height);
        // Grow the atlas (white, alpha = coverage) as rows are added.
        const size_t needRows = size_t(y + glyph.m_Height + 1);
        if (atlas->size() < needRows * AtlasWidth)
            atlas->resize(needRows * AtlasWidth, 0x00FFFFFFu);
        for (int row = 0; row < glyph.m_Height; ++row)
        {
            const unsigned char* src = g->bitmap.buffer + ptrdiff_t(row) * g->bitmap.pitch;
            uint32_t* dst = atlas->data() + size_t(y + row) * AtlasWidth + size_t(glyph.m_AtlasX);
            for (int col = 0; col < glyph.m_Width; ++col)
                dst[col] = (uint32_t(src[col]) << 24) | 0x00FFFFFFu;
        }
    }
    int h = 1;
    while (h < y + rowHeight + 1)
        h <<= 1;
    atlas->resize(size_t(h) * AtlasWidth, 0x00FFFFFFu);
    *atlasHeight = h;
    return true;
}

bool CDebugFont::Create(const char* file, int faceIndex, int height)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    FT_Face face = nullptr;
    bool ok = FT_New_Face(library, file, faceIndex, &face) == 0;
    if (ok)
    {
        // A positive height is the cell (ascent plus descent), as for a
        // Windows font; a negative one the em size.
        FT_Size_RequestRec request{};
        request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
        request.height = static_cast<FT_Long>(std::abs(height)) * 64;
        ok = FT_Request_Size(face, &request) == 0;
    }
    std::vector<uint32_t> atlas;
    int atlasHeight = 0;
    if (ok)
    {
        m_Ascent = static_cast<int>((face->size->metrics.ascender + 32) >> 6);
        m_LineHeight = height > 0 ? height : static_cast<int>((face->size->metrics.height + 32) >> 6);
        ok = Rasterise(face, &atlas, &atlasHeight);
    }
    if (face)
        FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok)
        return false;

    m_AtlasW = static_cast<float>(AtlasWidth);
    m_AtlasH = static_cast<float>(atlasHeight);
    if (FAILED(m_Device->CreateTextureFromArgb(AtlasWidth, static_cast<UINT>(atlasHeight), atlas.data(), &m_Atlas)))
        return false;
    char log[1024];
    if (FAILED(m_Device->CreateEffect(s_TextEffect, sizeof(s_TextEffect) - 1, 0, &m_Effect, log, sizeof(log))))
        return false;
    if (FAILED(m_Device->CreateVertexDeclaration(s_TextElements, &m_Decl)))
        return false;
    m_Effect->SetTexture("g_Atlas", m_Atlas);
    return true;
}

void CDebugFont::Flush(int glyphs)
{
    if (glyphs == 0)
        return;
    UINT passes = 0;
    if (FAILED(m_Effect->Begin(&passes, 0)))
        return;
    for (UINT p = 0; p < passes; ++p)
    {
        m_Effect->BeginPass(p);
        m_Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(glyphs * 2), m_Vertices, sizeof(SVertex));
        m_Effect->EndPass();
    }
    m_Effect->End();
}

int CDebugFont::DrawTextA(void* sprite, const char* text, int count, RECT* rect, DWORD format, D3DCOLOR color)
{
    if (!text || !rect)
        return 0;
    const size_t length = count < 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(count));
    if (length == 0)
        return 0;

    // Pixel coordinates of the client space, y downward.
    int width = 800, height = 600;
    D3DVIEWPORT9 viewport;
    if (m_Device->GetViewport(&viewport) == D3D_OK && viewport.Width > 0 && viewport.Height > 0)
    {
        width = static_cast<int>(viewport.Width);
        height = static_cast<int>(viewport.Height);
    }
    D3DXMATRIX screen;
    D3DXMatrixOrthoOffCenterRH(&screen, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f, 0.0f, 1.0f);

    DWORD saved[SavedCount];
    for (int i = 0; i < SavedCount; ++i)
        m_Device->GetRenderState(s_SavedStates[i], &saved[i]);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_Device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    m_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    m_Device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    m_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_Device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    m_Device->SetVertexDeclaration(m_Decl);
    m_Effect->SetMatrix("g_mScreen", &screen);

    const RECT r = *rect;
    int penX = r.left, penY = r.top, lines = 1, glyphs = 0;
    for (size_t i = 0; i < length; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n')
        {
            penX = r.left;
            penY += m_LineHeight;
            ++lines;
            continue;
        }
        const int index = (c >= FirstChar && c <= LastChar ? c : '?') - FirstChar;
        const SGlyph& g = m_Glyphs[index];
        // The glyph's box, clipped to the rectangle.
        const int x0 = penX + g.m_Left, y0 = penY + m_Ascent - g.m_Top;
        const int cx0 = std::max(x0, r.left), cy0 = std::max(y0, r.top);
        const int cx1 = std::min(x0 + g.m_Width, r.right), cy1 = std::min(y0 + g.m_Height, r.bottom);
        penX += g.m_Advance;
        if (cx1 <= cx0 || cy1 <= cy0)
            continue;
        // Texel-exact: the corners sit on pixel edges (-0.5 in Direct3D's
        // pixel-centre convention).
        const float px0 = cx0 - 0.5f, py0 = cy0 - 0.5f, px1 = cx1 - 0.5f, py1 = cy1 - 0.5f;
        const float u0 = (g.m_AtlasX + (cx0 - x0)) / m_AtlasW, v0 = (g.m_AtlasY + (cy0 - y0)) / m_AtlasH;
        const float u1 = (g.m_AtlasX + (cx1 - x0)) / m_AtlasW, v1 = (g.m_AtlasY + (cy1 - y0)) / m_AtlasH;
        SVertex* v = m_Vertices + glyphs * 6;
        v[0] = {px0, py0, 0.0f, 1.0f, color, u0, v0};
        v[1] = {px1, py0, 0.0f, 1.0f, color, u1, v0};
        v[2] = {px0, py1, 0.0f, 1.0f, color, u0, v1};
        v[3] = v[2];
        v[4] = v[1];
        v[5] = {px1, py1, 0.0f, 1.0f, color, u1, v1};
        if (++glyphs == BatchGlyphs)
        {
            Flush(glyphs);
            glyphs = 0;
        }
    }
    Flush(glyphs);

    for (int i = 0; i < SavedCount; ++i)
        m_Device->SetRenderState(s_SavedStates[i], saved[i]);
    return lines * m_LineHeight;
}

// The face's file through fontconfig, with the weight and slant asked for.
bool FindFace(const char* face, bool bold, bool italic, std::vector<char>* file, int* index)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face && *face ? face : "sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok)
    {
        const size_t n = std::strlen(reinterpret_cast<const char*>(path));
        file->assign(reinterpret_cast<const char*>(path), reinterpret_cast<const char*>(path) + n + 1);
        int i = 0;
        *index = FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch ? i : 0;
    }
    FcPatternDestroy(match);
    return ok;
}

}  // namespace

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                        DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const char* face,
                        ID3DXFont** font)
{
    if (!font)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (!device || height < -1024 || height > 1024)
        return D3DERR_INVALIDCALL;
    std::vector<char> file;
    int index = 0;
    if (!FindFace(face, weight >= 600, italic != FALSE, &file, &index))
        return E_FAIL;
    auto* f = new CDebugFont(device);
    if (!f->Create(file.data(), index, height != 0 ? height : 16))
    {
        f->Release();
        return E_FAIL;
    }
    *font = f;
    return D3D_OK;
}
