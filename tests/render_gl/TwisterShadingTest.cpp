// The blob's colour, pixel by pixel: flat patches of known normal drawn with
// the real "Twister" effect through a camera square to them, read back and
// compared with the shading worked out here from the pixel's row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"

namespace {

struct SPosNorm
{
    float x, y, z, nx, ny, nz;
};

// Two triangles covering x0..x1, -0.5..0.5 in the plane z = 0.
void AddPatch(std::vector<SPosNorm>& v, float x0, float x1, float nx, float ny, float nz)
{
    const SPosNorm a{x0, -0.5f, 0, nx, ny, nz}, b{x1, -0.5f, 0, nx, ny, nz}, c{x1, 0.5f, 0, nx, ny, nz},
        d{x0, 0.5f, 0, nx, ny, nz};
    v.insert(v.end(), {a, b, c, a, c, d});
}

int Channel(uint32_t c, int shift)
{
    return int((c >> shift) & 0xFF);
}

TEST(TwisterShadingTest, StripesLightAndGreenTintMatchTheFormulaPixelForPixel)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    GetShader(220) = LoadShader(220, CFixedString("Data\\Shader.fx"));
    ID3DXEffect* effect = GetShader(220)->m_Effect;
    ASSERT_NE(effect, nullptr);

    // Two units in front of the plane z = 0, looking straight at it: every
    // pixel of the patches lies at clip w = 2.
    CCamera camera(800, 600);
    camera.m_Pos = {0, 0, -2};
    camera.m_Up = {0, 1, 0};
    camera.m_Focus = {0, 0, 0};
    camera.m_Far = 100.0f;
    camera.UpdateView();
    camera.UpdateProjection();
    const float w = 2.0f;

    // Facing up at 0.6 (striped, lit by ld squared) on world x < 0, which the
    // camera shows on the right; facing down at -0.6 (dim, flat) on x > 0.
    std::vector<SPosNorm> vertices;
    AddPatch(vertices, -0.9f, -0.1f, 0.0f, 0.6f, 0.8f);
    AddPatch(vertices, 0.1f, 0.9f, 0.0f, -0.6f, 0.8f);

    g_Device->BeginScene();
    g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    effect->SetMatrix("g_mView", &camera.m_View);
    effect->SetMatrix("g_mProj", &camera.m_Projection);
    g_Device->SetVertexDeclaration(g_VertexDecls[VD_PosNorm]);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    ASSERT_EQ(passes, 1u);
    effect->BeginPass(0);
    g_Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(vertices.size() / 3), vertices.data(), sizeof(SPosNorm));
    effect->EndPass();
    effect->End();
    g_Device->EndScene();
    const auto p = ReadBackBuffer();
    ASSERT_FALSE(p.empty());

    // Columns well inside each patch (x = -0.5 and 0.5 project to 530 and
    // 270), rows well inside both (|y| < 0.19).
    const int upColumn = 530, downColumn = 270;
    int worstUp = 0, worstDown = 0;
    for (int y = 230; y < 370; ++y)
    {
        const double clipY = w * (1.0 - (y + 0.5) * 2.0 / 600.0);
        const double g = 0.3 + (std::sin(clipY * 64.0) + 1.0) * 0.4;
        const double up = g * 0.6 * 0.6;
        const double down = (0.6 * 0.5) * (0.6 * 0.5);
        const uint32_t a = PixelAt(p, upColumn, y), b = PixelAt(p, downColumn, y);
        const int expectUp[3] = {int(std::lround(up * 255)), int(std::lround((up + 0.03) * 255)),
                                 int(std::lround(up * 255))};
        const int expectDown[3] = {int(std::lround(down * 255)), int(std::lround((down + 0.03) * 255)),
                                   int(std::lround(down * 255))};
        for (int k = 0; k < 3; ++k)
        {
            worstUp = std::max(worstUp, std::abs(Channel(a, 16 - 8 * k) - expectUp[k]));
            worstDown = std::max(worstDown, std::abs(Channel(b, 16 - 8 * k) - expectDown[k]));
        }
    }
    // Two levels for the rasteriser's float and rounding; a stripe of the
    // wrong frequency, a linear light or a missing tint is off by eight or more.
    EXPECT_LE(worstUp, 2);
    EXPECT_LE(worstDown, 2);

    CloseRealDevice();
}

}  // namespace
