// The equaliser's 94 bars in one draw give the same pixels as 94 draws of one
// rectangle each, with the shipped bar texture over a gradient.
#include <gtest/gtest.h>

#include "content/ResourceManager.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"

namespace {

TEST(EqualiserBatchPixelTest, OneDrawEqualsOneDrawPerBar)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    float progress = 0.0f;
    while (!LoadNextResource(progress))
    {
    }
    const CTexture* bar = GetTexture(224);
    ASSERT_TRUE(bar && bar->IsValid());
    // Every height from 3 to 162 in some bar, as the player draws them.
    std::vector<STexturedRect> rects;
    float x = 8.0f;
    for (int k = 0; k < 47; ++k, x += 5.0f)
    {
        const float h = float(3 * (1 + (k * 13) % 54));
        rects.push_back({x, 592 - h, 4, h, 0, 0, 1, h / 3});
        rects.push_back({800 - x - 5, 592 - h, 4, h, 0, 0, 1, h / 3});
    }
    auto frame = [&](bool batched) {
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        DrawRect(0, 0, 800, 600, 0xFF20E040, 0xFFE02080, 0xFF4080E0, 0xFFC0C020);
        if (batched)
            DrawTexturedRectsUV(bar, rects.data(), int(rects.size()), 0xFFFFFFFF);
        else
            for (const STexturedRect& r : rects)
                DrawTexturedRectUV(bar, r.x, r.y, r.w, r.h, r.u, r.v, r.du, r.dv, 0xFFFFFFFF);
        g_Device->EndScene();
        return ReadBackBuffer();
    };
    const std::vector<uint32_t> single = frame(false);
    const std::vector<uint32_t> batched = frame(true);
    ASSERT_EQ(single.size(), 800u * 600u);
    ASSERT_EQ(batched.size(), single.size());
    int differing = 0, changed = 0;
    for (size_t i = 0; i < single.size(); ++i)
        differing += single[i] != batched[i];
    // The bars are there at all: the gradient shows through nowhere in them.
    for (int y = 430; y < 592; ++y)
        changed += PixelAt(single, 8 + 5 * 46, y) != PixelAt(single, 8 + 5 * 46 + 4, y);
    EXPECT_GT(changed, 0);
    EXPECT_EQ(differing, 0);
    CloseRealDevice();
}

}  // namespace
