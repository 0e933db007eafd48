#include <gtest/gtest.h>

#include "app/App.h"
#include "frame/Input.h"
#include "support/Globals.h"

namespace {

class InputTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetProgramState(); }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return WindowProc(nullptr, msg, w, l); }
};

TEST_F(InputTest, KeysRecordDownAndUpByVirtualKey)
{
    Send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(g_Input.m_Keys[VK_ESCAPE], 1);
    Send(WM_KEYUP, VK_ESCAPE);
    EXPECT_EQ(g_Input.m_Keys[VK_ESCAPE], 0);
    // System keys are left to default handling, so Alt+F4 closes as usual.
    Send(WM_SYSKEYDOWN, 'X');
    EXPECT_EQ(g_Input.m_Keys['X'], 0);
}

TEST_F(InputTest, MouseMessagesAreHandledAndReturnZero)
{
    EXPECT_EQ(Send(WM_MOUSEMOVE, 0, MAKELPARAM(123, 456)), 0);
    EXPECT_EQ(g_Input.m_MouseX, 123);
    EXPECT_EQ(g_Input.m_MouseY, 456);

    const UINT downs[3] = {WM_MBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDOWN};
    const UINT ups[3] = {WM_MBUTTONUP, WM_RBUTTONUP, WM_LBUTTONUP};
    for (int b = 0; b < 3; ++b)
    {
        EXPECT_EQ(Send(downs[b]), 0);
        EXPECT_EQ(g_Input.m_Buttons[b], 1) << "button " << b;
        EXPECT_EQ(Send(ups[b]), 0);
        EXPECT_EQ(g_Input.m_Buttons[b], 0) << "button " << b;
    }
}

TEST_F(InputTest, PositionsOutsideTheClientAreaArriveSigned)
{
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(-5, -300));
    EXPECT_EQ(g_Input.m_MouseX, -5);
    EXPECT_EQ(g_Input.m_MouseY, -300);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(2000, 1500));
    EXPECT_EQ(g_Input.m_MouseX, 2000);
    EXPECT_EQ(g_Input.m_MouseY, 1500);
}

TEST_F(InputTest, AutoRepeatCountsAsPressedForExactlyOneFrame)
{
    Send(WM_KEYDOWN, VK_UP);
    EXPECT_TRUE(g_Input.IsKeyPressed(VK_UP));
    g_Input.Snapshot();
    Send(WM_KEYDOWN, VK_UP);  // repeat
    EXPECT_TRUE(g_Input.IsKeyDown(VK_UP));
    EXPECT_FALSE(g_Input.IsKeyPressed(VK_UP));
    g_Input.Snapshot();
    EXPECT_FALSE(g_Input.IsKeyPressed(VK_UP));
}

// A tap shorter than a frame (a touchpad tap, a quick key) counts once, in
// the next frame, for keys and buttons alike.
TEST_F(InputTest, PressAndReleaseBetweenFramesCountsOnceInTheNextFrame)
{
    Send(WM_KEYDOWN, 'R');
    Send(WM_KEYUP, 'R');
    EXPECT_FALSE(g_Input.IsKeyDown('R'));
    EXPECT_TRUE(g_Input.IsKeyPressed('R'));
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(10, 20));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
    EXPECT_FALSE(g_Input.IsButtonDown(BUTTON_LEFT));
    EXPECT_TRUE(g_Input.IsButtonPressed(BUTTON_LEFT));
    EXPECT_FALSE(g_Input.IsButtonHeld(BUTTON_LEFT));
    g_Input.Snapshot();
    EXPECT_FALSE(g_Input.IsKeyPressed('R'));
    EXPECT_FALSE(g_Input.IsButtonPressed(BUTTON_LEFT));
    // Held across frames it is one press too, and auto-repeat adds none.
    Send(WM_KEYDOWN, 'R');
    g_Input.Snapshot();
    Send(WM_KEYDOWN, 'R');
    EXPECT_FALSE(g_Input.IsKeyPressed('R'));
}

TEST_F(InputTest, ButtonEdgesAcrossTheSnapshot)
{
    Send(WM_LBUTTONDOWN);
    EXPECT_TRUE(g_Input.IsButtonPressed(BUTTON_LEFT));
    EXPECT_FALSE(g_Input.IsButtonHeld(BUTTON_LEFT));
    g_Input.Snapshot();
    EXPECT_FALSE(g_Input.IsButtonPressed(BUTTON_LEFT));
    EXPECT_TRUE(g_Input.IsButtonHeld(BUTTON_LEFT));
    Send(WM_LBUTTONUP);
    EXPECT_FALSE(g_Input.IsButtonDown(BUTTON_LEFT));
    g_Input.Snapshot();
    EXPECT_EQ(g_Input.m_PrevButtons[BUTTON_LEFT], 0);
}

TEST_F(InputTest, DestroyPostsQuit)
{
    EXPECT_EQ(Send(WM_DESTROY), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
}

}  // namespace
