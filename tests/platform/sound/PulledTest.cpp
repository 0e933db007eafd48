// The pulled output a recording drives: exact samples from the first pulled
// frame, ends raised within the pull that reached them, time and spectrum
// that follow the pulls and not the wall clock.
#include "support/AudioTestFiles.h"
#include "support/SoundFixture.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace
{
std::atomic<int> g_PulledEnds{0};

signed char CountPulledEnd(FSOUND_STREAM*, void*, int, void*)
{
    g_PulledEnds.fetch_add(1);
    return 1;
}

FSOUND_STREAM* Start(const std::string& path)
{
    g_PulledEnds.store(0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    if (stream)
    {
        FSOUND_Stream_SetLoopCount(stream, 0);
        FSOUND_Stream_SetEndCallback(stream, CountPulledEnd, nullptr);
        FSOUND_Stream_Play(0, stream);
    }
    return stream;
}
}

TEST_F(PulledSoundTest, PullsGiveTheDecodedSamplesFromTheFirstFrameAndRaiseTheEndAtOnce)
{
    const std::string path = TestFile("tone44.wav").m_Path;  // 66150 frames
    const std::vector<float> expected = DecodeAll(path);
    ASSERT_EQ(expected.size(), 66150u * 2);
    ASSERT_NE(Start(path), nullptr);
    // 735 frames a pull (60 frames a second): the end falls inside pull 90.
    std::vector<float> pulled;
    std::vector<float> block(735 * 2);
    int endPull = -1;
    for (int pull = 0; pull < 100; ++pull)
    {
        ASSERT_TRUE(FSOUND_PullOutput(block.data(), 735));
        pulled.insert(pulled.end(), block.begin(), block.end());
        if (endPull < 0 && g_PulledEnds.load() > 0)
            endPull = pull;
    }
    EXPECT_EQ(endPull, 66150 / 735 - 1 + (66150 % 735 != 0 ? 1 : 0));
    ASSERT_GE(pulled.size(), expected.size());
    // Full volume is a gain of 1: the file itself, from output frame 0 on.
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(pulled[i], expected[i]) << "sample " << i;
    for (size_t i = expected.size(); i < pulled.size(); ++i)
        ASSERT_EQ(pulled[i], 0.0f) << "after the end, sample " << i;
}

TEST_F(PulledSoundTest, TimeAndSpectrumFollowThePullsNotTheClock)
{
    FSOUND_STREAM* stream = Start(TestFile("sine_bin23.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    // Nothing pulled: nothing heard, however long one waits.
    SleepMs(100);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    float* spectrum = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(*std::max_element(spectrum, spectrum + 512), 0.0f);

    std::vector<float> block(22050 * 2);
    ASSERT_TRUE(FSOUND_PullOutput(block.data(), 22050));
    // Heard is exactly what was pulled, at once.
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 500);
    spectrum = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(std::max_element(spectrum, spectrum + 512) - spectrum, 23);
    SleepMs(100);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 500);
}

TEST_F(PulledSoundTest, PullingRefusesNonsense)
{
    std::vector<float> block(16);
    EXPECT_FALSE(FSOUND_PullOutput(nullptr, 8));
    EXPECT_FALSE(FSOUND_PullOutput(block.data(), -1));
    EXPECT_TRUE(FSOUND_PullOutput(block.data(), 0));
}
