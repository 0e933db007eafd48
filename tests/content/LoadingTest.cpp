#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/App.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/EffectManager.h"
#include "content/Loading.h"
#include "content/ResourceManager.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"
#include "support/TestEnv.h"

namespace {

class LoadingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        ReleaseResources();
        m_Device = InstallRecordingDevice();
        g_Demo.Init();
    }
    void TearDown() override
    {
        g_Demo.Shutdown();
        RemoveRecordingDevice();
        ResetProgramState();
    }
    void RunFrame(float dt)
    {
        g_DeltaTime = dt;
        g_Demo.Frame();
        g_Input.Snapshot();
    }
    CLoading* Loading()
    {
        return g_EffectManager.m_Running.empty() ? nullptr
                                                 : dynamic_cast<CLoading*>(g_EffectManager.m_Running.front());
    }
    CRecordingDevice* m_Device = nullptr;
};

TEST_F(LoadingTest, PreloadGoesShaderFirstThenImagesInEighths)
{
    float progress = 0.0f;
    EXPECT_FALSE(LoadNextResource(progress));
    EXPECT_EQ(progress, 0.125f);
    ASSERT_NE(GetShader(220), nullptr);
    EXPECT_NE(GetShader(220)->m_Effect, nullptr);
    for (int i = 1; i < 8; ++i)
        EXPECT_FALSE(LoadNextResource(progress));
    EXPECT_EQ(progress, 1.0f);
    EXPECT_TRUE(LoadNextResource(progress));
    EXPECT_TRUE(LoadNextResource(progress));
    EXPECT_EQ(progress, 1.0f);

    for (uint32_t id : {222u, 223u, 224u, 225u, 226u, 227u, 229u})
    {
        ASSERT_NE(GetTexture(id), nullptr) << id;
        EXPECT_TRUE(GetTexture(id)->IsValid()) << id;
    }
    EXPECT_EQ(GetTexture(224)->m_Width, 4u);
    EXPECT_EQ(GetTexture(224)->m_Height, 4u);
    EXPECT_EQ(GetTexture(225)->m_Width, 512u);
    EXPECT_EQ(GetTexture(225)->m_Height, 8u);
    // The loading picture is the loading screen's own, never in the map.
    EXPECT_EQ(GetTexture(228), nullptr);
}

TEST_F(LoadingTest, RowWithIdZeroReadsTheDataFolderRelativeToTheWorkingDirectory)
{
    const std::string dir = MakeTempDir("data-folder");
    std::filesystem::create_directories(dir + "/Data");
    {
        std::ifstream in(std::string(ORBA_SOURCE_DIR) + "/Data/pause.png", std::ios::binary);
        std::ofstream out(dir + "/Data/pause.png", std::ios::binary);
        out << in.rdbuf();
    }
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    CFixedString path(s_DataPath);
    path.Append("pause.png");
    CTexture* fromFile = LoadTexture(0, path);
    CTexture* missing = LoadTexture(0, CFixedString("Data\\nothing.png"));
    std::filesystem::current_path(saved);
    EXPECT_TRUE(fromFile->IsValid());
    EXPECT_EQ(fromFile->m_Width, 32u);
    EXPECT_FALSE(missing->IsValid());
    EXPECT_EQ(missing->m_Width, 0u);
    delete fromFile;
    delete missing;
}

TEST_F(LoadingTest, BrokenImageGivesARecordThatIsNeverDrawn)
{
    CTexture* broken = LoadTexture(0, CFixedString("Data\\does-not-exist.png"));
    m_Device->ClearLog();
    DrawTexturedRect(0, 0, 10, 10, broken, ~0u, ~0u, ~0u, ~0u);
    EXPECT_TRUE(m_Device->Calls("DrawPrimitiveUP").empty());
    delete broken;
}

TEST_F(LoadingTest, LookupOfAnUnloadedIdAddsItsOwnNullEntry)
{
    // Each id gets a slot of its own that stays where it is: what is stored
    // through one lookup is found by the next.
    CTexture*& slot = GetTexture(228);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(&GetTexture(228), &slot);
    EXPECT_NE(&GetTexture(230), &slot);
    CShader*& shader = GetShader(999);
    EXPECT_EQ(shader, nullptr);
    EXPECT_NE(&GetShader(998), &shader);
    CTexture* texture = new CTexture;
    slot = texture;
    EXPECT_EQ(GetTexture(228), texture);
    EXPECT_EQ(GetTexture(230), nullptr);
    ReleaseResources();  // deletes it
}

TEST_F(LoadingTest, ShowOpensFadesLoadsEverySixteenthFrameAndCloses)
{
    RunFrame(0.0f);  // creates the loading screen; its own update keeps the fade at 1
    CLoading* loading = Loading();
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading->m_Fade, 1.0f);
    EXPECT_EQ(g_ScreenFade, 255);
    ASSERT_TRUE(loading->m_Picture->IsValid());
    EXPECT_EQ(loading->m_Picture->m_Width, 1024u);

    RunFrame(0.5f);
    EXPECT_EQ(loading->m_Fade, 0.5f);
    EXPECT_EQ(g_ScreenFade, 127);
    RunFrame(2.0f);  // longer than the rest of the fade: clamped to 0, counted as visible
    EXPECT_EQ(loading->m_Fade, 0.0f);
    EXPECT_EQ(CLoading::s_FrameCount, 1);

    int frames = 1;
    while (!loading->m_Ended && frames < 1000)
    {
        RunFrame(0.016f);
        ++frames;
        if (frames == 64)
        {
            EXPECT_EQ(loading->m_Progress, 0.5f);  // four steps by the 64th visible frame
        }
    }
    EXPECT_EQ(frames, 144);
    EXPECT_EQ(loading->m_Progress, 1.0f);
    EXPECT_EQ(g_Demo.m_ShowTime, 0.0f);  // the show clock stands still while loading

    int closing = 0;
    while (IsLoadingActive() && closing < 100)
    {
        RunFrame(0.25f);
        ++closing;
    }
    EXPECT_EQ(closing, 4);
    EXPECT_EQ(g_ScreenFade, 255);
    // The frame in which the screen queued its own removal still began with
    // it running: no show time passed.
    EXPECT_EQ(g_Demo.m_ShowTime, 0.0f);
    // The next frame starts the music disk's row.
    EXPECT_EQ(g_Demo.m_ScheduleIndex, 1);
}

TEST_F(LoadingTest, RenderClearsWhiteThenPictureThenBar)
{
    RunFrame(0.0f);
    CLoading* loading = Loading();
    ASSERT_NE(loading, nullptr);
    loading->m_Progress = 0.5f;
    m_Device->ClearLog();
    loading->Render();
    const auto clears = m_Device->Calls("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0]->m_A, D3DCLEAR_TARGET);
    EXPECT_EQ(clears[0]->m_B, 0xFFFFFFFFu);
    const auto draws = m_Device->Calls("DrawPrimitiveUP");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->m_Text, "PosColTex2D");
    EXPECT_EQ(VertexFloats(*draws[0], 2)[0], 1023.5f);  // 1024 wide, half-pixel shifted
    EXPECT_EQ(draws[1]->m_Text, "PosCol2D");
    EXPECT_EQ(VertexFloats(*draws[1], 0)[0], 42.0f);
    EXPECT_EQ(VertexFloats(*draws[1], 1)[0], 42.0f + 359.0f);
    EXPECT_EQ(VertexFloats(*draws[1], 2)[1], 527.0f);
    EXPECT_EQ(VertexColor(*draws[1], 0, 16), 0x60FFFFFFu);

    // Full: 718 wide, ending at x 760.
    loading->m_Progress = 1.0f;
    m_Device->ClearLog();
    loading->Render();
    const auto full = m_Device->Calls("DrawPrimitiveUP");
    ASSERT_EQ(full.size(), 2u);
    EXPECT_EQ(VertexFloats(*full[1], 1)[0], 760.0f);
    EXPECT_EQ(VertexFloats(*full[1], 3)[0], 760.0f);
}

TEST_F(LoadingTest, SecondLoadingScreenAfterRestartClosesWithinSixteenFrames)
{
    float progress = 0.0f;
    while (!LoadNextResource(progress))
    {
    }
    CLoading::s_FrameCount = 150;
    RunFrame(0.0f);
    RunFrame(1.0f);  // fully visible: frame 151
    CLoading* loading = Loading();
    ASSERT_NE(loading, nullptr);
    int frames = 1;
    while (!loading->m_Ended && frames < 100)
    {
        RunFrame(0.016f);
        ++frames;
    }
    EXPECT_LE(frames, 16);
    EXPECT_EQ(loading->m_Progress, 0.0f);
}

TEST_F(LoadingTest, LifetimeRunningOutClosesWithoutFinishingThePreload)
{
    CEffect* e = CreateEffect(0, 0, 0.5f);
    AddEffect(e);
    g_Demo.m_ScheduleIndex = 1;
    auto* loading = static_cast<CLoading*>(e);
    RunFrame(0.3f);
    EXPECT_FALSE(loading->m_Ended);
    RunFrame(0.2f);
    EXPECT_TRUE(loading->m_Ended);
    EXPECT_NEAR(loading->m_Fade, 0.9f, 1e-6f);  // closes from where it was
    EXPECT_EQ(loading->m_Progress, 0.0f);
}

}  // namespace
