// Seeking: after SetTime the sound comes back, fading in, from the sample of
// the time asked for (within a millisecond), on every format the player
// plays; the reported time is the new one at once; a paused stream stays
// paused. The output is pulled, so what was mixed is known sample by sample.
#include "support/AudioTestFiles.h"
#include "support/SoundFixture.h"
#include "support/TestEnv.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
constexpr int Block = 441;      // 10 ms a pull
constexpr int SeekMs = 7777;

class SeekTest : public PulledSoundTest, public ::testing::WithParamInterface<const char*>
{
};

// The file in the named format, cut from the same 20 s of noise.
std::string Make(const std::string& name)
{
    if (name.find(".mp3") != std::string::npos)
        return TestFile(name).m_Path;
    const std::string wav = TestFile("noise20.wav").m_Path;
    const std::string dir = MakeTempDir("seek-" + name);
    const std::string out = dir + "/noise." + name;
    const std::string command = name == "opus" ? "ffmpeg -v error -y -i '" + wav + "' -c:a libopus '" + out + "'"
                                               : "sox -V1 '" + wav + "' '" + out + "'";
    return RunCommand(command) == 0 ? out : std::string();
}

// Where `piece` sits in `whole` (frames), searched within `span` of `near`:
// the place of least difference.
int64_t Locate(const std::vector<float>& whole, const std::vector<float>& piece, int64_t near, int span)
{
    int64_t best = -1;
    double bestError = 1e30;
    const int64_t frames = int64_t(piece.size() / 2);
    for (int64_t at = near - span; at <= near + span; ++at)
    {
        if (at < 0 || size_t(at + frames) * 2 > whole.size())
            continue;
        double error = 0.0;
        for (size_t i = 0; i < piece.size() && error < bestError; ++i)
        {
            const double d = double(whole[size_t(at) * 2 + i]) - double(piece[i]);
            error += d * d;
        }
        if (error < bestError)
        {
            bestError = error;
            best = at;
        }
    }
    return best;
}

// Once the sound is back in `after`, its frames from the end of the fade in.
std::vector<float> BackAfterFade(const std::vector<float>& after, size_t frames)
{
    size_t quiet = 0, i = 0;
    for (; i + 1 < after.size() / 2; ++i)
    {
        const bool silent = after[i * 2] == 0.0f && after[i * 2 + 1] == 0.0f;
        quiet = silent ? quiet + 1 : 0;
        if (quiet >= 64)
            break;
    }
    for (; i < after.size() / 2 && after[i * 2] == 0.0f && after[i * 2 + 1] == 0.0f; ++i)
    {
    }
    const size_t start = i + 256;
    if ((start + frames) * 2 > after.size())
        return {};
    return std::vector<float>(after.begin() + start * 2, after.begin() + (start + frames) * 2);
}

}  // namespace

TEST_P(SeekTest, TheSoundComesBackFromTheAskedSampleWithinAMillisecond)
{
    const std::string format = GetParam();
    if (!HaveCommand("sox") || !HaveCommand("lame") || !HaveCommand("ffmpeg"))
        GTEST_SKIP() << "needs sox, lame and ffmpeg";
    const std::string path = Make(format);
    ASSERT_FALSE(path.empty());
    const std::vector<float> whole = DecodeAll(path);
    ASSERT_GT(whole.size(), size_t(15 * 44100 * 2));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    PullBlocks(50, Block);
    ASSERT_TRUE(FSOUND_Stream_SetTime(stream, SeekMs));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), SeekMs);
    const std::vector<float> after = PullBlocks(100, Block);
    const std::vector<float> back = BackAfterFade(after, 4096);
    ASSERT_FALSE(back.empty()) << format << ": the sound did not come back";
    // The first frame after the fade is the 257th from the asked sample.
    const int64_t expected = int64_t(SeekMs) * 44100 / 1000 + 256;
    const int64_t found = Locate(whole, back, expected, 2000);
    EXPECT_LE(std::llabs(found - expected), 44) << format << ": came back " << found - expected << " frames off";
    FSOUND_Stream_Close(stream);
}

TEST_F(SeekTest, AModuleComesBackFromTheAskedSampleWithinAMillisecond)
{
    const std::string path = TestFile("song.mod").m_Path;
    // The module as it plays from its start, the reference.
    FMUSIC_MODULE* module = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 0);
    const std::vector<float> whole = PullBlocks(90, Block);
    FMUSIC_FreeSong(module);
    module = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 0);
    PullBlocks(10, Block);
    const int seekMs = 333;
    ASSERT_TRUE(FMUSIC_SetTime(module, seekMs));
    EXPECT_EQ(FMUSIC_GetTime(module), seekMs);
    const std::vector<float> after = PullBlocks(40, Block);
    const std::vector<float> back = BackAfterFade(after, 2048);
    ASSERT_FALSE(back.empty()) << "the module did not come back";
    // The whole was mixed from output frame 0 on: its frame n is module frame
    // n. The square wave repeats every 340 frames or so: searched within
    // less than half of that.
    const int64_t expected = int64_t(seekMs) * 44100 / 1000 + 256;
    const int64_t found = Locate(whole, back, expected, 160);
    EXPECT_LE(std::llabs(found - expected), 44) << "came back " << found - expected << " frames off";
    FMUSIC_FreeSong(module);
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekTest,
                         ::testing::Values("wav", "flac", "ogg", "opus", "cbr20.mp3", "vbr20.mp3",
                                           "vbr20_untagged.mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });
