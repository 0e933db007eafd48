// One frame of the metaball blob through the player's camera, on Mesa.
#include <gtest/gtest.h>

#include <cmath>

#include "app/App.h"
#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

int Grey(uint32_t c)
{
    return int(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
}

TEST(BlobRenderTest, BlobShowsStripesAndDarkUndersidesInTheWindow)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    GetShader(220) = LoadShader(220, CFixedString("Data\\Shader.fx"));
    ASSERT_NE(GetShader(220)->m_Effect, nullptr);

    // The player's camera at show time 0: 2 units in front, looking a little down.
    CCamera camera(800, 600);
    camera.m_Pos = {0, 0, -2};
    camera.m_Up = {0, 1, 0};
    camera.m_Focus = {0, -0.7f, 0};
    camera.m_Far = 100.0f;
    camera.UpdateView();
    camera.UpdateProjection();
    g_Camera = &camera;

    auto* iso = new CIsoSurface(100.0f);
    CBall* balls[16];
    for (auto& b : balls)
        b = iso->AddBall();
    const std::vector<float> spectrum(512, 4.0f / 32);  // every band sums to 4: strength 6
    ComputeBallStrengths(spectrum.data(), balls);
    ComputeBallPaths(0.0, balls);
    iso->BuildMesh();
    ASSERT_GT(iso->VertexCount(), 1000);

    g_Device->BeginScene();
    g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    iso->Draw();
    g_Device->EndScene();
    const auto p = ReadBackBuffer();
    ASSERT_FALSE(p.empty());

    // Lit pixels stay inside the window region of the skin.
    int lit = 0, top = 600, bottom = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (Grey(PixelAt(p, x, y)) > 40)
            {
                ++lit;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(lit, 5000);
    EXPECT_GE(top, 62);
    EXPECT_LE(bottom, 420);

    // Stripes: down the middle of the blob the brightness rises and falls
    // many times over (a period of a few pixels on screen).
    int turns = 0, last = 0;
    for (int y = top + 1; y < top + (bottom - top) / 2; ++y)
    {
        const int d = Grey(PixelAt(p, 400, y)) - Grey(PixelAt(p, 400, y - 1));
        if (d != 0 && last != 0 && (d > 0) != (last > 0))
            ++turns;
        if (d != 0)
            last = d;
    }
    EXPECT_GE(turns, 6);

    // Undersides are dim: the lower edge of the blob is darker than its upper half.
    long upper = 0, lower = 0;
    int nu = 0, nl = 0;
    const int mid = (top + bottom) / 2;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < 800; ++x)
        {
            const uint32_t c = PixelAt(p, x, y);
            if (c == 0xFF000000u)
                continue;
            if (y < mid)
                upper += Grey(c), ++nu;
            else if (y > bottom - (bottom - top) / 6)
                lower += Grey(c), ++nl;
        }
    ASSERT_GT(nu, 0);
    ASSERT_GT(nl, 0);
    EXPECT_LT(double(lower) / nl, 0.6 * double(upper) / nu);
    // A touch of green everywhere the mesh is.
    const uint32_t c = PixelAt(p, 400, (top + bottom) / 2);
    EXPECT_GE(int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));

    g_Camera = nullptr;
    delete iso;
    CloseRealDevice();
}

}  // namespace
