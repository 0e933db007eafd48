// One frame of the metaball blob through the player's camera, on Mesa.
#include <gtest/gtest.h>

#include <cmath>

#include "app/App.h"
#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"
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
    const std::vector<float> spectrum(512, 1.0f / 32);  // every band sums to 1: strength 3
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
    WritePpm(p, (MakeTempDir("blob") + "/blob.ppm").c_str());

    // The blob shows through the window region of the skin (rows 62..359).
    int inWindow = 0, brightest = 0;
    for (int y = 62; y < 360; ++y)
        for (int x = 0; x < 800; ++x)
            if (Grey(PixelAt(p, x, y)) > 10)
                ++inWindow;
    for (uint32_t c : p)
        brightest = std::max(brightest, Grey(c));
    EXPECT_GT(inWindow, 20000);
    EXPECT_GT(brightest, 150);  // surfaces facing up are lit

    // Stripes that follow the screen: somewhere down a column the brightness
    // rises and falls many times over.
    int mostTurns = 0;
    for (int x = 100; x < 700; x += 10)
    {
        int turns = 0, last = 0;
        for (int y = 1; y < 600; ++y)
        {
            const int d = Grey(PixelAt(p, x, y)) - Grey(PixelAt(p, x, y - 1));
            if (std::abs(d) < 3)
                continue;
            if (last != 0 && (d > 0) != (last > 0))
                ++turns;
            last = d;
        }
        mostTurns = std::max(mostTurns, turns);
    }
    EXPECT_GE(mostTurns, 8);

    // Undersides are dim and unstriped: the lowest pixel of the blob in each
    // column faces down and reads at most a quarter grey plus the green tint.
    int columns = 0, dimBottoms = 0;
    for (int x = 0; x < 800; ++x)
    {
        int bottom = -1;
        for (int y = 599; y >= 0 && bottom < 0; --y)
            if (PixelAt(p, x, y) != 0xFF000000u)
                bottom = y;
        if (bottom < 0)
            continue;
        ++columns;
        dimBottoms += Grey(PixelAt(p, x, bottom)) < 75;
    }
    ASSERT_GT(columns, 200);
    EXPECT_GT(dimBottoms, columns * 9 / 10);
    // A touch of green: no pixel has more red than green.
    for (uint32_t c : p)
        ASSERT_GE(int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));

    g_Camera = nullptr;
    delete iso;
    CloseRealDevice();
}

}  // namespace
