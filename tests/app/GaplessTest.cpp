// An album cut from one continuous signal plays as the signal: the player,
// recorded losslessly, hands each track over to the next on the very next
// sample. The mix is compared with the tracks' own decodes laid end to end,
// sample by sample across every boundary, for each format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/AudioTestFiles.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int Rate = 44100;
// Boundaries at no multiple of any block, frame or granule size.
const int64_t Cuts[] = {0, 37123, 81011, 130003, 171071};

// Two tones that never pass through zero together: every sample of the
// signal is its own, so a missing, repeated or extra one shows. Frames
// `from` to `to` (at 44100 Hz) of it, sampled at `rate`.
std::vector<float> Signal(int64_t from = Cuts[0], int64_t to = Cuts[4], int rate = Rate)
{
    const int64_t frames = (to - from) * rate / Rate;
    std::vector<float> stereo(size_t(frames) * 2);
    for (int64_t i = 0; i < frames; ++i)
    {
        const double t = rate == Rate ? double(from + i) / Rate : double(from) / Rate + double(i) / rate;
        stereo[size_t(i) * 2] = float(0.45 * std::sin(2 * M_PI * 440.0 * t + 1.0) + 0.2 * std::sin(2 * M_PI * 97.0 * t));
        stereo[size_t(i) * 2 + 1] = float(0.4 * std::sin(2 * M_PI * 331.0 * t + 0.5) + 0.25);
    }
    return stereo;
}

struct SRun
{
    std::vector<float> m_Mixed;                  // what the sound layer mixed, after the volume
    std::vector<std::vector<float>> m_Tracks;    // each track as the layer decodes it
    std::string m_Film;
};

// The four tracks in `extension`, recorded losslessly as an album of one's own.
bool Record(const std::string& extension, SRun* run)
{
    const std::string dir = MakeTempDir("gapless-" + extension);
    fs::create_directories(dir + "/album");
    for (int k = 0; k < 4; ++k)
    {
        // "wav48": every other track at 48 kHz, through the resampler.
        const int rate = extension == "wav48" && k % 2 == 1 ? 48000 : Rate;
        const std::string wav = dir + "/part" + std::to_string(k + 1) + ".wav";
        WriteFloatWav(wav, rate, Signal(Cuts[k], Cuts[k + 1], rate));
        const std::string track =
            dir + "/album/" + std::to_string(k + 1) + " part." + (extension == "wav48" ? "wav" : extension);
        std::string command;
        if (extension == "wav" || extension == "wav48")
            command = "cp '" + wav + "' '" + track + "'";
        else if (extension == "mp3")
            command = "lame --quiet -b 192 '" + wav + "' '" + track + "'";
        else if (extension == "opus")
            command = "ffmpeg -v error -y -i '" + wav + "' -c:a libopus -b:a 128k '" + track + "'";
        else
            command = "sox '" + wav + "' -b 16 '" + track + "'";
        if (RunCommand(command) != 0)
            return false;
        run->m_Tracks.push_back(DecodeAll(track));
        EXPECT_FALSE(run->m_Tracks.back().empty()) << track;
    }
    FSOUND_SetPulledOutput(1);
    EXPECT_TRUE(FSOUND_Init(Rate, 32, 0));
    FSOUND_Test_CaptureOutput(1 << 21);
    run->m_Film = dir + "/film.mkv";
    const std::string album = dir + "/album";
    std::vector<const char*> args = {"orba",  "--record", run->m_Film.c_str(), "--size", "160x120",
                                     "--fps", "30",       "--lossless",        album.c_str()};
    SCommandLine line;
    EXPECT_TRUE(ParseCommandLine(static_cast<int>(args.size()), args.data(), &line));
    const int code = RunRecording(line);
    run->m_Mixed.resize(size_t(1 << 21) * 2);
    run->m_Mixed.resize(size_t(FSOUND_Test_ReadOutput(run->m_Mixed.data(), 1 << 21)) * 2);
    FSOUND_Test_CaptureOutput(0);
    FSOUND_Close();
    FSOUND_SetPulledOutput(0);
    return code == 0;
}

// Where in `mixed` the frames of `track` begin at `gain`, searched around
// `near` (frames); -1 when nowhere.
int64_t Find(const std::vector<float>& mixed, const std::vector<float>& track, float gain, int64_t near, int64_t span)
{
    const int64_t frames = int64_t(mixed.size() / 2);
    for (int64_t d = 0; d <= span; ++d)
        for (int64_t at : {near + d, near - d})
        {
            if (at < 0 || at + 256 > frames)
                continue;
            bool same = true;
            for (int i = 0; i < 256 * 2 && same; ++i)
                same = std::fabs(mixed[size_t(at) * 2 + i] - track[i] * gain) < 1e-5f;
            if (same)
                return at;
        }
    return -1;
}

// Each boundary: how many frames lie between one track's last and the
// next one's first (0 for none, negative for an overlap); then every sample.
// The output frame after the album's last.
int64_t ExpectSeamless(const SRun& run, const std::string& format)
{
    const std::vector<float>& mixed = run.m_Mixed;
    EXPECT_FALSE(mixed.empty());
    if (mixed.empty())
        return -1;
    const std::vector<float>& first = run.m_Tracks[0];
    const int64_t start = std::find_if(mixed.begin(), mixed.end(), [](float s) { return s != 0.0f; }) - mixed.begin();
    const int64_t firstLoud = std::find_if(first.begin(), first.end(), [](float s) { return s != 0.0f; }) - first.begin();
    EXPECT_GE(start, firstLoud);
    int64_t at = (start - firstLoud) / 2;
    const size_t loud = size_t(firstLoud) + 2000;
    const float gain = mixed[size_t(at) * 2 + loud] / first[loud];
    EXPECT_TRUE(gain > 0.3f && gain < 1.0f) << gain;
    for (size_t k = 0; k < run.m_Tracks.size(); ++k)
    {
        const std::vector<float>& track = run.m_Tracks[k];
        const int64_t found = Find(mixed, track, gain, at, 44100);
        EXPECT_GE(found, 0) << format << ": track " << k + 1 << " is not in the mix";
        if (found < 0)
            return -1;
        EXPECT_EQ(found - at, 0) << format << ": frames between track " << k << " and track " << k + 1;
        at = found;
        size_t off = 0;
        for (size_t i = 0; i < track.size() && size_t(at) * 2 + i < mixed.size(); ++i)
            off += std::fabs(mixed[size_t(at) * 2 + i] - track[i] * gain) > 1e-6f;
        EXPECT_EQ(off, 0u) << format << ": samples of track " << k + 1 << " not as decoded";
        at += int64_t(track.size() / 2);
    }
    EXPECT_LE(size_t(at) * 2, mixed.size());
    for (size_t i = size_t(at) * 2; i < mixed.size(); ++i)
        if (mixed[i] != 0.0f)
        {
            ADD_FAILURE() << format << ": sound after the album, sample " << i;
            break;
        }
    return at;
}

class GaplessTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(GaplessTest, TracksFollowEachOtherSampleForSample)
{
    const std::string format = GetParam();
    if (!HaveCommand("ffmpeg") || !HaveCommand("sox") || !HaveCommand("lame"))
        GTEST_SKIP() << "needs ffmpeg, sox and lame";
    SRun run;
    ASSERT_TRUE(Record(format, &run));
    const int64_t end = ExpectSeamless(run, format);
    if (format != "wav")
        return;
    // Lossless tracks: the mix is the signal itself, at the player's volume.
    const std::vector<float> signal = Signal();
    std::vector<float> joined;
    for (const auto& track : run.m_Tracks)
        joined.insert(joined.end(), track.begin(), track.end());
    ASSERT_EQ(joined.size(), signal.size());
    for (size_t i = 0; i < signal.size(); ++i)
        ASSERT_EQ(joined[i], signal[i]) << "sample " << i;
    // And the film holds what was mixed.
    const std::string raw = run.m_Film + ".s16";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -i '" + run.m_Film + "' -map 0:a -f s16le '" + raw + "'"), 0);
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::vector<int16_t> decoded(static_cast<size_t>(in.tellg()) / 2);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(decoded.data()), static_cast<std::streamsize>(decoded.size() * 2));
    // The film's sound ends on the album's last sample.
    ASSERT_EQ(int64_t(decoded.size()), end * 2);
    for (size_t i = 0; i < decoded.size(); ++i)
        ASSERT_EQ(decoded[i], std::clamp(std::lrintf(run.m_Mixed[i] * 32768.0f), -32768L, 32767L)) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, GaplessTest, ::testing::Values("wav", "wav48", "flac", "ogg", "opus", "mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
