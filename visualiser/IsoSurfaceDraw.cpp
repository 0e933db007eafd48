// Drawing the mesh with the "Twister" technique of Shader.fx (resource 220).
// Kept apart from the mesher so that the mesher links without a device.
#include "frame/AppState.h"
#include "content/ResourceIds.h"
#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"
#include "visualiser/IsoSurface.h"

namespace {
constexpr unsigned s_VertexStride = 24;   // position then normal
}

void CIsoSurface::Draw()
{
    if (g_Device == nullptr)
        return;
    g_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    g_Device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);

    CShader* shader = GetShader(ShaderId);
    if (shader == nullptr || shader->m_Effect == nullptr || g_Camera == nullptr)
        return;
    if (m_Vertices.m_Count == 0 || m_Indices.m_Count < 3)
        return;
    ID3DXEffect* effect = shader->m_Effect;
    // The blob is opaque: blended "over", it replaces what is beneath
    // exactly, so it is drawn without the blend's work.
    if (BlendsSourceOver())
        g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    effect->SetMatrix("g_mView", &g_Camera->m_View);
    effect->SetMatrix("g_mProj", &g_Camera->m_Projection);
    g_Device->SetVertexDeclaration(g_VertexDecls[VD_PosNorm]);

    UINT passes = 0;
    effect->Begin(&passes, 0);
    for (UINT pass = 0; pass < passes; ++pass)
    {
        effect->BeginPass(pass);
        g_Device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(m_Vertices.m_Count),
                                         UINT(m_Indices.m_Count / 3), m_Indices.m_Items.get(), D3DFMT_INDEX16,
                                         m_Vertices.m_Items.get(), s_VertexStride);
        effect->EndPass();
    }
    effect->End();
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
}
