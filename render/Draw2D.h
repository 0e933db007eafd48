#pragma once
// Rectangles in virtual coordinates through the built-in 2D effect, the
// fade rectangle in pixels, and the batch of 3D lines. Main thread only.
#include <cstdint>

#include "platform/D3DX9.h"

class CTexture;

struct SVertexPosCol
{
    float x, y, z;
    uint32_t color;
};

constexpr int MaxLineVertices = 8192;
extern SVertexPosCol g_LineVertices[MaxLineVertices];
extern int g_LineVertexCount;
extern D3DXMATRIX g_ModelMatrix;

void DrawRect(float x, float y, float w, float h, uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3);
void DrawTexturedRect(float x, float y, float w, float h, const CTexture* texture, uint32_t c0, uint32_t c1,
                      uint32_t c2, uint32_t c3);
void DrawTexturedRectUV(const CTexture* texture, float x, float y, float w, float h, float u, float v, float du,
                        float dv, uint32_t color);
// Rectangles of one texture in one draw, each as DrawTexturedRectUV draws it.
struct STexturedRect
{
    float x, y, w, h, u, v, du, dv;
};
void DrawTexturedRectsUV(const CTexture* texture, const STexturedRect* rects, int count, uint32_t color);
// The texture at its own size at (x, y) in white: the same pixels as
// DrawTexturedRect, for less work. Squares of texels all transparent are left
// out (blending would keep what is under them), squares all opaque are drawn
// without blending, and squares that `cover` (the same size, drawn next at the
// same place) hides entirely are left out. Scaled or between pixels it is one
// rectangle as DrawTexturedRect.
void DrawImageInTiles(const CTexture* texture, float x, float y, const CTexture* cover);
// Two images of one size, `top` over `bottom`, at (x, y), around a scene that
// goes beneath them: Under before the scene, Over after it, give the pixels of
// the scene followed by both images whole. Under draws the squares whose
// result is opaque whatever lies beneath, at depth 0, so that the scene's 3D
// fails its depth test there and is never shaded, and scissors what follows to
// the rectangle where the scene can show; Over ends the scissor and blends the
// rest.
// Where squares cannot stand for the images (see above), Over draws both
// whole and Under draws nothing.
enum class ELayerPass
{
    Under,
    Over
};
void DrawLayersInTiles(const CTexture* bottom, const CTexture* top, float x, float y, ELayerPass pass);
// Whether the blend state is "source alpha over", under which an opaque
// source replaces what is there exactly.
bool BlendsSourceOver();
void DrawScreenRect(float x, float y, float w, float h, uint32_t color);
// Appends one line; false (and nothing added) when the batch is full.
bool AddLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, uint32_t color);
void FlushLines();
