// Modules on the real sound library: a 4-channel MOD written byte by byte.
#include "support/SoundFixture.h"

#include <algorithm>
#include <cmath>

namespace
{
float DrainPeak()
{
    float peak = 0;
    std::vector<float> block(4096 * 2);
    while (int n = FSOUND_Test_ReadOutput(block.data(), 4096))
        for (int i = 0; i < n * 2; ++i)
            peak = std::max(peak, std::fabs(block[i]));
    return peak;
}
}

TEST_F(SilentSoundTest, ModulePlaysReportsItsTimeAndEndsWhenNotLooping)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(FMUSIC_IsFinished(module));
    EXPECT_EQ(FMUSIC_GetTime(module), 0);
    FSOUND_Test_CaptureOutput(44100 * 2);
    ASSERT_TRUE(FMUSIC_PlaySong(module));
    FMUSIC_SetLooping(module, 0);
    SleepMs(300);
    int time = FMUSIC_GetTime(module);
    EXPECT_GT(time, 200);
    EXPECT_LT(time, 450);
    EXPECT_FALSE(FMUSIC_IsFinished(module));
    // 16 rows of 60 ms.
    ASSERT_TRUE(WaitFor([&] { return FMUSIC_IsFinished(module) != 0; }, 3.0));
    ExpectSongEndTime(FMUSIC_GetTime(module));
    // The square wave was heard.
    EXPECT_GT(DrainPeak(), 0.05f);
    FMUSIC_StopSong(module);
    EXPECT_TRUE(FMUSIC_IsFinished(module));
    EXPECT_TRUE(FMUSIC_FreeSong(module));
}

TEST_F(SilentSoundTest, LoopingModulePlaysOnPastItsEnd)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FSOUND_Test_CaptureOutput(44100 * 2);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 1);
    SleepMs(1400);
    EXPECT_FALSE(FMUSIC_IsFinished(module));
    EXPECT_GT(FMUSIC_GetTime(module), 1200);
    DrainPeak();
    SleepMs(100);
    EXPECT_GT(DrainPeak(), 0.05f); // still sounding on the second pass
    FMUSIC_StopSong(module);
    FMUSIC_FreeSong(module);
}

TEST_F(SilentSoundTest, PausedModuleHoldsItsTimeAndResumesInPlace)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 1);
    SleepMs(300);
    FMUSIC_SetPaused(module, 1);
    SleepMs(30);
    int paused = FMUSIC_GetTime(module);
    FSOUND_Test_CaptureOutput(44100);
    SleepMs(200);
    EXPECT_EQ(FMUSIC_GetTime(module), paused);
    EXPECT_EQ(DrainPeak(), 0.0f);
    EXPECT_FALSE(FMUSIC_IsFinished(module));
    FMUSIC_SetPaused(module, 0);
    SleepMs(200);
    EXPECT_NEAR(FMUSIC_GetTime(module), paused + 200, 60);
    FMUSIC_StopSong(module);
    FMUSIC_FreeSong(module);
}

TEST_F(SilentSoundTest, PlayingAModuleAgainStartsItOver)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 0);
    ASSERT_TRUE(WaitFor([&] { return FMUSIC_IsFinished(module) != 0; }, 3.0));
    FMUSIC_PlaySong(module);
    EXPECT_FALSE(FMUSIC_IsFinished(module));
    EXPECT_LT(FMUSIC_GetTime(module), 100);
    ASSERT_TRUE(WaitFor([&] { return FMUSIC_IsFinished(module) != 0; }, 3.0));
    ExpectSongEndTime(FMUSIC_GetTime(module));
    FMUSIC_FreeSong(module);
}
