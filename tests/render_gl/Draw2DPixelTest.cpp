// 2D drawing on the real device, checked on the pixels it produces.
#include <gtest/gtest.h>

#include <memory>

#include "content/ResourceManager.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"

namespace {

class Draw2DPixelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        if (!OpenRealDevice())
            GTEST_SKIP() << "no OpenGL 3.3 here";
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
    }
    void TearDown() override
    {
        CloseRealDevice();
        ResetProgramState();
    }
    CTexture* Texture(UINT w, UINT h, const std::vector<uint32_t>& texels)
    {
        auto* t = new CTexture;
        g_Device->CreateTextureFromArgb(w, h, texels.data(), &t->m_Texture);
        D3DSURFACE_DESC desc;
        t->m_Texture->GetLevelDesc(0, &desc);
        t->m_Width = desc.Width;
        t->m_Height = desc.Height;
        m_Owned.emplace_back(t);
        return t;
    }
    std::vector<uint32_t> Frame()
    {
        g_Device->EndScene();
        return ReadBackBuffer();
    }
    std::vector<std::unique_ptr<CTexture>> m_Owned;
};

uint32_t Texel(int x, int y)
{
    // Every texel distinct and opaque.
    return 0xFF000000u | uint32_t(x * 7) << 16 | uint32_t(y * 7) << 8 | uint32_t((x ^ y) * 5);
}

TEST_F(Draw2DPixelTest, TexturedRectLandsTexelForTexel)
{
    std::vector<uint32_t> texels(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            texels[y * 32 + x] = Texel(x, y);
    CTexture* t = Texture(32, 32, texels);
    DrawTexturedRect(136, 361, 32, 32, t, ~0u, ~0u, ~0u, ~0u);
    const auto p = Frame();
    ASSERT_FALSE(p.empty());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(PixelAt(p, 136 + x, 361 + y), Texel(x, y)) << x << "," << y;
    // Nothing around it.
    for (int i = 0; i < 34; ++i)
    {
        EXPECT_EQ(PixelAt(p, 135, 360 + i), 0xFF102030u);
        EXPECT_EQ(PixelAt(p, 168, 360 + i), 0xFF102030u);
        EXPECT_EQ(PixelAt(p, 135 + i, 360), 0xFF102030u);
        EXPECT_EQ(PixelAt(p, 135 + i, 393), 0xFF102030u);
    }
}

TEST_F(Draw2DPixelTest, SubRectangleScaledSixTimesGivesSixPixelBlocks)
{
    // A glyph-like strip: the run at texels 64..65 drawn at scale 6.
    std::vector<uint32_t> texels(512 * 8, 0x00000000);
    for (int y = 0; y < 8; ++y)
        for (int x = 64; x < 66; ++x)
            texels[y * 512 + x] = Texel(x - 64, y);
    CTexture* t = Texture(512, 8, texels);
    g_Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    DrawTexturedRectUV(t, 300, 100, 2 * 6, 8 * 6, 64.0f / 512, 0, 2.0f / 512, 1, 0xFFFFFFFF);
    const auto p = Frame();
    ASSERT_FALSE(p.empty());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(PixelAt(p, 300 + x, 100 + y), Texel(x / 6, y / 6)) << x << "," << y;
    EXPECT_EQ(PixelAt(p, 299, 120), 0xFF102030u);
    EXPECT_EQ(PixelAt(p, 312, 120), 0xFF102030u);
}

TEST_F(Draw2DPixelTest, EqualiserTextureRepeatsEveryThreeRows)
{
    // Rows black, black, white scaled to four rows by nearest texel.
    const std::vector<uint32_t> eq = {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
                                      0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
                                      0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    CTexture* t = Texture(4, 3, eq);
    ASSERT_EQ(t->m_Height, 4u);
    const float h = 12;
    DrawTexturedRectUV(t, 8, 592 - h, 4, h, 0, 0, 1, h / 3, 0xFFFFFFFF);
    const auto p = Frame();
    ASSERT_FALSE(p.empty());
    int white = 0;
    for (int y = 580; y < 592; ++y)
    {
        const uint32_t c = PixelAt(p, 9, y);
        EXPECT_TRUE(c == 0xFFFFFFFFu || c == 0xFF000000u) << y;
        white += c == 0xFFFFFFFFu;
    }
    EXPECT_EQ(white, 4);  // one white row in every three
    EXPECT_EQ(PixelAt(p, 9, 592), 0xFF102030u);
}

TEST_F(Draw2DPixelTest, RectCoversExactlyItsPixels)
{
    DrawRect(10, 20, 30, 40, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000);
    const auto p = Frame();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(PixelAt(p, 10, 20), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(p, 39, 59), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(p, 9, 20), 0xFF102030u);
    EXPECT_EQ(PixelAt(p, 40, 20), 0xFF102030u);
    EXPECT_EQ(PixelAt(p, 10, 19), 0xFF102030u);
    EXPECT_EQ(PixelAt(p, 10, 60), 0xFF102030u);
}

TEST_F(Draw2DPixelTest, FadeOverlayDarkensByItsLevel)
{
    DrawRect(0, 0, 800, 600, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    DrawScreenRect(0, 0, 400, 600, 0x80000000);
    DrawScreenRect(400, 0, 400, 600, 0xFF000000);
    const auto p = Frame();
    ASSERT_FALSE(p.empty());
    const uint32_t half = PixelAt(p, 100, 300);
    EXPECT_NEAR(int(half & 0xFF), 127, 1);
    EXPECT_EQ(half & 0xFF, (half >> 8) & 0xFF);
    EXPECT_EQ(PixelAt(p, 600, 300), 0xFF000000u);
    EXPECT_EQ(PixelAt(p, 0, 0) & 0xFF, half & 0xFF);
    EXPECT_EQ(PixelAt(p, 799, 599), 0xFF000000u);
}

}  // namespace
