// The debug font drawn on the real device.
#include "support/VideoFixture.h"

namespace {

ID3DXFont* CreateArialBold(IDirect3DDevice9* device)
{
    ID3DXFont* font = nullptr;
    EXPECT_EQ(D3DXCreateFontA(device, 24, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, "Arial", &font),
              D3D_OK);
    return font;
}

TEST_F(VideoTest, DebugFontDrawsInsideItsRectangleOnly)
{
    Open(true);
    ID3DXFont* font = CreateArialBold(m_Device);
    ASSERT_NE(font, nullptr);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    // The rectangle cuts the second line through the middle.
    RECT rect = {100, 100, 180, 136};
    const int height = font->DrawTextA(nullptr, "Hello World\nSecond line", -1, &rect, 0, 0xFFFFFF00u);
    EXPECT_EQ(height, 48);
    const std::vector<uint32_t> p = Read();
    int inside = 0, outside = 0, firstLine = 0, secondLine = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
        {
            const uint32_t c = At(p, x, y);
            if (c == 0xFF000000u)
                continue;
            const bool in = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
            (in ? inside : outside) += 1;
            if (in && y < 124)
                ++firstLine;
            if (in && y >= 124)
                ++secondLine;
            // The colour is applied: yellow at any coverage, never blue.
            EXPECT_EQ(c & 0xFF, 0u);
        }
    EXPECT_GT(firstLine, 100);
    EXPECT_GT(secondLine, 10);
    EXPECT_EQ(outside, 0);
    font->Release();
}

TEST_F(VideoTest, DebugFontLeavesTheDeviceStatesAsFound)
{
    Open(true);
    ID3DXFont* font = CreateArialBold(m_Device);
    ASSERT_NE(font, nullptr);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    m_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    RECT rect = {0, 0, 800, 600};
    EXPECT_EQ(font->DrawTextA(nullptr, "abc", 2, &rect, 0, 0xFFFFFFFFu), 24);
    DWORD v = 0;
    m_Device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, 0u);
    m_Device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, D3DCULL_CW);
    m_Device->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, D3DZB_TRUE);
    EXPECT_EQ(font->DrawTextA(nullptr, "", -1, &rect, 0, 0xFFFFFFFFu), 0);
    EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &rect, 0, 0xFFFFFFFFu), 0);
    font->Release();
}

}  // namespace
