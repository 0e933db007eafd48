// The gapless hand-over in the library, on the pulled output: the next voice
// starts on the output frame after the last of the one before, whatever the
// one before is (a module, a stream), and not while that one is paused.
#include "support/AudioTestFiles.h"
#include "support/SoundFixture.h"
#include "support/TestEnv.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
class HandOverTest : public PulledSoundTest
{
protected:
    // Pulls until `done` or `limit` frames; everything pulled is kept.
    template <class Done>
    void PullUntil(Done done, int limit)
    {
        std::vector<float> block(441 * 2);
        for (int pulled = 0; pulled < limit && !done(); pulled += 441)
        {
            FSOUND_PullOutput(block.data(), 441);
            m_Out.insert(m_Out.end(), block.begin(), block.end());
        }
    }
    // The output frame where `track`'s first 256 frames begin, or -1.
    int64_t Find(const std::vector<float>& track) const
    {
        for (size_t at = 0; at + 512 <= m_Out.size(); at += 2)
            if (std::equal(track.begin(), track.begin() + 512, m_Out.begin() + long(at)))
                return int64_t(at / 2);
        return -1;
    }
    std::vector<float> m_Out;
};

FSOUND_STREAM* Open(const std::string& path)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    if (stream)
        FSOUND_Stream_SetLoopCount(stream, 0);
    return stream;
}

}  // namespace

TEST_F(HandOverTest, AStreamFollowsAModuleOnTheNextFrame)
{
    const std::string tone = TestFile("tone44.wav").m_Path;
    const std::vector<float> expected = DecodeAll(tone);
    FMUSIC_MODULE* module = FMUSIC_LoadSong(TestFile("song.mod").m_Path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_PlaySong(module);
    FMUSIC_SetLooping(module, 0);
    FSOUND_STREAM* next = Open(tone);
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(FSOUND_PlayAfter(next, nullptr, nullptr, module));
    PullUntil([&] { return FMUSIC_IsFinished(module) != 0; }, 44100 * 5);
    ASSERT_TRUE(FMUSIC_IsFinished(module));
    const int64_t end = FSOUND_GetLastEndFrame();
    PullUntil([] { return false; }, 4410);
    EXPECT_GT(end, 0);
    EXPECT_EQ(Find(expected), end);
    FSOUND_Stream_Close(next);
    FMUSIC_FreeSong(module);
}

TEST_F(HandOverTest, ThePausedOneHoldsTheNextBackAndAStoppedOneNeverHandsOver)
{
    const std::string first = TestFile("short.wav").m_Path;  // 0.5 s
    const std::string tone = TestFile("tone44.wav").m_Path;
    const std::vector<float> expected = DecodeAll(tone);
    FSOUND_STREAM* a = Open(first);
    FSOUND_STREAM* b = Open(tone);
    ASSERT_TRUE(a && b);
    FSOUND_Stream_Play(0, a);
    ASSERT_TRUE(FSOUND_PlayAfter(b, nullptr, a, nullptr));
    PullUntil([] { return false; }, 4410);
    // Paused (a stream pauses by stopping where it is): nothing follows.
    const unsigned int place = FSOUND_Stream_GetPosition(a);
    FSOUND_Stream_Stop(a);
    PullUntil([] { return false; }, 44100);
    EXPECT_EQ(Find(expected), -1) << "the next one started while the first was paused";
    // Played on, it hands over on its last frame.
    FSOUND_Stream_Play(0, a);
    FSOUND_Stream_SetPosition(a, place);
    PullUntil([&] { return FSOUND_Stream_GetPosition(a) >= 22050u && FSOUND_GetLastEndFrame() > 0; }, 44100 * 3);
    const int64_t end = FSOUND_GetLastEndFrame();
    PullUntil([] { return false; }, 4410);
    EXPECT_EQ(Find(expected), end);
    FSOUND_Stream_Close(b);

    // Stopped for good: the one after it never starts.
    m_Out.clear();
    FSOUND_STREAM* c = Open(tone);
    FSOUND_Stream_Play(0, a);
    ASSERT_TRUE(FSOUND_PlayAfter(c, nullptr, a, nullptr));
    PullUntil([] { return false; }, 4410);
    FSOUND_Stream_Close(a);
    PullUntil([] { return false; }, 44100);
    EXPECT_EQ(Find(expected), -1) << "the next one started after the first was closed";
    FSOUND_Stream_Close(c);
}
