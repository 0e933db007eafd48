// Images drawn square by square: squares of texels all clear left out, all
// opaque drawn without blending, and two layers of a skin drawn around a 3D
// scene so that the scene is shaded only where it shows. Main thread only.
#include "render/DrawTiles.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/AppState.h"
#include "render/Draw2D.h"
#include "render/Draw2DPrimitives.h"
#include "render/RenderDevice.h"
#include "render/Shader.h"

namespace {

// Squares of texels for the tiled drawing of images.

constexpr unsigned AlphaTile = 8;

enum : uint8_t
{
    TileClear,
    TileMixed,
    TileOpaque
};

// The class of every AlphaTile square, row by row; empty when the texels
// cannot be read.
const std::vector<uint8_t>& AlphaTiles(const CTexture* texture)
{
    std::vector<uint8_t>& tiles = texture->m_AlphaTiles;
    if (!tiles.empty() || !texture->IsValid())
        return tiles;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->m_Texture->LockRect(0, &locked, nullptr, 0)) || !locked.pBits)
        return tiles;
    const unsigned w = texture->m_Width, h = texture->m_Height;
    const unsigned cols = (w + AlphaTile - 1) / AlphaTile, rows = (h + AlphaTile - 1) / AlphaTile;
    std::vector<uint8_t> seen(size_t(cols) * rows, 0);  // bit 0: some clear, bit 1: some opaque, bit 2: between
    for (unsigned y = 0; y < h; ++y)
    {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                            size_t(y) * unsigned(locked.Pitch));
        uint8_t* out = &seen[size_t(y / AlphaTile) * cols];
        for (unsigned x = 0; x < w; ++x)
        {
            const uint32_t a = row[x] >> 24;
            out[x / AlphaTile] |= a == 0 ? 1 : a == 255 ? 2 : 4;
        }
    }
    texture->m_Texture->UnlockRect(0);
    tiles.resize(seen.size());
    for (size_t i = 0; i < seen.size(); ++i)
        tiles[i] = seen[i] == 1 ? TileClear : seen[i] == 2 ? TileOpaque : TileMixed;
    return tiles;
}

bool BlendsOver()
{
    // Leaving out and drawing unblended give the same pixels only for
    // "source alpha over".
    DWORD op = 0, src = 0, dst = 0;
    g_Device->GetRenderState(D3DRS_BLENDOP, &op);
    g_Device->GetRenderState(D3DRS_SRCBLEND, &src);
    g_Device->GetRenderState(D3DRS_DESTBLEND, &dst);
    return op == D3DBLENDOP_ADD && src == D3DBLEND_SRCALPHA && dst == D3DBLEND_INVSRCALPHA;
}


// Rectangles of squares: runs along each row of squares, and the same run
// in the rows below it, merged into one rectangle each. `inside(i)` says
// whether square i (row by row) belongs; `emit(c0, c1, r0, r1)` gets each
// rectangle, columns c0..c1 and rows r0..r1, the ends excluded.
template <class FInside, class FEmit>
void MergeTiles(unsigned cols, unsigned rows, FInside inside, FEmit emit)
{
    struct SRun
    {
        unsigned m_C0, m_C1, m_R0;
    };
    static std::vector<SRun> s_Open, s_Next;
    s_Open.clear();
    for (unsigned r = 0; r <= rows; ++r)
    {
        // This row's runs (none past the last row), each continuing an open
        // rectangle of the same columns or opening one.
        s_Next.clear();
        size_t o = 0;
        unsigned start = 0;
        bool in = false;
        for (unsigned c = 0; r < rows && c <= cols; ++c)
        {
            const bool k = c < cols && inside(size_t(r) * cols + c);
            if (k == in)
                continue;
            if (in)
            {
                for (; o < s_Open.size() && s_Open[o].m_C0 < start; ++o)
                    emit(s_Open[o].m_C0, s_Open[o].m_C1, s_Open[o].m_R0, r);
                if (o < s_Open.size() && s_Open[o].m_C0 == start && s_Open[o].m_C1 == c)
                    s_Next.push_back(s_Open[o++]);
                else
                    s_Next.push_back({start, c, r});
            }
            in = k;
            start = c;
        }
        for (; o < s_Open.size(); ++o)
            emit(s_Open[o].m_C0, s_Open[o].m_C1, s_Open[o].m_R0, r);
        std::swap(s_Open, s_Next);
    }
}

unsigned TileCols(const CTexture* texture)
{
    return (texture->m_Width + AlphaTile - 1) / AlphaTile;
}

unsigned TileRows(const CTexture* texture)
{
    return (texture->m_Height + AlphaTile - 1) / AlphaTile;
}

// The merged squares of `texture` at (x, y) as two triangles each, half a
// pixel back as DrawTexturedStrip draws them.
template <class FInside>
void TileTriangles(const CTexture* texture, float x, float y, FInside inside, std::vector<SVertexPosTColTex>& out)
{
    out.clear();
    const float w = static_cast<float>(texture->m_Width), h = static_cast<float>(texture->m_Height);
    MergeTiles(TileCols(texture), TileRows(texture), inside, [&](unsigned c0, unsigned c1, unsigned r0, unsigned r1) {
        const float tx0 = float(c0 * AlphaTile), tx1 = std::min(float(c1 * AlphaTile), w);
        const float ty0 = float(r0 * AlphaTile), ty1 = std::min(float(r1 * AlphaTile), h);
        const float x0 = x + tx0 - 0.5f, x1 = x + tx1 - 0.5f, y0 = y + ty0 - 0.5f, y1 = y + ty1 - 0.5f;
        const float u0 = tx0 / w, u1 = tx1 / w, v0 = ty0 / h, v1 = ty1 / h;
        const uint32_t c = 0xFFFFFFFF;
        const SVertexPosTColTex a{x0, y0, 0.0f, 1.0f, c, u0, v0}, b{x1, y0, 0.0f, 1.0f, c, u1, v0},
            d{x0, y1, 0.0f, 1.0f, c, u0, v1}, e{x1, y1, 0.0f, 1.0f, c, u1, v1};
        out.insert(out.end(), {a, b, d, b, e, d});
    });
}

// The squares merged, drawn in one draw: blended, or not and nearest in depth.
enum class ETileDraw
{
    Blend,
    Replace,
    ReplaceNearest
};

template <class FInside>
void DrawTiles(const CTexture* texture, float x, float y, ETileDraw how, FInside inside)
{
    static std::vector<SVertexPosTColTex> s_Vertices;
    TileTriangles(texture, x, y, inside, s_Vertices);
    if (s_Vertices.empty())
        return;
    DWORD zEnable = 0, zFunc = 0;
    if (how == ETileDraw::ReplaceNearest)
    {
        // Depth 0 wherever the result cannot show what is drawn later beneath
        // it: 3D drawn next fails its depth test there before it is shaded.
        g_Device->GetRenderState(D3DRS_ZENABLE, &zEnable);
        g_Device->GetRenderState(D3DRS_ZFUNC, &zFunc);
        g_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        g_Device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    }
    DrawPrimitives(VD_PosTColTex, "PosColTex2D", texture->m_Texture, true, D3DPT_TRIANGLELIST,
                   UINT(s_Vertices.size() / 3), s_Vertices.data(), sizeof(SVertexPosTColTex),
                   how == ETileDraw::Blend, how == ETileDraw::ReplaceNearest);
    if (how == ETileDraw::ReplaceNearest)
    {
        g_Device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        g_Device->SetRenderState(D3DRS_ZFUNC, zFunc);
        g_Device->SetRenderState(D3DRS_ZENABLE, zEnable);
    }
}

// Whether squares can stand for the whole image: at its own size, on whole
// pixels, its texels readable, blended "over".
bool CanDrawInTiles(const CTexture* texture, float x, float y)
{
    return texture && texture->IsValid() && g_Device && !AlphaTiles(texture).empty() && g_ScaleX == 1.0f &&
           g_ScaleY == 1.0f && x == std::floor(x) && y == std::floor(y) && BlendsOver();
}

void DrawWhole(const CTexture* texture, float x, float y)
{
    if (texture && texture->IsValid())
        DrawTexturedRect(x, y, float(texture->m_Width), float(texture->m_Height), texture, 0xFFFFFFFF, 0xFFFFFFFF,
                         0xFFFFFFFF, 0xFFFFFFFF);
}

// The pixels of the squares on the back buffer where neither layer is
// opaque, and one more on every side to spare; empty if none.
RECT SceneRect(const CTexture* bottom, const CTexture* top, float x, float y)
{
    D3DVIEWPORT9 view{};
    g_Device->GetViewport(&view);
    const unsigned cols = (top->m_Width + AlphaTile - 1) / AlphaTile;
    const unsigned rows = (top->m_Height + AlphaTile - 1) / AlphaTile;
    unsigned c0 = cols, c1 = 0, r0 = rows, r1 = 0;
    for (unsigned r = 0; r < rows; ++r)
        for (unsigned c = 0; c < cols; ++c)
        {
            const float px = x + float(c * AlphaTile), py = y + float(r * AlphaTile);
            if (px >= float(view.Width) || py >= float(view.Height) || px + AlphaTile <= 0.0f ||
                py + AlphaTile <= 0.0f)
                continue;  // covers no pixel of the back buffer
            const size_t i = size_t(r) * cols + c;
            if (bottom->m_AlphaTiles[i] == TileOpaque || top->m_AlphaTiles[i] == TileOpaque)
                continue;
            c0 = std::min(c0, c);
            c1 = std::max(c1, c + 1);
            r0 = std::min(r0, r);
            r1 = std::max(r1, r + 1);
        }
    if (c0 >= c1)
        return RECT{0, 0, 0, 0};
    auto clamp = [](float v, DWORD hi) { return int32_t(std::clamp(v, 0.0f, float(hi))); };
    return RECT{clamp(x + float(c0 * AlphaTile) - 1.0f, view.Width),
                clamp(y + float(r0 * AlphaTile) - 1.0f, view.Height),
                clamp(x + float(c1 * AlphaTile) + 1.0f, view.Width),
                clamp(y + float(r1 * AlphaTile) + 1.0f, view.Height)};
}

// The pixels of the squares where either layer is opaque (and `also` holds),
// merged into rectangles and cut to the back buffer.
template <class FAlso>
void OpaqueRects(const CTexture* bottom, const CTexture* top, float x, float y, FAlso also, std::vector<RECT>& out)
{
    D3DVIEWPORT9 view{};
    g_Device->GetViewport(&view);
    const std::vector<uint8_t>& b = bottom->m_AlphaTiles;
    const std::vector<uint8_t>& t = top->m_AlphaTiles;
    out.clear();
    MergeTiles(TileCols(top), TileRows(top), [&](size_t i) { return (b[i] == TileOpaque || t[i] == TileOpaque) && also(i); },
               [&](unsigned c0, unsigned c1, unsigned r0, unsigned r1) {
                   auto clamp = [](float v, DWORD hi) { return int32_t(std::clamp(v, 0.0f, float(hi))); };
                   const RECT r{clamp(x + float(c0 * AlphaTile), view.Width),
                                clamp(y + float(r0 * AlphaTile), view.Height),
                                clamp(x + float(std::min(c1 * AlphaTile, top->m_Width)), view.Width),
                                clamp(y + float(std::min(r1 * AlphaTile, top->m_Height)), view.Height)};
                   if (r.right > r.left && r.bottom > r.top)
                       out.push_back(r);
               });
}

// The Under pass of the last layers drawn: what it drew never changes, so
// the device keeps it and later frames copy it back instead of drawing it.
struct SKeptLayers
{
    const CTexture* m_Bottom = nullptr;
    const CTexture* m_Top = nullptr;
    float m_X = 0.0f, m_Y = 0.0f;
    D3DVIEWPORT9 m_View{};
    RECT m_Scene{};             // where the scene can show
    std::vector<RECT> m_Rects;  // copied back
    bool m_Kept = false;

    bool Holds(const CTexture* bottom, const CTexture* top, float x, float y, const D3DVIEWPORT9& view) const
    {
        return m_Kept && m_Bottom == bottom && m_Top == top && m_X == x && m_Y == y && m_View.Width == view.Width &&
               m_View.Height == view.Height;
    }
};

SKeptLayers s_Kept;

}  // namespace

void ForgetKeptLayers()
{
    s_Kept = SKeptLayers();
}

bool BlendsSourceOver()
{
    return g_Device && BlendsOver();
}

void DrawImageInTiles(const CTexture* texture, float x, float y, const CTexture* cover)
{
    if (!texture || !texture->IsValid() || !g_Device)
        return;
    if (!CanDrawInTiles(texture, x, y))
    {
        DrawWhole(texture, x, y);
        return;
    }
    const std::vector<uint8_t>& tiles = texture->m_AlphaTiles;
    const std::vector<uint8_t>* hiding = nullptr;
    if (cover && cover->IsValid() && cover->m_Width == texture->m_Width && cover->m_Height == texture->m_Height &&
        !AlphaTiles(cover).empty())
        hiding = &cover->m_AlphaTiles;
    auto seen = [&](size_t i) { return !hiding || (*hiding)[i] != TileOpaque; };
    DrawTiles(texture, x, y, ETileDraw::Replace, [&](size_t i) { return tiles[i] == TileOpaque && seen(i); });
    DrawTiles(texture, x, y, ETileDraw::Blend, [&](size_t i) { return tiles[i] == TileMixed && seen(i); });
    // Blending is left on, as after every rectangle.
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
}

void DrawLayersInTiles(const CTexture* bottom, const CTexture* top, float x, float y, ELayerPass pass)
{
    if (!g_Device)
        return;
    const bool squares = CanDrawInTiles(bottom, x, y) && CanDrawInTiles(top, x, y) &&
                         bottom->m_Width == top->m_Width && bottom->m_Height == top->m_Height;
    if (!squares)
    {
        // Both whole, in order, over whatever the scene drew.
        if (pass == ELayerPass::Over)
        {
            DrawWhole(bottom, x, y);
            DrawWhole(top, x, y);
        }
        return;
    }
    const std::vector<uint8_t>& b = bottom->m_AlphaTiles;
    const std::vector<uint8_t>& t = top->m_AlphaTiles;
    if (pass == ELayerPass::Under)
    {
        // Where either layer's result is opaque the pixel no longer depends
        // on the scene: drawn now, nearest, so the scene is left out there.
        // Those pixels are the same every frame. Away from the scene's
        // rectangle, where the scene is scissored out, their colour alone
        // will do: once drawn it is kept, and copied back in the frames
        // after. Only the squares near the scene are drawn every frame.
        D3DVIEWPORT9 view{};
        g_Device->GetViewport(&view);
        const bool holds = s_Kept.Holds(bottom, top, x, y, view);
        const RECT scene = holds ? s_Kept.m_Scene : SceneRect(bottom, top, x, y);
        const unsigned cols = TileCols(top);
        auto nearScene = [&](size_t i) {
            const float px = x + float(unsigned(i % cols) * AlphaTile), py = y + float(unsigned(i / cols) * AlphaTile);
            return px < float(scene.right) && px + AlphaTile > float(scene.left) && py < float(scene.bottom) &&
                   py + AlphaTile > float(scene.top);
        };
        const bool restored =
            holds && SUCCEEDED(g_Device->RestoreRects(s_Kept.m_Rects.data(), DWORD(s_Kept.m_Rects.size())));
        auto drawn = [&](size_t i) { return !restored || nearScene(i); };
        DrawTiles(bottom, x, y, ETileDraw::ReplaceNearest,
                  [&](size_t i) { return b[i] == TileOpaque && t[i] != TileOpaque && drawn(i); });
        DrawTiles(top, x, y, ETileDraw::ReplaceNearest, [&](size_t i) { return t[i] == TileOpaque && drawn(i); });
        DrawTiles(top, x, y, ETileDraw::Blend,
                  [&](size_t i) { return t[i] == TileMixed && b[i] == TileOpaque && drawn(i); });
        if (!restored)
        {
            s_Kept = SKeptLayers{bottom, top, x, y, view, scene, {}, false};
            OpaqueRects(bottom, top, x, y, [&](size_t i) { return !nearScene(i); }, s_Kept.m_Rects);
            s_Kept.m_Kept = SUCCEEDED(g_Device->KeepRects(s_Kept.m_Rects.data(), DWORD(s_Kept.m_Rects.size())));
        }
        // The scene drawn next is kept to the squares where it can show: the
        // rasteriser then never visits the rest.
        g_Device->SetScissorRect(&scene);
        g_Device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    }
    else
    {
        g_Device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
        DrawTiles(bottom, x, y, ETileDraw::Blend, [&](size_t i) { return b[i] == TileMixed && t[i] != TileOpaque; });
        DrawTiles(top, x, y, ETileDraw::Blend, [&](size_t i) { return t[i] == TileMixed && b[i] != TileOpaque; });
    }
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
}
