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
void DrawScreenRect(float x, float y, float w, float h, uint32_t color);
// Appends one line; false (and nothing added) when the batch is full.
bool AddLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, uint32_t color);
void FlushLines();
