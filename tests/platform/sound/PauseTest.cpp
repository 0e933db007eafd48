// Pause, resume and the end as the listener hears them, through SDL's disk
// driver: its file holds every block handed to the device, so whatever the
// device is given after a stop is in it too.
#include "support/AudioTestFiles.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

namespace
{
constexpr int DeviceBlock = 1024;

class DiskOutputTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        m_Out = MakeTempDir("audio-pause") + "/out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_Out.c_str(), 1);
        FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
        ASSERT_FALSE(FSOUND_Test_IsSilentOutput());
        FSOUND_SetSFXMasterVolume(255);
    }

    void TearDown() override
    {
        FSOUND_Close();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }

    // Closes the library: the driver's file is complete then.
    std::vector<float> Written()
    {
        FSOUND_Close();
        std::vector<uint8_t> bytes = ReadBytes(m_Out);
        std::vector<float> out(bytes.size() / sizeof(float));
        std::copy(bytes.begin(), bytes.begin() + out.size() * sizeof(float), reinterpret_cast<uint8_t*>(out.data()));
        return out;
    }

    std::string m_Out;
};

// 1.2 s at `rate`: a chirp on the left, so that every place differs, and a
// right side that never comes near zero, so that a frame's gain can be read.
std::string SweepFile(int rate)
{
    std::vector<float> stereo;
    const int frames = rate * 6 / 5;
    for (int n = 0; n < frames; ++n)
    {
        double t = static_cast<double>(n) / rate;
        stereo.push_back(static_cast<float>(0.5 * std::sin(2.0 * M_PI * (200.0 * t + 300.0 * t * t))));
        stereo.push_back(static_cast<float>(0.25 + 0.1 * std::sin(2.0 * M_PI * 2.5 * t)));
    }
    std::string path = MakeTempDir("audio-pause-" + std::to_string(rate)) + "/sweep.wav";
    WriteFloatWav(path, rate, stereo);
    return path;
}

bool Silent(const float* frame)
{
    return frame[0] == 0.0f && frame[1] == 0.0f;
}

size_t FirstSound(const std::vector<float>& stereo)
{
    size_t i = 0;
    while (i < stereo.size() / 2 && Silent(&stereo[i * 2]))
        ++i;
    return i;
}

size_t LastSound(const std::vector<float>& stereo)
{
    size_t end = stereo.size() / 2;
    while (end > 0 && Silent(&stereo[(end - 1) * 2]))
        --end;
    return end;
}
}

TEST_F(DiskOutputTest, PausedModuleFadesOutAndInWithoutAClick)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 1);
    for (int at : {200, 500})
    {
        ASSERT_TRUE(WaitFor([&] { return FMUSIC_GetTime(module) >= at; }, 3.0));
        FMUSIC_SetPaused(module, 1);
        SleepMs(100);
        FMUSIC_SetPaused(module, 0);
    }
    SleepMs(200);
    std::vector<float> out = Written();
    size_t first = FirstSound(out), last = LastSound(out);
    ASSERT_LT(first, last);
    float peak = 0.0f;
    for (size_t i = first * 2; i < last * 2; ++i)
        peak = std::max(peak, std::fabs(out[i]));
    ASSERT_GT(peak, 0.05f);
    // The square wave's own edges are steps; at the presses the sound must
    // come down to silence and up from it gently.
    int edges = 0;
    for (size_t i = first + 1; i < last; ++i)
    {
        bool silent = Silent(&out[i * 2]), before = Silent(&out[(i - 1) * 2]);
        if (silent == before)
            continue;
        const float* sounding = silent ? &out[(i - 1) * 2] : &out[i * 2];
        EXPECT_LT(std::max(std::fabs(sounding[0]), std::fabs(sounding[1])), peak * 0.02f) << "frame " << i;
        ++edges;
    }
    EXPECT_GE(edges, 4); // out and in, twice
}

TEST_F(DiskOutputTest, TheEndIsReportedOnceTheLastSampleIsHeard)
{
    static std::atomic<int64_t> s_HeardAtEnd{-1};
    s_HeardAtEnd.store(-1);
    std::string path = SweepFile(44100);
    int64_t frames = FSOUND_Test_DecodeFile(path.c_str(), nullptr, 0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(
        stream,
        [](FSOUND_STREAM*, void*, int, void*) -> signed char {
            s_HeardAtEnd.store(FSOUND_Test_HeardFrame());
            return 1;
        },
        nullptr);
    ASSERT_TRUE(WaitFor([&] { return s_HeardAtEnd.load() >= 0; }, 4.0));
    int64_t end = FSOUND_Test_StreamStartFrame(stream) + frames; // the output frame after the last sample
    EXPECT_GE(s_HeardAtEnd.load(), end);
    EXPECT_LE(s_HeardAtEnd.load(), end + DeviceBlock);
    FSOUND_Stream_Close(stream);
}
