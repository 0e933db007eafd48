// The player live, through SDL's disk audio driver in real time: an album cut
// from one continuous signal comes out as that signal, every sample in place
// across every boundary, in each format.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/Album.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/AudioTestFiles.h"
#include "support/RecordingDevice.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int Rate = 44100;
// Boundaries at no multiple of any block, frame or granule size.
const int64_t Cuts[] = {0, 29989, 70001, 112359, 150077};

class LiveGaplessTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        if (!HaveCommand("ffmpeg") || !HaveCommand("sox") || !HaveCommand("lame"))
            GTEST_SKIP() << "needs ffmpeg, sox and lame";
        // This program's library runs on the silent output; this test needs
        // the disk driver's file.
        FSOUND_Close();
        m_Dir = MakeTempDir(std::string("live-gapless-") + GetParam());
        m_Out = m_Dir + "/out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_Out.c_str(), 1);
        FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(FSOUND_Init(Rate, 32, 0));
        ASSERT_FALSE(FSOUND_Test_IsSilentOutput());
        m_Device = InstallRecordingDevice();
        m_Open = true;
    }
    void TearDown() override
    {
        if (!m_Open)
            return;
        delete m_Disk;
        RemoveRecordingDevice();
        ReplaceAlbum(CAlbum());
        FSOUND_Close();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        FSOUND_Init(Rate, 32, 0);
    }

    std::string m_Dir, m_Out;
    CRecordingDevice* m_Device = nullptr;
    CMusicDisk* m_Disk = nullptr;
    bool m_Open = false;
    std::vector<size_t> m_Ends;  // frame after each track in the expected output
};

TEST_P(LiveGaplessTest, TheAlbumComesOutAsTheSignalItWasCutFrom)
{
    const std::string format = GetParam();
    std::vector<float> signal(size_t(Cuts[4]) * 2);
    for (int64_t i = 0; i < Cuts[4]; ++i)
    {
        const double t = double(i) / Rate;
        signal[size_t(i) * 2] = float(0.45 * std::sin(2 * M_PI * 523.0 * t + 1.0) + 0.2 * std::sin(2 * M_PI * 89.0 * t));
        signal[size_t(i) * 2 + 1] = float(0.4 * std::sin(2 * M_PI * 277.0 * t + 0.5) + 0.25);
    }
    CAlbum album;
    album.m_DayNames = false;
    album.m_Folder = m_Dir;
    std::vector<float> expected;  // each track as the layer decodes it, end to end
    for (int k = 0; k < 4; ++k)
    {
        const std::string wav = m_Dir + "/part" + std::to_string(k + 1) + ".wav";
        WriteFloatWav(wav, Rate, std::vector<float>(signal.begin() + Cuts[k] * 2, signal.begin() + Cuts[k + 1] * 2));
        const std::string track = m_Dir + "/" + std::to_string(k + 1) + "." + format;
        std::string command = "cp '" + wav + "' '" + track + "'";
        if (format == "mp3")
            command = "lame --quiet -b 192 '" + wav + "' '" + track + "'";
        else if (format == "opus")
            command = "ffmpeg -v error -y -i '" + wav + "' -c:a libopus -b:a 128k '" + track + "'";
        else if (format != "wav")
            command = "sox -V1 '" + wav + "' " + (format == "flac" ? "-b 16 " : "") + "'" + track + "'";
        ASSERT_EQ(RunCommand(command), 0) << command;
        const std::vector<float> decoded = DecodeAll(track);
        ASSERT_FALSE(decoded.empty());
        // The output is clipped to full scale, and a lossy decode can go past it.
        for (float v : decoded)
            expected.push_back(std::clamp(v, -1.0f, 1.0f));
        m_Ends.push_back(expected.size() / 2);
        album.m_Tracks.push_back({track, "Part", "Part", "", ""});
    }
    ReplaceAlbum(std::move(album));

    // The player at full volume, so the samples pass untouched; its frames
    // come as a busy program's would, while the sound runs on its own.
    m_Disk = new CMusicDisk;
    m_Disk->m_TimeLeft = 1e9f;
    m_Disk->m_Volume = 1.0f;
    const auto start = std::chrono::steady_clock::now();
    while (!(m_Disk->m_TrackIndex == 3 && CAudio::IsFinished(m_Disk->m_Handle)) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
    {
        g_DeltaTime = 0.016f;
        m_Disk->Update(0.016f);
        g_Input.Snapshot();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    EXPECT_EQ(m_Disk->m_TrackIndex, 3);
    delete m_Disk;
    m_Disk = nullptr;
    FSOUND_Close();
    const std::vector<uint8_t> bytes = ReadBytes(m_Out);
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));

    // Where the album starts: its first 256 frames, exactly.
    size_t at = 0;
    const size_t probe = 512;
    for (; at + expected.size() <= out.size(); at += 2)
        if (std::equal(expected.begin(), expected.begin() + probe, out.begin() + at))
            break;
    ASSERT_LE(at + expected.size(), out.size()) << format << ": the album is not in the output";
    // Then every sample after it, across the boundaries: a gap, a lost or a
    // repeated sample moves all that follows.
    size_t differing = 0, first = expected.size();
    for (size_t i = 0; i < expected.size(); ++i)
        if (out[at + i] != expected[i])
        {
            ++differing;
            first = std::min(first, i);
        }
    int track = 0;
    while (track < 3 && first / 2 >= m_Ends[size_t(track)])
        ++track;
    EXPECT_EQ(differing, 0u) << format << ": first differing frame " << first / 2 << ", in track " << track + 1;
}

INSTANTIATE_TEST_SUITE_P(Formats, LiveGaplessTest, ::testing::Values("wav", "flac", "ogg", "opus", "mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
