// The real SDL output: the disk driver's bytes, device loss, no device.
#include "support/AudioTestFiles.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace
{
class SdlOutputTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        FSOUND_Close();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
};

std::atomic<int> g_Ends{0};

signed char CountEnd(FSOUND_STREAM*, void*, int, void*)
{
    g_Ends.fetch_add(1);
    return 1;
}

FSOUND_STREAM* PlayOnce(const std::string& path)
{
    g_Ends.store(0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    if (stream)
    {
        FSOUND_Stream_SetLoopCount(stream, 0);
        FSOUND_Stream_Play(0, stream);
        FSOUND_Stream_SetEndCallback(stream, CountEnd, nullptr);
    }
    return stream;
}

double ProcessCpuSeconds()
{
    timespec ts = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}
}

TEST_F(SdlOutputTest, DiskDriverWritesExactlyTheDecodedSamples)
{
    std::string out = MakeTempDir("audio-disk") + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_FALSE(FSOUND_Test_IsSilentOutput());
    FSOUND_SetSFXMasterVolume(255);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    std::string path = TestFile("tone44.wav").m_Path; // 440 Hz, 1.5 s
    FSOUND_STREAM* stream = PlayOnce(path);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 500; }, 3.0));
    // Through a device the spectrum follows too: 440 Hz is bin 10.2.
    float* spectrum = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(std::max_element(spectrum, spectrum + 512) - spectrum, 10);
    ASSERT_TRUE(WaitFor([&] { return g_Ends.load() > 0; }, 4.0));
    SleepMs(100);
    FSOUND_Close(); // the driver's file is complete once the device is closed

    std::vector<uint8_t> bytes = ReadBytes(out);
    std::vector<float> written(bytes.size() / sizeof(float));
    std::copy(bytes.begin(), bytes.begin() + written.size() * sizeof(float), reinterpret_cast<uint8_t*>(written.data()));
    std::vector<float> expected = DecodeAll(path);
    ASSERT_EQ(expected.size(), 66150u * 2);
    // Line the two up at their first non-zero sample (the tone starts at 0).
    auto firstSound = [](const std::vector<float>& v) {
        return std::find_if(v.begin(), v.end(), [](float s) { return s != 0.0f; }) - v.begin();
    };
    long offset = firstSound(written) - firstSound(expected);
    ASSERT_GE(offset, 0);
    ASSERT_LE(offset + expected.size(), written.size());
    float worst = 0.0f;
    for (size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::fabs(written[offset + i] - expected[i]));
    // Full volume is a gain of exactly 1: the bytes are the decoded file.
    EXPECT_EQ(worst, 0.0f);
    for (size_t i = offset + expected.size(); i < written.size(); ++i)
        ASSERT_EQ(written[i], 0.0f) << "after the end, sample " << i;
}

// The disk driver keeps nothing queued: a block is heard from the moment it
// is handed over, so the heard position is never behind the last block the
// log noted. (Counted one device buffer late, it was behind it almost always.)
TEST_F(SdlOutputTest, OnTheDiskDriverABlockIsHeardFromItsHandOver)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (MakeTempDir("audio-disk-clock") + "/out.raw").c_str(), 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_FALSE(FSOUND_Test_IsSilentOutput());
    FSOUND_Test_LogOutputBlocks(256);
    FSOUND_STREAM* stream = PlayOnce(TestFile("tone44.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    std::vector<int64_t> frames;
    std::vector<int> lengths;
    std::vector<double> seconds;
    int checks = 0;
    for (int i = 0; checks < 20 && i < 400; ++i)
    {
        SleepMs(3 + 5 * (i % 4));
        int64_t first[64];
        int length[64];
        double at[64];
        const int got = FSOUND_Test_ReadOutputBlocks(first, length, at, 64);
        const int64_t heard = FSOUND_Test_HeardFrame();
        frames.insert(frames.end(), first, first + got);
        lengths.insert(lengths.end(), length, length + got);
        seconds.insert(seconds.end(), at, at + got);
        if (got == 0)
            continue;
        ++checks;
        EXPECT_GE(heard, first[got - 1]) << "check " << i;
        EXPECT_LE(heard, FSOUND_Test_MixedFrames());
    }
    EXPECT_EQ(checks, 20);
    // The log misses no block: each starts where the one before ended, and
    // none was asked for before the one before.
    ASSERT_GE(frames.size(), 10u);
    for (size_t k = 1; k < frames.size(); ++k)
    {
        EXPECT_EQ(frames[k], frames[k - 1] + lengths[k - 1]);
        EXPECT_GE(seconds[k], seconds[k - 1]);
    }
    FSOUND_Stream_Close(stream);
}

TEST_F(SdlOutputTest, LosingTheDeviceFallsBackToTheSilentOutputWithoutSpinning)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_FALSE(FSOUND_Test_IsSilentOutput());
    FSOUND_STREAM* stream = PlayOnce(TestFile("tone44.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 300; }, 3.0));
    FSOUND_Test_SimulateDeviceLoss();
    // The library notices on the calls the program makes every frame.
    FSOUND_SetSFXMasterVolume(200);
    EXPECT_TRUE(FSOUND_Test_IsSilentOutput());
    int before = FSOUND_Stream_GetTime(stream);
    SleepMs(300);
    EXPECT_GT(FSOUND_Stream_GetTime(stream), before + 150);
    ASSERT_TRUE(WaitFor([&] { return g_Ends.load() > 0; }, 3.0));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1500);
    // Idle on the silent output: a few wake-ups a block, not a busy loop.
    double cpu = ProcessCpuSeconds();
    SleepMs(500);
    EXPECT_LT(ProcessCpuSeconds() - cpu, 0.25);
}

TEST_F(SdlOutputTest, WithoutAnyAudioDriverTheSilentOutputPlays)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_TRUE(FSOUND_Test_IsSilentOutput());
    FSOUND_STREAM* stream = PlayOnce(TestFile("short.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return g_Ends.load() > 0; }, 3.0));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 500);
}

TEST_F(SdlOutputTest, CloseAndInitAgainStartsAFreshLibrary)
{
    FSOUND_Test_ForceSilentOutput(true);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* stream = PlayOnce(TestFile("short.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    FSOUND_Close(); // closes the playing stream too
    EXPECT_EQ(FSOUND_Stream_Open(TestFile("short.wav").m_Path.c_str(), FSOUND_2D, 0, 0), nullptr);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_LT(FSOUND_Test_MixedFrames(), 44100); // a new output clock
    stream = PlayOnce(TestFile("short.wav").m_Path);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return g_Ends.load() > 0; }, 3.0));
    FSOUND_Test_ForceSilentOutput(false);
}
