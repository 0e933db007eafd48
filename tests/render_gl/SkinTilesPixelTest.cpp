// The skin drawn square by square gives the same frame, pixel for pixel, as
// the skin drawn as two whole rectangles over a frame with the blob (blended,
// as it once was) and a gradient under it: drawn over the blob, and drawn
// around it (its opaque part first, the blob then shaded only where it shows;
// drawn once, then kept on the device and copied back);
// and a made-up image whose squares are of every kind.
#include <gtest/gtest.h>

#include "app/App.h"
#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/Draw2D.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

// The blob as it was drawn before it knew itself opaque: blended "over".
void DrawBlobBlended(const CIsoSurface& iso)
{
    ID3DXEffect* effect = GetShader(220)->m_Effect;
    effect->SetMatrix("g_mView", &g_Camera->m_View);
    effect->SetMatrix("g_mProj", &g_Camera->m_Projection);
    g_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    g_Device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_Device->SetVertexDeclaration(g_VertexDecls[VD_PosNorm]);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    g_Device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(iso.VertexCount()), UINT(iso.IndexCount() / 3),
                                     iso.Indices(), D3DFMT_INDEX16, iso.Vertices(), 24);
    effect->EndPass();
    effect->End();
}

// A gradient over the whole frame at the far depth, behind the blob, as 3D
// would be: where the skin drawn around the scene lets it show, it must
// show. (The 2D matrix is right-handed: depth is -z.)
void DrawGradientAtDepth()
{
    struct SVertex
    {
        float x, y, z, rhw;
        uint32_t color;
    };
    const SVertex v[4] = {{-0.5f, -0.5f, -1.0f, 1, 0xFF20E040}, {799.5f, -0.5f, -1.0f, 1, 0xFFE02080},
                          {-0.5f, 599.5f, -1.0f, 1, 0xFF4080E0}, {799.5f, 599.5f, -1.0f, 1, 0xFFC0C020}};
    ID3DXEffect* effect = g_Effect2D->m_Effect;
    g_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    g_Device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    g_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_Device->SetVertexDeclaration(g_VertexDecls[VD_PosTCol]);
    effect->SetTechnique("PosCol2D");
    effect->SetMatrix("g_OrthogonalMatrix", &g_OrthoMatrix);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    g_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SVertex));
    effect->EndPass();
    effect->End();
}

enum class ESkin
{
    Whole,
    SquaresOver,
    SquaresAround
};

TEST(SkinTilesPixelTest, SquareBySquareEqualsWholeRectangles)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    float progress = 0.0f;
    while (!LoadNextResource(progress))
    {
    }
    const CTexture* overlay = GetTexture(222);
    const CTexture* interface = GetTexture(223);
    ASSERT_TRUE(overlay && overlay->IsValid() && interface && interface->IsValid());

    CCamera camera(800, 600);
    camera.m_Pos = {0.3f, -0.4f, -2};
    camera.m_Up = {0, 1, 0};
    camera.m_Focus = {0.1f, -0.7f, 0.2f};
    camera.m_Far = 100.0f;
    camera.UpdateView();
    camera.UpdateProjection();
    g_Camera = &camera;
    auto* iso = new CIsoSurface(100.0f);
    CBall* balls[16];
    for (auto& b : balls)
        b = iso->AddBall();
    const std::vector<float> spectrum(512, 1.0f / 32);
    ComputeBallStrengths(spectrum.data(), balls);
    ComputeBallPaths(4321.0, balls);
    iso->BuildMesh();

    // Squares all clear, all opaque, opaque but for one texel at 254, clear
    // but for one texel at 1, and smooth, each colour distinct.
    std::vector<uint32_t> texels(64 * 64);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
        {
            const uint32_t kind = (x / 8 + y / 8) % 5;
            uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? (x % 8 == 3 && y % 8 == 5 ? 254 : 255)
                       : kind == 3 ? (x % 8 == 6 && y % 8 == 1 ? 1 : 0) : (x * 4 + y) & 0xFF;
            texels[y * 64 + x] = a << 24 | (x * 4) << 16 | (y * 4) << 8 | ((x ^ y) * 4 & 0xFF);
        }
    CTexture probe;
    g_Device->CreateTextureFromArgb(64, 64, texels.data(), &probe.m_Texture);
    probe.m_Width = probe.m_Height = 64;

    auto frame = [&](ESkin skin) {
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        // Every pixel under the skin different, so that a square left out
        // or drawn unblended where it should blend shows, and a scene cut
        // short too.
        switch (skin)
        {
        case ESkin::Whole:
            DrawGradientAtDepth();
            DrawBlobBlended(*iso);
            DrawTexturedRect(0, 0, 1024, 1024, overlay, ~0u, ~0u, ~0u, ~0u);
            DrawTexturedRect(0, 0, 1024, 1024, interface, ~0u, ~0u, ~0u, ~0u);
            DrawTexturedRect(96, 120, 64, 64, &probe, ~0u, ~0u, ~0u, ~0u);
            break;
        case ESkin::SquaresOver:
            DrawGradientAtDepth();
            iso->Draw();
            DrawImageInTiles(overlay, 0.0f, 0.0f, interface);
            DrawImageInTiles(interface, 0.0f, 0.0f, nullptr);
            DrawImageInTiles(&probe, 96.0f, 120.0f, nullptr);
            break;
        case ESkin::SquaresAround:
            DrawLayersInTiles(overlay, interface, 0.0f, 0.0f, ELayerPass::Under);
            DrawGradientAtDepth();
            iso->Draw();
            DrawLayersInTiles(overlay, interface, 0.0f, 0.0f, ELayerPass::Over);
            DrawImageInTiles(&probe, 96.0f, 120.0f, nullptr);
            break;
        }
        // What follows the skin finds blending on, as before.
        DWORD blend = 0;
        g_Device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        EXPECT_EQ(blend, DWORD(TRUE));
        g_Device->EndScene();
        return ReadBackBuffer();
    };
    const std::vector<uint32_t> whole = frame(ESkin::Whole);
    ASSERT_EQ(whole.size(), 800u * 600u);
    // Around twice: the second frame copies back what the first kept.
    for (ESkin skin : {ESkin::SquaresOver, ESkin::SquaresAround, ESkin::SquaresAround})
    {
        const std::vector<uint32_t> squares = frame(skin);
        ASSERT_EQ(squares.size(), whole.size());
        int differing = 0;
        for (size_t i = 0; i < whole.size(); ++i)
            differing += whole[i] != squares[i];
        if (differing)
        {
            const std::string dir = MakeTempDir("skin-tiles");
            WritePpm(whole, (dir + "/whole.ppm").c_str());
            WritePpm(squares, (dir + "/squares.ppm").c_str());
        }
        EXPECT_EQ(differing, 0) << "skin drawn " << (skin == ESkin::SquaresOver ? "over" : "around") << " the blob";
    }

    g_Camera = nullptr;
    delete iso;
    CloseRealDevice();
}

}  // namespace
