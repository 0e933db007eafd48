#include "render/Draw2D.h"
#include "render/Draw2DPrimitives.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/AppState.h"
#include "render/Shader.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"

SVertexPosCol g_LineVertices[MaxLineVertices];
int g_LineVertexCount = 0;
D3DXMATRIX g_ModelMatrix{1.0f};

namespace {

struct SVertexPosTCol
{
    float x, y, z, rhw;
    uint32_t color;
};

ID3DXEffect* Effect2D()
{
    return g_Effect2D ? g_Effect2D->m_Effect : nullptr;
}

void DrawStrip(VertexDecl decl, const char* technique, IDirect3DTexture9* texture, bool setTexture,
               const void* vertices, unsigned stride)
{
    DrawPrimitives(decl, technique, texture, setTexture, D3DPT_TRIANGLESTRIP, 2, vertices, stride);
}

void DrawTexturedStrip(const CTexture* texture, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
                       float v1, uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3)
{
    // A texture that failed to load is never drawn as if it were valid.
    if (!texture || !texture->IsValid())
        return;
    // Direct3D 9 puts pixel centres on integer coordinates: half a pixel back
    // keeps texel centres on pixel centres.
    x0 -= 0.5f;
    y0 -= 0.5f;
    x1 -= 0.5f;
    y1 -= 0.5f;
    const SVertexPosTColTex v[4] = {
        {x0, y1, 0.0f, 1.0f, c0, u0, v1},
        {x0, y0, 0.0f, 1.0f, c1, u0, v0},
        {x1, y1, 0.0f, 1.0f, c2, u1, v1},
        {x1, y0, 0.0f, 1.0f, c3, u1, v0},
    };
    DrawStrip(VD_PosTColTex, "PosColTex2D", texture->m_Texture, true, v, sizeof(SVertexPosTColTex));
}

}  // namespace

// Shared tail of every rectangle: states, technique, parameters, the draw.
void DrawPrimitives(VertexDecl decl, const char* technique, IDirect3DTexture9* texture, bool setTexture,
                    D3DPRIMITIVETYPE type, UINT count, const void* vertices, unsigned stride, bool blend,
                    bool depthWrite)
{
    ID3DXEffect* effect = Effect2D();
    if (!g_Device || !effect)
        return;
    g_Device->SetVertexDeclaration(g_VertexDecls[decl]);
    g_Device->SetRenderState(D3DRS_ZWRITEENABLE, depthWrite ? TRUE : FALSE);
    g_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? TRUE : FALSE);
    effect->SetTechnique(technique);
    if (setTexture)
        effect->SetTexture("g_Texture", texture);
    effect->SetMatrix("g_OrthogonalMatrix", &g_OrthoMatrix);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    for (UINT p = 0; p < passes; ++p)
    {
        effect->BeginPass(p);
        g_Device->DrawPrimitiveUP(type, count, vertices, stride);
        effect->EndPass();
    }
    effect->End();
}

void DrawRect(float x, float y, float w, float h, uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3)
{
    const float x0 = x * g_ScaleX, y0 = y * g_ScaleY;
    const float x1 = x0 + w * g_ScaleX, y1 = y0 + h * g_ScaleY;
    const SVertexPosTCol v[4] = {
        {x0, y0, 0.0f, 1.0f, c0},
        {x1, y0, 0.0f, 1.0f, c1},
        {x0, y1, 0.0f, 1.0f, c2},
        {x1, y1, 0.0f, 1.0f, c3},
    };
    DrawStrip(VD_PosTCol, "PosCol2D", nullptr, false, v, sizeof(SVertexPosTCol));
}

void DrawTexturedRect(float x, float y, float w, float h, const CTexture* texture, uint32_t c0, uint32_t c1,
                      uint32_t c2, uint32_t c3)
{
    const float x0 = x * g_ScaleX, y0 = y * g_ScaleY;
    DrawTexturedStrip(texture, x0, y0, x0 + w * g_ScaleX, y0 + h * g_ScaleY, 0.0f, 0.0f, 1.0f, 1.0f, c0, c1, c2, c3);
}

void DrawTexturedRectUV(const CTexture* texture, float x, float y, float w, float h, float u, float v, float du,
                        float dv, uint32_t color)
{
    const float x0 = x * g_ScaleX, y0 = y * g_ScaleY;
    DrawTexturedStrip(texture, x0, y0, x0 + w * g_ScaleX, y0 + h * g_ScaleY, u, v, u + du, v + dv, color, color,
                      color, color);
}

void DrawTexturedRectsUV(const CTexture* texture, const STexturedRect* rects, int count, uint32_t color)
{
    if (!texture || !texture->IsValid() || count <= 0)
        return;
    static std::vector<SVertexPosTColTex> s_Vertices;
    s_Vertices.clear();
    for (int i = 0; i < count; ++i)
    {
        const STexturedRect& r = rects[i];
        // The corners of DrawTexturedStrip, its two triangles in the order
        // the strip makes them.
        const float left = r.x * g_ScaleX, top = r.y * g_ScaleY;
        const float x0 = left - 0.5f, y0 = top - 0.5f;
        const float x1 = left + r.w * g_ScaleX - 0.5f, y1 = top + r.h * g_ScaleY - 0.5f;
        const float u1 = r.u + r.du, v1 = r.v + r.dv;
        const SVertexPosTColTex a{x0, y1, 0.0f, 1.0f, color, r.u, v1}, b{x0, y0, 0.0f, 1.0f, color, r.u, r.v},
            c{x1, y1, 0.0f, 1.0f, color, u1, v1}, d{x1, y0, 0.0f, 1.0f, color, u1, r.v};
        s_Vertices.insert(s_Vertices.end(), {a, b, c, c, b, d});
    }
    DrawPrimitives(VD_PosTColTex, "PosColTex2D", texture->m_Texture, true, D3DPT_TRIANGLELIST,
                   UINT(s_Vertices.size() / 3), s_Vertices.data(), sizeof(SVertexPosTColTex));
}

void DrawScreenRect(float x, float y, float w, float h, uint32_t color)
{
    const float x0 = x - 0.5f, y0 = y - 0.5f, x1 = x + w - 0.5f, y1 = y + h - 0.5f;
    const SVertexPosTColTex v[4] = {
        {x0, y1, 0.0f, 1.0f, color, 0.0f, 1.0f},
        {x0, y0, 0.0f, 1.0f, color, 0.0f, 0.0f},
        {x1, y1, 0.0f, 1.0f, color, 1.0f, 1.0f},
        {x1, y0, 0.0f, 1.0f, color, 1.0f, 0.0f},
    };
    // No texture: the sample is opaque black, so this darkens by the alpha.
    DrawStrip(VD_PosTColTex, "PosColTex2D", nullptr, true, v, sizeof(SVertexPosTColTex));
}

bool AddLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, uint32_t color)
{
    // Whole lines only: a full batch drops the line rather than half of it.
    if (g_LineVertexCount + 2 > MaxLineVertices)
        return false;
    g_LineVertices[g_LineVertexCount++] = {from.x, from.y, from.z, color};
    g_LineVertices[g_LineVertexCount++] = {to.x, to.y, to.z, color};
    return true;
}

void FlushLines()
{
    if (g_LineVertexCount < 2)
        return;
    ID3DXEffect* effect = Effect2D();
    if (g_Device && effect && g_Camera)
    {
        g_Device->SetRenderState(D3DRS_ZENABLE, TRUE);
        g_Device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        g_Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_Device->SetVertexDeclaration(g_VertexDecls[VD_PosCol]);
        effect->SetMatrix("g_mModel", &g_ModelMatrix);
        effect->SetMatrix("g_mModelView", &g_Camera->m_View);
        effect->SetMatrix("g_mProj", &g_Camera->m_Projection);
        effect->SetTechnique("RenderLine");
        UINT passes = 0;
        effect->Begin(&passes, 0);
        for (UINT p = 0; p < passes; ++p)
        {
            effect->BeginPass(p);
            g_Device->DrawPrimitiveUP(D3DPT_LINELIST, static_cast<UINT>(g_LineVertexCount / 2), g_LineVertices,
                                      sizeof(SVertexPosCol));
            effect->EndPass();
        }
        effect->End();
    }
    g_LineVertexCount = 0;
}
