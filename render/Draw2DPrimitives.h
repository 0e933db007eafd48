#pragma once
// What the 2D drawing files of this folder share: the textured vertex and the
// draw that every rectangle ends in. Not for use outside render/.
#include <cstdint>

#include "render/RenderDevice.h"

struct SVertexPosTColTex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

// States, technique and parameters of the built-in 2D effect, then the draw:
// blended or not, and writing depth or not (depth is never written else).
void DrawPrimitives(VertexDecl decl, const char* technique, IDirect3DTexture9* texture, bool setTexture,
                    D3DPRIMITIVETYPE type, UINT count, const void* vertices, unsigned stride, bool blend = true,
                    bool depthWrite = false);
