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
const int PauseAtMs[] = {250, 600, 900};

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

std::atomic<int> g_Ends{0};

signed char CountEnd(FSOUND_STREAM*, void*, int, void*)
{
    g_Ends.fetch_add(1);
    return 1;
}

bool Silent(const float* frame)
{
    return frame[0] == 0.0f && frame[1] == 0.0f;
}

// The largest step between neighbouring frames of either side, over frames
// [from, to).
float LargestStep(const std::vector<float>& stereo, size_t from, size_t to)
{
    float step = 0.0f;
    for (size_t i = from + 1; i < to; ++i)
        for (int c = 0; c < 2; ++c)
            step = std::max(step, std::fabs(stereo[i * 2 + c] - stereo[(i - 1) * 2 + c]));
    return step;
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

// Plays the file to its end with a pause at each of PauseAtMs and returns the
// device's output; checks on the way that the time holds while paused.
std::vector<float> PlayWithPauses(DiskOutputTest& test, const std::string& path, std::vector<float>* decoded)
{
    *decoded = DecodeAll(path);
    g_Ends.store(0);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_LOOP_NORMAL | FSOUND_2D, 0, 0);
    EXPECT_NE(stream, nullptr);
    if (!stream)
        return {};
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, nullptr);
    for (int at : PauseAtMs)
    {
        EXPECT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= at; }, 3.0));
        // The player's calls, in its order: a stream pauses by stopping at
        // the place it reports and resumes by playing again and going back.
        unsigned int place = FSOUND_Stream_GetPosition(stream);
        FSOUND_Stream_Stop(stream);
        int pausedTime = FSOUND_Stream_GetTime(stream);
        SleepMs(100);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), pausedTime);
        FSOUND_Stream_SetLoopCount(stream, 0);
        FSOUND_Stream_Play(0, stream);
        FSOUND_Stream_SetEndCallback(stream, CountEnd, nullptr);
        FSOUND_Stream_SetPosition(stream, place);
        EXPECT_EQ(FSOUND_Stream_GetPosition(stream), place);
    }
    EXPECT_TRUE(WaitFor([&] { return g_Ends.load() > 0; }, 4.0));
    SleepMs(100);
    return test.Written();
}

TEST_F(DiskOutputTest, PauseAndResumeNeitherRepeatNorSkipASampleAtAnyRate)
{
    for (int rate : {32000, 44100, 48000})
    {
        std::vector<float> decoded;
        std::vector<float> out = PlayWithPauses(*this, SweepFile(rate), &decoded);
        ASSERT_GT(decoded.size(), 44100u * 2);
        // Walk the output against the decode: each frame that sounds is the
        // next decoded frame at some gain (1 but for the ramps), silence
        // takes none.
        size_t next = 0, ramped = 0, gaps = 0;
        bool wasSilent = false;
        for (size_t i = FirstSound(out); i < out.size() / 2; ++i)
        {
            const float* frame = &out[i * 2];
            if (Silent(frame))
            {
                wasSilent = true;
                continue;
            }
            gaps += wasSilent ? 1 : 0;
            wasSilent = false;
            ASSERT_LT(next, decoded.size() / 2) << rate << " Hz: more frames than the file has, output frame " << i;
            const float* want = &decoded[next * 2];
            float gain = std::fabs(want[1]) > 0.05f ? frame[1] / want[1] : 1.0f;
            ASSERT_GT(gain, 0.0f) << rate << " Hz, output frame " << i << ", decoded frame " << next;
            ASSERT_LE(gain, 1.0001f) << rate << " Hz, output frame " << i << ", decoded frame " << next;
            ASSERT_NEAR(frame[0], want[0] * gain, 2e-4f)
                << rate << " Hz, output frame " << i << ", decoded frame " << next << " (repeated or skipped)";
            ramped += gain < 0.9999f ? 1 : 0;
            ++next;
        }
        EXPECT_EQ(next, decoded.size() / 2) << rate << " Hz: every decoded frame once";
        EXPECT_EQ(gaps, std::size(PauseAtMs)) << rate << " Hz";
        // Only the ramps at the presses are below full gain.
        EXPECT_LE(ramped, std::size(PauseAtMs) * 2 * 300) << rate << " Hz";
        FSOUND_Init(44100, 32, 0); // Written() closed it
    }
}

TEST_F(DiskOutputTest, PauseAndResumeRampTheGainWithNoStepLargerThanTheSignals)
{
    for (int rate : {32000, 44100, 48000})
    {
        std::vector<float> decoded;
        std::vector<float> out = PlayWithPauses(*this, SweepFile(rate), &decoded);
        ASSERT_GT(decoded.size(), 44100u * 2);
        // Between the first and the last sample heard only the presses make
        // silence; the file's own start and end are outside.
        float own = LargestStep(decoded, 0, decoded.size() / 2);
        size_t first = FirstSound(out), last = LastSound(out);
        ASSERT_LT(first, last);
        EXPECT_LE(LargestStep(out, first, last), own * 1.01f + 0.005f) << rate << " Hz";
        FSOUND_Init(44100, 32, 0);
    }
}

TEST_F(DiskOutputTest, ModulePauseResumeAndStopFadeWithoutAClick)
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
    // Stopped and freed at once, as the player leaves a track.
    FMUSIC_StopSong(module);
    FMUSIC_FreeSong(module);
    SleepMs(100);
    std::vector<float> out = Written();
    size_t first = FirstSound(out), last = std::min(LastSound(out) + 1, out.size() / 2); // the stop's edge too
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
    EXPECT_GE(edges, 5); // out and in, twice, and out at the stop
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

TEST_F(DiskOutputTest, AModuleIsFinishedOnceItsLastSampleIsHeard)
{
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 0);
    int64_t heardAtFinish = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (!FMUSIC_IsFinished(module))
                return false;
            heardAtFinish = FSOUND_Test_HeardFrame();
            return true;
        },
        3.0));
    SleepMs(100);
    // The driver's file starts at the output's first frame, or a block of
    // silence before it when the driver's thread wrote one before the first
    // mix (a slow start: under ThreadSanitizer it does). Reporting the end
    // when it is mixed was 1600 frames early, which this still catches.
    int64_t end = static_cast<int64_t>(LastSound(Written()));
    EXPECT_GE(heardAtFinish, end - DeviceBlock);
    EXPECT_LE(heardAtFinish, end + DeviceBlock);
}
