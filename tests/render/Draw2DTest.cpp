#include <gtest/gtest.h>

#include "app/App.h"
#include "content/ResourceManager.h"
#include "render/Camera.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"

namespace {

class Draw2DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        m_Device = InstallRecordingDevice();
        const uint32_t texels[4] = {0xFF000000, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00};
        m_Texture.m_Width = 2;
        m_Texture.m_Height = 2;
        m_Device->CreateTextureFromArgb(2, 2, texels, &m_Texture.m_Texture);
        m_Device->ClearLog();
    }
    void TearDown() override
    {
        RemoveRecordingDevice();
        ResetProgramState();
    }
    const SRecordedCall& OnlyDraw()
    {
        auto draws = m_Device->Calls("DrawPrimitiveUP");
        EXPECT_EQ(draws.size(), 1u);
        return *draws.at(0);
    }
    void ExpectCorner(const SRecordedCall& d, int v, float x, float y)
    {
        EXPECT_FLOAT_EQ(VertexFloats(d, v)[0], x) << "vertex " << v;
        EXPECT_FLOAT_EQ(VertexFloats(d, v)[1], y) << "vertex " << v;
        EXPECT_EQ(VertexFloats(d, v)[2], 0.0f);
        EXPECT_EQ(VertexFloats(d, v)[3], 1.0f);
    }
    CRecordingDevice* m_Device = nullptr;
    CTexture m_Texture;
};

TEST_F(Draw2DTest, RectIsAStripOfItsFourCornersWithoutHalfPixel)
{
    DrawRect(10, 20, 30, 40, 1, 2, 3, 4);
    const SRecordedCall& d = OnlyDraw();
    EXPECT_EQ(d.m_A, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(d.m_B, 2u);
    EXPECT_EQ(d.m_C, 20u);
    EXPECT_EQ(d.m_Text, "PosCol2D");
    EXPECT_EQ(d.m_Pointer, g_VertexDecls[VD_PosTCol]);
    ExpectCorner(d, 0, 10, 20);
    ExpectCorner(d, 1, 40, 20);
    ExpectCorner(d, 2, 10, 60);
    ExpectCorner(d, 3, 40, 60);
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(VertexColor(d, v, 16), uint32_t(v + 1));
}

TEST_F(Draw2DTest, TexturedRectShiftsHalfAPixelAndMapsTheWholeTexture)
{
    DrawTexturedRect(10, 20, 30, 40, &m_Texture, 1, 2, 3, 4);
    const SRecordedCall& d = OnlyDraw();
    EXPECT_EQ(d.m_C, 28u);
    EXPECT_EQ(d.m_Text, "PosColTex2D");
    EXPECT_EQ(d.m_Pointer, g_VertexDecls[VD_PosTColTex]);
    const float expected[4][4] = {{9.5f, 59.5f, 0, 1}, {9.5f, 19.5f, 0, 0}, {39.5f, 59.5f, 1, 1}, {39.5f, 19.5f, 1, 0}};
    for (int v = 0; v < 4; ++v)
    {
        ExpectCorner(d, v, expected[v][0], expected[v][1]);
        EXPECT_EQ(VertexColor(d, v, 16), uint32_t(v + 1));
        EXPECT_EQ(VertexFloats(d, v)[5], expected[v][2]);
        EXPECT_EQ(VertexFloats(d, v)[6], expected[v][3]);
    }
    const auto textures = m_Device->Calls("SetTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->m_Pointer, m_Texture.m_Texture);
}

TEST_F(Draw2DTest, SubRectangleMapsItsCorners)
{
    DrawTexturedRectUV(&m_Texture, 0, 0, 8, 8, 0.25f, 0.0f, 0.125f, 1.0f, 0xFFFFFFFF);
    const SRecordedCall& d = OnlyDraw();
    EXPECT_EQ(VertexFloats(d, 1)[5], 0.25f);   // top-left
    EXPECT_EQ(VertexFloats(d, 1)[6], 0.0f);
    EXPECT_EQ(VertexFloats(d, 2)[5], 0.375f);  // bottom-right
    EXPECT_EQ(VertexFloats(d, 2)[6], 1.0f);
}

TEST_F(Draw2DTest, ScreenRectIgnoresTheScaleAndBindsNoTexture)
{
    const float savedX = g_ScaleX, savedY = g_ScaleY;
    g_ScaleX = 2.0f;
    g_ScaleY = 0.5f;
    DrawScreenRect(0, 0, g_ScreenWidth, g_ScreenHeight, 0x80000000);
    g_ScaleX = savedX;
    g_ScaleY = savedY;
    const SRecordedCall& d = OnlyDraw();
    ExpectCorner(d, 2, g_ScreenWidth - 0.5f, g_ScreenHeight - 0.5f);
    const auto textures = m_Device->Calls("SetTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->m_Pointer, nullptr);
}

TEST_F(Draw2DTest, RectanglesSetTheirStatesAndLeaveThemSet)
{
    DrawRect(0, 0, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(m_Device->m_States[D3DRS_ZWRITEENABLE], 0u);
    EXPECT_EQ(m_Device->m_States[D3DRS_CULLMODE], D3DCULL_NONE);
    EXPECT_EQ(m_Device->m_States[D3DRS_ALPHABLENDENABLE], 1u);
    const auto names = m_Device->Names();
    const std::vector<std::string> expected = {"SetVertexDeclaration", "SetRenderState", "SetRenderState",
                                               "SetRenderState",       "SetTechnique",   "SetMatrix",
                                               "Begin",                "BeginPass",      "DrawPrimitiveUP",
                                               "EndPass",              "End"};
    EXPECT_EQ(names, expected);
}

TEST_F(Draw2DTest, InvalidTextureIsNotDrawn)
{
    CTexture empty;
    DrawTexturedRect(0, 0, 10, 10, &empty, 0, 0, 0, 0);
    DrawTexturedRectUV(nullptr, 0, 0, 10, 10, 0, 0, 1, 1, 0);
    EXPECT_TRUE(m_Device->Calls("DrawPrimitiveUP").empty());
}

TEST_F(Draw2DTest, NullEffectDrawsNothing)
{
    delete g_Effect2D;
    g_Effect2D = new CShader;
    DrawRect(0, 0, 10, 10, 0, 0, 0, 0);
    EXPECT_TRUE(m_Device->Calls("DrawPrimitiveUP").empty());
}

TEST_F(Draw2DTest, FlushLinesDrawsWholeLinesAndEmptiesTheBatch)
{
    CCamera camera(800, 600);
    g_Camera = &camera;
    g_LineVertexCount = 1;
    FlushLines();
    EXPECT_EQ(g_LineVertexCount, 1);
    EXPECT_TRUE(m_Device->Calls("DrawPrimitiveUP").empty());
    g_LineVertexCount = 5;
    FlushLines();
    g_Camera = nullptr;
    const SRecordedCall& d = OnlyDraw();
    EXPECT_EQ(d.m_A, D3DPT_LINELIST);
    EXPECT_EQ(d.m_B, 2u);
    EXPECT_EQ(d.m_C, 16u);
    EXPECT_EQ(d.m_Text, "RenderLine");
    EXPECT_EQ(g_LineVertexCount, 0);
}

TEST_F(Draw2DTest, AddLineRefusesWhenFull)
{
    g_LineVertexCount = MaxLineVertices - 1;
    EXPECT_FALSE(AddLine({0, 0, 0}, {1, 1, 1}, 0));
    EXPECT_EQ(g_LineVertexCount, MaxLineVertices - 1);
    g_LineVertexCount = 0;
    EXPECT_TRUE(AddLine({0, 0, 0}, {1, 1, 1}, 0xFFFF0000));
    EXPECT_EQ(g_LineVertexCount, 2);
    g_LineVertexCount = 0;
}

TEST_F(Draw2DTest, PresentDrawsTheFadeOnlyWhenNotZero)
{
    g_ScreenFade = 0;
    PresentFrame();
    EXPECT_EQ(m_Device->Names(), std::vector<std::string>{"Present"});
    m_Device->ClearLog();
    g_ScreenFade = 255;
    PresentFrame();
    const SRecordedCall& d = OnlyDraw();
    EXPECT_EQ(VertexColor(d, 0, 16), 0xFF000000u);
    EXPECT_EQ(m_Device->m_Log.front().m_Name, "BeginScene");
    EXPECT_EQ(m_Device->m_Log.back().m_Name, "Present");
}

}  // namespace
