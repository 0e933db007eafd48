// The OpenGL device on Mesa: pixels read back after real draws.
#include <cstdlib>

#include "support/VideoFixture.h"
#include "platform/Win32.h"

namespace {

constexpr uint32_t Blue = 0xFF0000FFu;
constexpr uint32_t Red = 0xFFFF0000u;
constexpr uint32_t Green = 0xFF00FF00u;
constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Black = 0xFF000000u;

TEST_F(VideoTest, ClearedFrameReadsBackTopRowFirst)
{
    Open(true);
    ASSERT_EQ(m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699u, 1.0f, 0), D3D_OK);
    // A rectangle clear with y downward: the top-left block only.
    const int32_t rect[4] = {0, 0, 10, 5};
    ASSERT_EQ(m_Device->Clear(1, rect, D3DCLEAR_TARGET, Red, 1.0f, 0), D3D_OK);
    const std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 0, 0), Red);
    EXPECT_EQ(At(p, 9, 4), Red);
    EXPECT_EQ(At(p, 10, 4), 0xFF336699u);
    EXPECT_EQ(At(p, 9, 5), 0xFF336699u);
    EXPECT_EQ(At(p, 799, 599), 0xFF336699u);
    EXPECT_EQ(At(p, 0, 599), 0xFF336699u);
    // Only the client size reads back.
    std::vector<uint32_t> small(16);
    EXPECT_FALSE(m_Device->ReadPixels(small.data(), 4, 4));
}

TEST_F(VideoTest, PretransformedQuadLandsTexelForTexel)
{
    Open(true);
    std::vector<uint32_t> texels(32 * 32);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            texels[y * 32 + x] = 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | ((x + y) & 1 ? 0xFF : 0x40);
    IDirect3DTexture9* t = MakeTexture(32, 32, texels);
    ASSERT_NE(t, nullptr);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
    DrawTexturedRect(136, 361, 32, 32, t, White);
    const std::vector<uint32_t> p = Read();
    int wrong = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            wrong += At(p, 136 + x, 361 + y) != texels[size_t(y) * 32 + x];
    EXPECT_EQ(wrong, 0);
    for (int y = 361; y <= 392; ++y)
    {
        EXPECT_EQ(At(p, 135, y), Black);
        EXPECT_EQ(At(p, 168, y), Black);
    }
    for (int x = 136; x <= 167; ++x)
    {
        EXPECT_EQ(At(p, x, 360), Black);
        EXPECT_EQ(At(p, x, 393), Black);
    }
    t->Release();
}

TEST_F(VideoTest, AlphaTestDiscardsAlphaZeroPixels)
{
    Open(true);
    // Left half transparent red, right half opaque green.
    std::vector<uint32_t> texels(4 * 4);
    for (int i = 0; i < 16; ++i)
        texels[i] = (i % 4) < 2 ? 0x00FF0000u : Green;
    IDirect3DTexture9* t = MakeTexture(4, 4, texels);
    ASSERT_NE(t, nullptr);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_ALPHAREF, 1);
    m_Device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Blue, 1.0f, 0);
    DrawTexturedRect(100, 100, 40, 40, t, White);
    std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 105, 120), Blue);
    EXPECT_EQ(At(p, 135, 120), Green);

    // Without the test the transparent texels are written as they are.
    m_Device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    DrawTexturedRect(100, 100, 40, 40, t, White);
    p = Read();
    EXPECT_EQ(At(p, 105, 120), Red);

    // The reference is compared on the 0..255 scale: GREATER than 255 keeps nothing.
    m_Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_ALPHAREF, 255);
    m_Device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Blue, 1.0f, 0);
    DrawTexturedRect(100, 100, 40, 40, t, White);
    p = Read();
    EXPECT_EQ(At(p, 135, 120), Blue);
    t->Release();
}

TEST_F(VideoTest, CullingRemovesTheSameWindingAsDirect3D)
{
    Open(true);
    // Clockwise as seen on the screen (y downward), and its mirror.
    const float clockwise[3][2] = {{100, 100}, {200, 100}, {100, 200}};
    const float counter[3][2] = {{300, 100}, {300, 200}, {400, 100}};
    const struct
    {
        DWORD m_Mode;
        bool m_Clockwise, m_Counter;
    } cases[] = {{D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}, {D3DCULL_NONE, true, true}};
    for (const auto& c : cases)
    {
        m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
        ASSERT_EQ(m_Device->SetRenderState(D3DRS_CULLMODE, c.m_Mode), D3D_OK);
        DrawTriangle(clockwise, White);
        DrawTriangle(counter, White);
        const std::vector<uint32_t> p = Read();
        EXPECT_EQ(At(p, 120, 120) == White, c.m_Clockwise) << "cull mode " << c.m_Mode;
        EXPECT_EQ(At(p, 320, 120) == White, c.m_Counter) << "cull mode " << c.m_Mode;
    }
}

TEST_F(VideoTest, DepthRunsZeroToOneAsOnDirect3D)
{
    Open(true);
    m_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    m_Device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    // The cleared depth compares one to one with the vertices' z.
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, 0.3f, 0);
    DrawDepthQuad(-1, -1, 0, 1, 0.2f, Red);     // left half, in front
    DrawDepthQuad(0, -1, 1, 1, 0.4f, Green);    // right half, behind
    std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 200, 300), Red);
    EXPECT_EQ(At(p, 600, 300), Black);

    // In front of the near plane (z < 0) is clipped; z = 0 is drawn.
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, 1.0f, 0);
    DrawDepthQuad(-1, -1, 0, 1, -0.25f, Red);
    DrawDepthQuad(0, -1, 1, 1, 0.0f, Red);
    p = Read();
    EXPECT_EQ(At(p, 200, 300), Black);
    EXPECT_EQ(At(p, 600, 300), Red);

    // Writes are kept: a nearer quad wins, a farther one is hidden.
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, 1.0f, 0);
    DrawDepthQuad(-1, -1, 1, 1, 0.5f, Red);
    DrawDepthQuad(-1, -1, 0, 1, 0.75f, 0xFF800000u);
    DrawDepthQuad(0, -1, 1, 1, 0.25f, 0xFF400000u);
    p = Read();
    EXPECT_EQ(At(p, 200, 300), Red);
    EXPECT_EQ(At(p, 600, 300), 0xFF400000u);

    // With writes off the depth stays as cleared.
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, 1.0f, 0);
    m_Device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawDepthQuad(-1, -1, 1, 1, 0.5f, Red);
    DrawDepthQuad(-1, -1, 1, 1, 0.75f, 0xFF800000u);
    p = Read();
    EXPECT_EQ(At(p, 400, 300), 0xFF800000u);
}

TEST_F(VideoTest, UnboundTextureSamplesOpaqueBlack)
{
    Open(true);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, White, 1.0f, 0);
    DrawTexturedRect(0, 0, 100, 100, nullptr, White);
    std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 50, 50), Black);
    EXPECT_EQ(At(p, 150, 50), White);

    // The fade overlay: black at the colour's alpha over the frame.
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, White, 1.0f, 0);
    DrawTexturedRect(0, 0, 800, 600, nullptr, 0x80000000u);
    p = Read();
    const uint32_t grey = At(p, 400, 300) & 0xFF;
    EXPECT_NEAR(static_cast<int>(grey), 127, 1);
}

TEST_F(VideoTest, ReleasedTextureNoLongerSampled)
{
    Open(true);
    IDirect3DTexture9* t = MakeTexture(1, 1, {Red});
    ASSERT_NE(t, nullptr);
    m_Effect->SetTexture("g_Texture", t);
    t->Release();
    // The effect forgot it: what it samples now is the unbound black.
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, White, 1.0f, 0);
    m_Device->SetVertexDeclaration(m_DeclTColTex);
    m_Effect->SetTechnique("Tex");
    const SVertexTColTex v[4] = {{-0.5f, 9.5f, 0, 1, White, 0, 1},
                                 {-0.5f, -0.5f, 0, 1, White, 0, 0},
                                 {9.5f, 9.5f, 0, 1, White, 1, 1},
                                 {9.5f, -0.5f, 0, 1, White, 1, 0}};
    UINT passes = 0;
    m_Effect->Begin(&passes, 0);
    m_Effect->BeginPass(0);
    m_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SVertexTColTex));
    m_Effect->EndPass();
    m_Effect->End();
    EXPECT_EQ(At(Read(), 5, 5), Black);
}

TEST_F(VideoTest, NonPowerOfTwoSidesScaleUpByNearestTexel)
{
    Open(true);
    const std::vector<uint32_t> rows = {Black, Black, Black, Black, Black, Black,
                                        Black, Black, White, White, White, White};
    IDirect3DTexture9* t = MakeTexture(4, 3, rows);
    ASSERT_NE(t, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(t->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 4u);
    ASSERT_EQ(t->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(t->GetLevelDesc(3, &desc), D3DERR_INVALIDCALL);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    const auto* texels = static_cast<const uint32_t*>(locked.pBits);
    const uint32_t expected[4] = {Black, Black, Black, White};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(texels[y * 4 + x], expected[y]) << x << "," << y;
    t->UnlockRect(0);
    t->Release();

    // Columns too: 5 wide becomes 8 by repeating the nearest column.
    IDirect3DTexture9* wide = MakeTexture(5, 1, {1, 2, 3, 4, 5});
    ASSERT_NE(wide, nullptr);
    ASSERT_EQ(wide->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const auto* w = static_cast<const uint32_t*>(locked.pBits);
    const uint32_t columns[8] = {1, 1, 2, 2, 3, 4, 4, 5};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(w[x], columns[x]) << x;
    wide->Release();

    IDirect3DTexture9* none = nullptr;
    EXPECT_EQ(m_Device->CreateTextureFromArgb(0, 4, rows.data(), &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
}

TEST_F(VideoTest, IndexedDrawsUseTheirVertexRangeAndRefuseBadIndices)
{
    Open(true);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
    // Vertices 2..5 form a quad at 10..20; indices address them from 0.
    const SVertexTCol v[6] = {{0, 0, 0, 1, Red},
                              {0, 0, 0, 1, Red},
                              {9.5f, 9.5f, 0, 1, Green},
                              {19.5f, 9.5f, 0, 1, Green},
                              {9.5f, 19.5f, 0, 1, Green},
                              {19.5f, 19.5f, 0, 1, Green}};
    const uint16_t indices[6] = {2, 3, 4, 4, 3, 5};
    m_Device->SetVertexDeclaration(m_DeclTCol);
    m_Effect->SetTechnique("Col");
    UINT passes = 0;
    m_Effect->Begin(&passes, 0);
    m_Effect->BeginPass(0);
    EXPECT_EQ(m_Device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 2, 4, 2, indices, D3DFMT_INDEX16, v,
                                               sizeof(SVertexTCol)),
              D3D_OK);
    const uint16_t bad[3] = {2, 3, 9};
    EXPECT_EQ(m_Device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 2, 4, 1, bad, D3DFMT_INDEX16, v,
                                               sizeof(SVertexTCol)),
              D3DERR_INVALIDCALL);
    // A stride shorter than the declaration is refused too.
    EXPECT_EQ(m_Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 12), D3DERR_INVALIDCALL);
    m_Effect->EndPass();
    m_Effect->End();
    // Outside a pass there is no program to draw with.
    EXPECT_EQ(m_Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(SVertexTCol)), D3DERR_INVALIDCALL);
    const std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 10, 10), Green);
    EXPECT_EQ(At(p, 19, 19), Green);
    EXPECT_EQ(At(p, 20, 20), Black);
    EXPECT_EQ(At(p, 0, 0), Black);
}

TEST_F(VideoTest, StatesScenesAndCaps)
{
    Open(true);
    DWORD value = 0;
    EXPECT_EQ(m_Device->SetRenderState(D3DRS_ALPHAREF, 7), D3D_OK);
    EXPECT_EQ(m_Device->GetRenderState(D3DRS_ALPHAREF, &value), D3D_OK);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(m_Device->SetRenderState(D3DRS_CULLMODE, 9), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Device->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, D3DCULL_NONE);
    EXPECT_EQ(m_Device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_Device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_Device->EndScene(), D3D_OK);
    EXPECT_EQ(m_Device->EndScene(), D3DERR_INVALIDCALL);
    D3DCAPS9 caps;
    ASSERT_EQ(m_Device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ((caps.PixelShaderVersion >> 8) & 0xFF, 3u);
    EXPECT_EQ(m_Device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(VideoTest, FullScreenRendersOffScreenAndKeepsThePresentedFrame)
{
    Open(false);
    m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
    IDirect3DTexture9* t = MakeTexture(1, 1, {Green});
    DrawTexturedRect(10, 20, 30, 40, t, White);
    EXPECT_EQ(m_Device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const std::vector<uint32_t> p = Read();
    EXPECT_EQ(At(p, 10, 20), Green);
    EXPECT_EQ(At(p, 39, 59), Green);
    EXPECT_EQ(At(p, 40, 59), Black);
    EXPECT_EQ(At(p, 9, 20), Black);
    t->Release();
}

TEST_F(VideoTest, ObjectsOutliveTheirDeviceAndWindowHarmlessly)
{
    Open(true);
    IDirect3DTexture9* t = MakeTexture(2, 2, {Red, Red, Red, Red});
    ASSERT_NE(t, nullptr);
    // The program's order at shutdown: the window goes first (WM_CLOSE), then
    // the device; content is let go of last.
    PostMessageA(m_Window, WM_CLOSE, 0, 0);
    MSG msg;
    bool quit = false;
    for (int i = 0; i < 4 && !quit; ++i)
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            quit = msg.message == WM_QUIT;
            DispatchMessageA(&msg);
        }
    EXPECT_TRUE(quit);
    m_Window = nullptr;
    EXPECT_EQ(m_Device->Present(nullptr, nullptr, nullptr, nullptr), E_FAIL);
    m_Effect->Release();
    m_Effect = nullptr;
    m_Device->Release();
    m_Device = nullptr;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<const uint32_t*>(locked.pBits)[3], Red);
    t->Release();
}

TEST_F(VideoTest, DeviceNeedsItsWindow)
{
    m_D3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(m_D3D, nullptr);
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST(VideoNoDisplay, NothingIsCreatedWithoutAVideoDriver)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
            const bool none = Direct3DCreate9(D3D_SDK_VERSION) == nullptr && GetSystemMetrics(SM_CXSCREEN) == 0;
            std::exit(none ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
