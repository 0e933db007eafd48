#pragma once
// The library on its silent output (real time), closed after each test.
#include "support/AudioTestFiles.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

class SilentSoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FSOUND_Test_ForceSilentOutput(true);
        FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr); // stdio
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
        FSOUND_SetSFXMasterVolume(255);
        ASSERT_TRUE(FSOUND_Test_IsSilentOutput());
    }

    void TearDown() override
    {
        FSOUND_Close();
        FSOUND_Test_ForceSilentOutput(false);
        FSOUND_Test_SetSilentSpeed(1.0);
    }
};

// The library on a pulled output, as a recording drives it: nothing is mixed
// but what a test pulls, so what it hears is known sample by sample.
class PulledSoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FSOUND_SetPulledOutput(1);
        FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
        FSOUND_SetSFXMasterVolume(255);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    }
    void TearDown() override
    {
        FSOUND_Close();
        FSOUND_SetPulledOutput(0);
    }
    // The next `frames` stereo frames of the output.
    std::vector<float> Pull(int frames)
    {
        std::vector<float> out(size_t(frames) * 2);
        EXPECT_TRUE(FSOUND_PullOutput(out.data(), frames));
        return out;
    }
    // `blocks` pulls of `frames` each, end to end.
    std::vector<float> PullBlocks(int blocks, int frames)
    {
        std::vector<float> all;
        for (int i = 0; i < blocks; ++i)
        {
            const std::vector<float> block = Pull(frames);
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
};

// Counts end callbacks and notes when the first came.
struct CEndCount
{
    std::atomic<int> m_Count{0};
    std::atomic<double> m_When{0.0};
};

inline signed char CountEnd(FSOUND_STREAM*, void*, int, void* user)
{
    auto* count = static_cast<CEndCount*>(user);
    if (count->m_Count.load() == 0)
        count->m_When.store(NowSeconds());
    count->m_Count.fetch_add(1);
    return 1;
}

// The test module is 16 rows of 60 ms; libopenmpt renders 100 ms of tail
// after the last row before it reports the end.
inline void ExpectSongEndTime(int ms)
{
    EXPECT_GE(ms, 960);
    EXPECT_LE(ms, 1080);
}
