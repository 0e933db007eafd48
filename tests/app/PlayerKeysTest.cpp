// The player's keys: what each asks of the player in the frame it is pressed.
#include <gtest/gtest.h>

#include "app/App.h"
#include "app/PlayerKeys.h"
#include "frame/Input.h"
#include "musicdisk/Player.h"

namespace {

SPlayerRequests Tap(int key)
{
    g_Input = CInput();
    g_PlayerRequests = SPlayerRequests();
    WindowProc(nullptr, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    WindowProc(nullptr, WM_KEYUP, static_cast<WPARAM>(key), 0);  // a tap between frames
    ReadPlayerKeys();
    const SPlayerRequests r = g_PlayerRequests;
    g_Input = CInput();
    g_PlayerRequests = SPlayerRequests();
    return r;
}

TEST(PlayerKeysTest, EachKeyAsksForWhatItSays)
{
    EXPECT_EQ(Tap(VK_SPACE).m_Flags, uint32_t(PlayerPlayPause));
    EXPECT_EQ(Tap(VK_MEDIA_PLAY_PAUSE).m_Flags, uint32_t(PlayerPlayPause));
    EXPECT_EQ(Tap(VK_PLAY).m_Flags, uint32_t(PlayerPlay));
    EXPECT_EQ(Tap(VK_MEDIA_STOP).m_Flags, uint32_t(PlayerStop));
    EXPECT_EQ(Tap(VK_MEDIA_NEXT_TRACK).m_Flags, uint32_t(PlayerNext));
    EXPECT_EQ(Tap(VK_MEDIA_PREV_TRACK).m_Flags, uint32_t(PlayerPrevious));
    EXPECT_FLOAT_EQ(Tap(VK_OEM_PLUS).m_VolumeStep, 0.05f);
    EXPECT_FLOAT_EQ(Tap(VK_ADD).m_VolumeStep, 0.05f);
    EXPECT_FLOAT_EQ(Tap(VK_OEM_MINUS).m_VolumeStep, -0.05f);
    EXPECT_FLOAT_EQ(Tap(VK_SUBTRACT).m_VolumeStep, -0.05f);
    EXPECT_EQ(Tap('J').m_SeekByMs, -10000);
    EXPECT_EQ(Tap('L').m_SeekByMs, 10000);
    // The keys the show already uses ask nothing of the player.
    for (int key : {VK_ESCAPE, VK_F1, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SHIFT, int('R')})
    {
        const SPlayerRequests r = Tap(key);
        EXPECT_EQ(r.m_Flags, 0u) << key;
        EXPECT_EQ(r.m_VolumeStep, 0.0f) << key;
    }
}

TEST(PlayerKeysTest, TheWheelMovesTheVolumeANotchAtATime)
{
    g_Input = CInput();
    g_PlayerRequests = SPlayerRequests();
    const auto wheel = [](int notches) {
        const auto delta = static_cast<uint16_t>(static_cast<int16_t>(notches * WHEEL_DELTA));
        WindowProc(nullptr, WM_MOUSEWHEEL, static_cast<WPARAM>(delta) << 16, 0);
    };
    wheel(2);
    wheel(1);
    ReadPlayerKeys();
    EXPECT_FLOAT_EQ(g_PlayerRequests.m_VolumeStep, 0.15f);
    g_Input.Snapshot();  // the turns are used up with the frame
    g_PlayerRequests = SPlayerRequests();
    wheel(-1);
    ReadPlayerKeys();
    EXPECT_FLOAT_EQ(g_PlayerRequests.m_VolumeStep, -0.05f);
    g_Input = CInput();
    g_PlayerRequests = SPlayerRequests();
}

}  // namespace
