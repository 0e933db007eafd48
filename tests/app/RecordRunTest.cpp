// A whole recording in this process: the lossless film's sound is exactly the
// sound library's pulled output, silent through the loading screen and then
// the day itself at the player's volume, from the frame the player opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/AudioTestFiles.h"
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
