#include <gtest/gtest.h>
#include <cstdlib>
#include <string>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/EffectManager.h"
#include "content/Loading.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"

namespace {

class DemoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
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
    CRecordingDevice* m_Device = nullptr;
};

TEST_F(DemoTest, InitMakesTheCameraCurrentAndRegistersTheStatisticsSwitch)
{
    ASSERT_NE(g_Demo.m_Camera, nullptr);
    EXPECT_EQ(g_Camera, g_Demo.m_Camera);
    EXPECT_FLOAT_EQ(g_Camera->m_Far, 1024.0f);
    EXPECT_NEAR(g_Camera->m_Projection[2][2], -1.000098f, 1e-6f);
    ASSERT_EQ(g_DebugVars.size(), 1u);
    EXPECT_STREQ(g_DebugVars[0]->m_Name, "s_DisplayStats");
    EXPECT_EQ(g_ClearColor, 0u);
}

TEST_F(DemoTest, FrameClearsDepthThenTargetInsideItsScene)
{
    RunFrame(0.0f);
    const auto clears = m_Device->Calls("Clear");
    ASSERT_GE(clears.size(), 2u);
    EXPECT_EQ(clears[0]->m_A, D3DCLEAR_ZBUFFER);
    EXPECT_EQ(clears[1]->m_A, D3DCLEAR_TARGET);
    EXPECT_EQ(clears[1]->m_B, g_ClearColor);
    EXPECT_EQ(m_Device->m_Log.front().m_Name, "BeginScene");
    EXPECT_EQ(m_Device->m_Log.back().m_Name, "EndScene");
}

TEST_F(DemoTest, FailedBeginSceneSkipsTheWholeFrame)
{
    m_Device->m_FailBeginScene = true;
    RunFrame(0.1f);
    EXPECT_EQ(m_Device->Names(), std::vector<std::string>{"BeginScene"});
    EXPECT_TRUE(g_EffectManager.m_Running.empty());
    EXPECT_EQ(g_Demo.m_ScheduleIndex, 0);
}

TEST_F(DemoTest, EscapeHeldQuitsEvenWhileLoading)
{
    RunFrame(0.0f);
    ASSERT_TRUE(IsLoadingActive());
    g_Input.m_Keys[VK_ESCAPE] = 1;
    g_Input.m_PrevKeys[VK_ESCAPE] = 1;  // held, not newly pressed
    RunFrame(0.016f);
    EXPECT_TRUE(g_Quit);
}

TEST_F(DemoTest, FirstFrameStartsTheLoadingScreenAndFadesFromBlack)
{
    RunFrame(0.0f);
    ASSERT_EQ(g_EffectManager.m_Running.size(), 1u);
    EXPECT_EQ(g_EffectManager.m_Running.front()->m_ClassId, 0);
    EXPECT_EQ(g_Demo.m_ScheduleIndex, 1);
    EXPECT_EQ(g_ScreenFade, 255);
}

TEST_F(DemoTest, FadeInFollowsShowTime)
{
    g_Demo.m_ScheduleIndex = 2;  // nothing left to start
    g_Demo.m_ShowTime = 0.0f;
    g_EffectManager.m_Running.push_back(new CEffect);  // keep the show from quitting
    g_EffectManager.m_Running.back()->m_TimeLeft = 1e9f;
    RunFrame(0.0f);
    EXPECT_EQ(g_ScreenFade, 255);
    g_Demo.m_ShowTime = 1.0f;
    RunFrame(0.0f);
    EXPECT_EQ(g_ScreenFade, 121);
    g_Demo.m_ShowTime = 1.91f;
    RunFrame(0.0f);
    EXPECT_EQ(g_ScreenFade, 0);
}

TEST_F(DemoTest, ExhaustedScheduleQuitsOnlyOnceNothingRuns)
{
    g_Demo.m_ScheduleIndex = 2;
    CEffect* last = new CEffect;
    last->m_TimeLeft = 0.05f;
    AddEffect(last);
    RunFrame(0.01f);
    EXPECT_FALSE(g_Quit);
    RunFrame(0.1f);  // the effect ends and is deleted in this frame
    EXPECT_FALSE(g_Quit);
    RunFrame(0.01f);
    EXPECT_TRUE(g_Quit);
}

TEST_F(DemoTest, RestartKeyRemovesEverythingAndStartsAgain)
{
    g_Demo.m_ScheduleIndex = 2;
    g_Demo.m_ShowTime = 30.0f;
    CEffect* running = new CEffect;
    running->m_TimeLeft = 1e9f;
    AddEffect(running);
    g_Input.m_Keys['R'] = 1;
    RunFrame(0.01f);
    EXPECT_TRUE(g_EffectManager.m_Running.empty());
    EXPECT_EQ(g_Demo.m_ScheduleIndex, 0);
    RunFrame(0.01f);  // R still held: no second restart; row 0 starts
    ASSERT_EQ(g_EffectManager.m_Running.size(), 1u);
    EXPECT_EQ(g_EffectManager.m_Running.front()->m_ClassId, 0);
}

TEST(ColorTest, ChannelsAreTruncatedAndPacked)
{
    EXPECT_EQ(CColor(0, 0, 0, 0).m_Value, 0u);
    EXPECT_EQ(CColor(1, 1, 1, 1).m_Value, 0xFFFFFFFFu);
    EXPECT_EQ(CColor(0.5f, 1.0f, 0.25f, 0.0f).m_Value, 0x7FFF3F00u);
}

}  // namespace

TEST_F(DemoTest, AQuestionThatCannotBeShownKeepsTheWindow)
{
    // No display of any kind: SDL has nowhere to put the box.
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    g_Windowed = false;
    EXPECT_TRUE(g_Demo.Configure(nullptr));
    EXPECT_TRUE(g_Windowed);
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
}
