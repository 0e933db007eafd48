#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"

namespace {

TEST(DeviceSetupTest, FixedStatesInOrderAndElevenFormats)
{
    ResetProgramState();
    CRecordingDevice* device = InstallRecordingDevice();
    for (auto& decl : g_VertexDecls)
    {
        decl->Release();
        decl = nullptr;
    }
    delete g_Effect2D;
    g_Effect2D = nullptr;
    device->ClearLog();
    SetUpDevice();

    std::vector<std::pair<uint32_t, uint32_t>> states;
    for (const SRecordedCall* c : device->Calls("SetRenderState"))
        states.emplace_back(c->m_A, c->m_B);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {D3DRS_CULLMODE, D3DCULL_CW},       {D3DRS_LIGHTING, 0},          {D3DRS_ZENABLE, D3DZB_TRUE},
        {D3DRS_ALPHATESTENABLE, 1},         {D3DRS_ALPHAREF, 1},          {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
    EXPECT_EQ(states, expected);
    EXPECT_EQ(device->m_States[D3DRS_ALPHABLENDENABLE], 0u);  // blending itself stays off
    for (int i = 0; i < VD_Count; ++i)
        EXPECT_NE(g_VertexDecls[i], nullptr) << i;
    ASSERT_NE(g_Effect2D, nullptr);
    EXPECT_NE(g_Effect2D->m_Effect, nullptr);
    EXPECT_EQ(g_PixelShaderMajor, 3);
    EXPECT_FLOAT_EQ(g_OrthoMatrix[0][0], 2.0f / 800.0f);
    EXPECT_FLOAT_EQ(g_OrthoMatrix[1][1], -2.0f / 600.0f);
    EXPECT_FLOAT_EQ(g_OrthoMatrix[3][0], -1.0f);
    EXPECT_FLOAT_EQ(g_OrthoMatrix[3][1], 1.0f);
    RemoveRecordingDevice();
}

// Hands out recording devices of a given pixel shader version and keeps the
// presentation parameters it was asked for.
class CRecordingD3D : public IDirect3D9
{
public:
    void Release() override {}
    HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override
    {
        m_Params = *params;
        auto* recording = new CRecordingDevice;
        recording->m_PixelShaderMajor = m_PixelShaderMajor;
        *device = recording;
        return D3D_OK;
    }
    D3DPRESENT_PARAMETERS m_Params{};
    int m_PixelShaderMajor = 3;
};

// Opens the device through OpenRenderDevice on a recording Direct3D; what
// it printed on stderr (an unshowable message box says so there).
std::string OpenOnRecordingD3D(CRecordingD3D& d3d)
{
    ResetProgramState();
    WNDCLASSEXA wc;
    wc.cbSize = 48;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Demo";
    RegisterClassExA(&wc);
    g_D3D = &d3d;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(OpenRenderDevice());
    const std::string said = ::testing::internal::GetCapturedStderr();
    ReleaseRenderDevice();
    UnregisterClassA("Demo", nullptr);
    return said;
}

TEST(DeviceSetupTest, VSyncPresentsEveryBlankAndAnOldPixelShaderIsWarnedOf)
{
    // No display: the warning box cannot come up and says so on stderr
    // instead of waiting for a click.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // The window itself, without a display, needs the driver asked for.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    CRecordingD3D d3d;
    g_VSync = true;
    d3d.m_PixelShaderMajor = 2;
    EXPECT_EQ(OpenOnRecordingD3D(d3d).find("message box"), std::string::npos);
    EXPECT_EQ(d3d.m_Params.PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    g_VSync = false;
    d3d.m_PixelShaderMajor = 1;
    EXPECT_NE(OpenOnRecordingD3D(d3d).find("message box"), std::string::npos);
    EXPECT_EQ(d3d.m_Params.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    ResetProgramState();
}

TEST(DeviceSetupTest, StridesMatchTheElementLists)
{
    const unsigned expected[VD_Count] = {12, 16, 20, 20, 24, 24, 28, 28, 36, 24, 32};
    const unsigned typeSize[] = {4, 8, 12, 16, 4};
    for (int i = 0; i < VD_Count; ++i)
    {
        EXPECT_EQ(g_VertexStrides[i], expected[i]) << i;
        unsigned end = 0;
        for (const D3DVERTEXELEMENT9* e = g_VertexElements[i]; e->Stream != 0xFF; ++e)
        {
            EXPECT_EQ(e->Offset, end) << "format " << i << " packs its elements";
            end = e->Offset + typeSize[e->Type];
        }
        EXPECT_EQ(end, expected[i]) << i;
    }
}

TEST(CameraTest, NewCameraHasThePublishedProjectionAndIdentityView)
{
    CCamera camera(800, 600);
    EXPECT_NEAR(camera.m_Projection[0][0], 1.299038f, 1e-6f);
    EXPECT_NEAR(camera.m_Projection[1][1], 1.732051f, 1e-6f);
    EXPECT_NEAR(camera.m_Projection[2][2], -1.000050f, 1e-6f);
    EXPECT_EQ(camera.m_Projection[2][3], -1.0f);
    EXPECT_NEAR(camera.m_Projection[3][2], -0.100005f, 1e-6f);
    EXPECT_EQ(camera.m_Projection[3][3], 0.0f);
    EXPECT_EQ(camera.m_View, D3DXMATRIX(1.0f));
}

TEST(CameraTest, FarPlaneChangesTheDepthRow)
{
    CCamera camera(800, 600);
    camera.m_Far = 1024.0f;
    camera.UpdateProjection();
    EXPECT_NEAR(camera.m_Projection[2][2], -1.000098f, 1e-6f);
    EXPECT_NEAR(camera.m_Projection[3][2], -0.100010f, 1e-6f);
    camera.m_Far = 100.0f;
    camera.UpdateProjection();
    EXPECT_NEAR(camera.m_Projection[2][2], -1.001001f, 1e-6f);
    EXPECT_NEAR(camera.m_Projection[3][2], -0.100100f, 1e-6f);
}

TEST(CameraTest, LookAtAlongZIsATranslation)
{
    CCamera camera(800, 600);
    camera.m_Pos = {0, 0, 5};
    camera.m_Up = {0, 1, 0};
    camera.UpdateView();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_FLOAT_EQ(camera.m_View[r][c], r == c ? 1.0f : 0.0f);
    EXPECT_FLOAT_EQ(camera.m_View[3][0], 0.0f);
    EXPECT_FLOAT_EQ(camera.m_View[3][1], 0.0f);
    EXPECT_FLOAT_EQ(camera.m_View[3][2], -5.0f);
    EXPECT_FLOAT_EQ(camera.m_View[3][3], 1.0f);
}

TEST(CameraTest, DegenerateUpStaysUntilAProperOne)
{
    CCamera camera(800, 600);
    camera.m_Pos = {0, 5, 0};
    camera.m_Up = {0, 1, 0};  // parallel to the viewing direction
    camera.UpdateView();
    // Nothing replaces it: the view keeps its viewing axis and loses its
    // sideways and upward ones.
    EXPECT_EQ(camera.m_Up, D3DXVECTOR3(0, 1, 0));
    for (int r = 0; r < 3; ++r)
    {
        EXPECT_EQ(camera.m_View[r][0], 0.0f) << r;
        EXPECT_EQ(camera.m_View[r][1], 0.0f) << r;
        EXPECT_EQ(camera.m_View[r][2], r == 1 ? 1.0f : 0.0f) << r;
    }
    EXPECT_EQ(camera.m_View[3][2], -5.0f);
    camera.m_Up = {0, 0, 1};
    camera.UpdateView();
    // Right is -x, up is +z, back is +y.
    const float expected[4][4] = {{-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 0, -5, 1}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(camera.m_View[r][c], expected[r][c]) << r << c;
}

}  // namespace
