// The mixer on its own, driven block by block: what it counts as an underrun.
#include "platform/sound/SoundMixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr int kBlock = 512;

struct CMixerRig
{
    CSoundMixer m_Mixer;
    CVoiceMix m_Voice;
    std::vector<float> m_Out = std::vector<float>(kBlock * 2);

    CMixerRig() { m_Voice.m_Ring.Allocate(8192); }
    ~CMixerRig() { m_Mixer.Detach(&m_Voice); }

    void Feed(int frames)
    {
        std::vector<float> ones(frames * 2, 0.25f);
        ASSERT_EQ(m_Voice.m_Ring.Write(ones.data(), frames), frames);
    }
    void MixBlock() { m_Mixer.Mix(m_Out.data(), kBlock, 0, 44100.0); }
};
}

TEST(SoundMixerTest, AStarvedRingCountsOneUnderrunPerBlock)
{
    CMixerRig rig;
    rig.Feed(kBlock * 2);
    ASSERT_TRUE(rig.m_Mixer.Attach(&rig.m_Voice));
    rig.MixBlock();
    rig.MixBlock();
    EXPECT_EQ(rig.m_Mixer.Underruns(), 0);

    // Half a block ready, the decoder not finished: the rest is a gap.
    rig.Feed(kBlock / 2);
    rig.MixBlock();
    EXPECT_EQ(rig.m_Mixer.Underruns(), 1);
    EXPECT_EQ(rig.m_Out[0], 0.25f);
    EXPECT_EQ(rig.m_Out[kBlock], 0.0f);
    rig.MixBlock();
    EXPECT_EQ(rig.m_Mixer.Underruns(), 2);
    EXPECT_FALSE(rig.m_Voice.m_Ended.load());
}

TEST(SoundMixerTest, TheLastShortBlockOfAFinishedStreamAndAPauseAreNoUnderruns)
{
    CMixerRig rig;
    rig.Feed(kBlock);
    ASSERT_TRUE(rig.m_Mixer.Attach(&rig.m_Voice));
    rig.m_Voice.m_Paused.store(true);
    rig.MixBlock();
    rig.MixBlock();
    EXPECT_EQ(rig.m_Mixer.Underruns(), 0);
    EXPECT_EQ(rig.m_Voice.m_Ring.Available(), kBlock); // nothing taken while paused

    rig.m_Voice.m_Paused.store(false);
    rig.Feed(kBlock / 3);
    rig.m_Voice.m_DecodeDone.store(true);
    rig.MixBlock();
    rig.MixBlock();
    EXPECT_EQ(rig.m_Mixer.Underruns(), 0);
    EXPECT_TRUE(rig.m_Voice.m_Ended.load());
    rig.MixBlock(); // an ended voice is left alone
    EXPECT_EQ(rig.m_Mixer.Underruns(), 0);
}
