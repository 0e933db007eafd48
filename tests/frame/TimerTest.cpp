#include <gtest/gtest.h>

#include "app/DebugPanel.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "platform/Win32.h"
#include "support/Globals.h"

namespace {

class TimerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        UseManualClock();
        g_Timer.Reset();
    }
    void TearDown() override { UseRealClock(); }

    // One frame of `ms` real milliseconds, then the end-of-frame snapshot.
    void Frame(long long ms)
    {
        AdvanceManualClock(ms);
        UpdateFrameTime();
        g_Input.Snapshot();
    }
};

TEST_F(TimerTest, DeltaAndShowClockFollowTheCounter)
{
    Frame(16);
    EXPECT_FLOAT_EQ(g_DeltaTime, 0.016f);
    Frame(20);
    EXPECT_FLOAT_EQ(g_DeltaTime, 0.020f);
    EXPECT_NEAR(g_TimeMs, 36.0, 1e-3);
}

TEST_F(TimerTest, FirstFrameRateIsNearZeroThenMeasuredEachSecond)
{
    // g_FPSTime starts at 0 while the absolute time is the counter's own.
    Frame(16);
    EXPECT_LT(g_FPS, 1.0f);
    for (int i = 0; i < 60; ++i)
        Frame(10);  // 0.6 s: no new figure yet
    const float early = g_FPS;
    for (int i = 0; i < 50; ++i)
        Frame(10);
    EXPECT_NE(g_FPS, early);
    EXPECT_NEAR(g_FPS, 100.0f, 2.0f);
}

TEST_F(TimerTest, RightHeldRunsFourTimesFaster)
{
    g_Input.m_Keys[VK_RIGHT] = 1;
    for (int i = 0; i < 100; ++i)
        Frame(10);
    EXPECT_NEAR(g_TimeMs, 4000.0, 0.5);
}

TEST_F(TimerTest, UpPausesAndReleasesTimeButNotTheFrameRate)
{
    g_Input.m_Keys[VK_UP] = 1;
    Frame(10);
    EXPECT_TRUE(g_TimePaused);
    EXPECT_EQ(g_DeltaTime, 0.0f);
    const double frozen = g_TimeMs;
    for (int i = 0; i < 150; ++i)
        Frame(10);  // Up still held: no second toggle
    EXPECT_EQ(g_TimeMs, frozen);
    EXPECT_GT(g_FPS, 50.0f);
    g_Input.m_Keys[VK_UP] = 0;
    Frame(10);
    g_Input.m_Keys[VK_UP] = 1;
    Frame(10);
    EXPECT_FALSE(g_TimePaused);
    Frame(10);
    EXPECT_GT(g_TimeMs, frozen);
}

TEST_F(TimerTest, PanelShownTakesTheArrowsButKeepsAPause)
{
    g_Input.m_Keys[VK_UP] = 1;
    Frame(10);
    ASSERT_TRUE(g_TimePaused);
    g_Input.m_Keys[VK_UP] = 0;
    Frame(10);
    g_DebugPanel = true;
    g_Input.m_Keys[VK_UP] = 1;
    g_Input.m_Keys[VK_RIGHT] = 1;
    Frame(10);
    EXPECT_TRUE(g_TimePaused);
    EXPECT_EQ(g_DeltaTime, 0.0f);
    g_TimePaused = false;
    Frame(10);
    EXPECT_FLOAT_EQ(g_DeltaTime, 0.010f);  // no fast-forward while the panel is shown
}

TEST_F(TimerTest, CounterRunningBackwardsGivesZeroDelta)
{
    Frame(10);
    AdvanceManualClock(-500);
    UpdateFrameTime();
    EXPECT_EQ(g_DeltaTime, 0.0f);
}

TEST_F(TimerTest, ResetZeroesClocksUntilTheNextTick)
{
    Frame(10);
    Frame(10);
    g_Timer.Reset();
    EXPECT_EQ(g_TimeMs, 0.0);
    EXPECT_EQ(g_DeltaTime, 0.0f);
    EXPECT_EQ(g_FrameCount, 0u);
    Frame(25);
    EXPECT_FLOAT_EQ(g_DeltaTime, 0.025f);
    EXPECT_NEAR(g_TimeMs, 25.0, 1e-3);
}

TEST_F(TimerTest, LongStallIsOneLargeDelta)
{
    Frame(5000);
    EXPECT_FLOAT_EQ(g_DeltaTime, 5.0f);
}

}  // namespace
