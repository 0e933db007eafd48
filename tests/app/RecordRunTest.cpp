// Whole recordings in this process: the lossless film's sound is exactly the
// sound library's pulled output, silent through the loading screen and then
// the day itself at the player's volume, from the frame the player opened;
// and a click is shown by the frame of its time or the next one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "app/RecorderHooks.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/AudioTestFiles.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

TEST(RecordRunTest, LosslessSoundIsExactlyWhatTheSoundLayerMixed)
{
    if (!HaveCommand("ffmpeg") || !HaveCommand("lame") || !HaveCommand("sox"))
        GTEST_SKIP() << "needs ffmpeg, sox and lame";
    const std::string dir = MakeTempDir("record-run");
    fs::create_directories(dir + "/Tamm_songs");
    const std::string day = dir + "/Tamm_songs/tamm - day1.mp3";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 '" + dir + "/d1.wav' synth 1 sine 500 vol 0.6 && lame --quiet '" + dir +
                         "/d1.wav' '" + day + "'"),
              0);
    const fs::path old = fs::current_path();
    fs::current_path(dir);

    // The library the recording will use, with a tap on its output.
    FSOUND_SetPulledOutput(1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_Test_CaptureOutput(1 << 20);
    const std::string film = dir + "/film.mkv";
    std::vector<const char*> args = {"orba", "--record", film.c_str(), "--size", "160x120", "--fps", "30", "--lossless"};
    SCommandLine line;
    ASSERT_TRUE(ParseCommandLine(static_cast<int>(args.size()), args.data(), &line));
    const int code = RunRecording(line);
    fs::current_path(old);
    ASSERT_EQ(code, 0);
    std::vector<float> mixed(static_cast<size_t>(1 << 20) * 2);
    mixed.resize(static_cast<size_t>(FSOUND_Test_ReadOutput(mixed.data(), 1 << 20)) * 2);
    FSOUND_Test_CaptureOutput(0);

    const std::string raw = dir + "/sound.s16";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -i '" + film + "' -map 0:a -f s16le '" + raw + "'"), 0);
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::vector<int16_t> decoded(static_cast<size_t>(in.tellg()) / 2);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(decoded.data()), static_cast<std::streamsize>(decoded.size() * 2));
    ASSERT_GT(mixed.size(), 0u);
    ASSERT_EQ(decoded.size(), mixed.size());
    for (size_t i = 0; i < mixed.size(); ++i)
        ASSERT_EQ(decoded[i], std::clamp(std::lrintf(mixed[i] * 32768.0f), -32768L, 32767L)) << "sample " << i;

    // What was mixed: silence through the loading screen, then the day as the
    // layer decodes it, scaled by the player's volume, on a frame's boundary.
    const std::vector<float> track = DecodeAll(day);
    ASSERT_EQ(track.size(), 44100u * 2);
    const size_t start = std::find_if(mixed.begin(), mixed.end(), [](float s) { return s != 0.0f; }) - mixed.begin();
    const size_t trackStart = std::find_if(track.begin(), track.end(), [](float s) { return s != 0.0f; }) - track.begin();
    ASSERT_GE(start, trackStart);
    const size_t offset = start - trackStart;
    EXPECT_EQ(offset % (1470 * 2), 0u) << "the day starts mid-frame";
    ASSERT_LE(offset + track.size(), mixed.size());
    const size_t loud = trackStart + 200;
    const float gain = mixed[offset + loud] / track[loud];
    EXPECT_GT(gain, 0.3f);
    EXPECT_LT(gain, 1.0f);
    for (size_t i = 0; i < track.size(); ++i)
        ASSERT_NEAR(mixed[offset + i], track[i] * gain, 1e-6f) << "sample " << i;
    for (size_t i = offset + track.size(); i < mixed.size(); ++i)
        ASSERT_EQ(mixed[i], 0.0f) << "after the day, sample " << i;
    FSOUND_Close();
    FSOUND_SetPulledOutput(0);
}

namespace {

// The equaliser of every frame, in order.
using SEqualiserFrames = std::vector<std::vector<uint32_t>>;

void KeepEqualiser(int64_t frame, int64_t, const uint32_t* argb, int width, int height, void* user)
{
    auto* frames = static_cast<SEqualiserFrames*>(user);
    ASSERT_EQ(frame, static_cast<int64_t>(frames->size()));
    ASSERT_EQ(width, 800);
    ASSERT_EQ(height, 600);
    std::vector<uint32_t> bars;
    bars.reserve(size_t(EqualiserBarCount) * (EqualiserFoot - EqualiserTop));
    for (int k = 0; k < EqualiserBarCount; ++k)
        for (int y = EqualiserTop; y < EqualiserFoot; ++y)
            bars.push_back(argb[size_t(y) * 800 + EqualiserColumn(k)]);
    frames->push_back(std::move(bars));
}

int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

}  // namespace

TEST(RecordRunTest, AClickIsShownByTheFrameOfItsTimeOrTheNext)
{
    constexpr int Fps = 60;
    constexpr int FrameSound = 44100 / Fps;
    const std::string dir = MakeTempDir("record-clicks");
    fs::create_directories(dir + "/album");
    // Sharp clicks 0.3 s apart after three seconds of silence (the player
    // has faded in by then), each at its own place within a frame: on a
    // frame's first sample, just after it, in the middle, on its last.
    const int phases[] = {0, 1, 2, 100, 367, 368, 600, 733, 734, 50, 500, 700};
    std::vector<int> clicks;
    for (int i = 0; i < 12; ++i)
        clicks.push_back(3 * 44100 + i * 18 * FrameSound + phases[i]);
    std::vector<float> stereo(size_t(clicks.back() + 22050) * 2, 0.0f);
    uint32_t seed = 7;
    for (int at : clicks)
        for (int i = 0; i < 176; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            const float sign = (seed >> 31) ? 1.0f : -1.0f;
            const float s = sign * 0.8f * std::exp(-4.0f * i / 176.0f);
            stereo[size_t(at + i) * 2] = s;
            stereo[size_t(at + i) * 2 + 1] = s;
        }
    WriteFloatWav(dir + "/album/clicks.wav", 44100, stereo);

    FSOUND_SetPulledOutput(1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_Test_CaptureOutput(1 << 20);
    SEqualiserFrames frames;
    SetRecordFrameTap(KeepEqualiser, &frames);
    const std::string film = dir + "/film.mkv";
    const std::string album = dir + "/album";
    std::vector<const char*> args = {"orba", "--record", film.c_str(), "--size", "160x120", "--lossless", album.c_str()};
    SCommandLine line;
    ASSERT_TRUE(ParseCommandLine(static_cast<int>(args.size()), args.data(), &line));
    const int code = RunRecording(line);
    SetRecordFrameTap(nullptr, nullptr);
    ASSERT_EQ(code, 0);
    std::vector<float> mixed(static_cast<size_t>(1 << 20) * 2);
    mixed.resize(static_cast<size_t>(FSOUND_Test_ReadOutput(mixed.data(), 1 << 20)) * 2);
    FSOUND_Test_CaptureOutput(0);
    FSOUND_Close();
    FSOUND_SetPulledOutput(0);

    // Where the first click was mixed places the others: the day is played
    // sample for sample from there.
    const size_t first = std::find_if(mixed.begin(), mixed.end(), [](float s) { return s != 0.0f; }) - mixed.begin();
    ASSERT_LT(first, mixed.size());
    const int64_t offset = int64_t(first / 2) - clicks[0];
    const size_t count = frames.size();
    ASSERT_GT(count, 2u);
    for (size_t c = 0; c < clicks.size(); ++c)
    {
        const int64_t at = offset + clicks[c];
        ASSERT_LT(size_t(at) * 2, mixed.size()) << "click " << c;
        ASSERT_NE(mixed[size_t(at) * 2], 0.0f) << "click " << c;
        ASSERT_EQ(mixed[size_t(at - 1) * 2], 0.0f) << "click " << c;
        // The frame of the click's time: the film's sound starts with its
        // first frame, and frame k is on screen from k / fps.
        const size_t own = size_t(at / FrameSound);
        ASSERT_LT(own + 4, count) << "click " << c << " is past the film";
        ASSERT_GE(own, 3u);
        // Against the frame two before it, long after the last click fell
        // silent: the bars jump to full height (thousands of pixels), more
        // than anything else could move in their columns.
        const std::vector<uint32_t>& silent = frames[own - 2];
        size_t shown = own - 1;
        while (shown < own + 4 && Differing(frames[shown], silent) < 150)
            ++shown;
        EXPECT_TRUE(shown == own || shown == own + 1)
            << "click " << c << " at sample " << clicks[c] << " (frame " << own << ") first shown by frame "
            << shown;
    }
}
