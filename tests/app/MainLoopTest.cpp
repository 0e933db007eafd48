#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"

namespace {

// An application that notes its frames in the device's log, so that the
// order of frame, panel and present can be read from one list.
class CRecordingApp : public CApp
{
public:
    void Init() override {}
    void Shutdown() override {}
    void Frame() override
    {
        ++m_Frames;
        m_KeyDownInFrame = g_Input.IsKeyDown('A');
        m_DeltaSeenInFrame = g_DeltaTime;
        SRecordedCall c;
        c.m_Name = "Frame";
        static_cast<CRecordingDevice*>(g_Device)->m_Log.push_back(c);
    }
    bool Configure(HINSTANCE) override { return true; }

    int m_Frames = 0;
    bool m_KeyDownInFrame = false;
    float m_DeltaSeenInFrame = -1.0f;
};

class MainLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        m_Device = InstallRecordingDevice();
        m_Saved = g_App;
        g_App = &m_App;
        UseManualClock();
        g_Timer.Reset();
        // Messages posted to no window reach the procedure of the class, as
        // in the program.
        WNDCLASSEXA wc;
        wc.cbSize = 48;
        wc.lpfnWndProc = WindowProc;
        wc.lpszClassName = "Demo";
        RegisterClassExA(&wc);
    }
    void TearDown() override
    {
        UnregisterClassA("Demo", nullptr);
        g_App = m_Saved;
        UseRealClock();
        RemoveRecordingDevice();
        ResetProgramState();
    }

    CRecordingApp m_App;
    CApp* m_Saved = nullptr;
    CRecordingDevice* m_Device = nullptr;
    MSG m_Msg;
};

TEST_F(MainLoopTest, PendingMessagesAreHandledOnePerIterationBeforeAnyFrame)
{
    for (int i = 0; i < 3; ++i)
        PostMessageA(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(10 * i, 0));
    for (int i = 0; i < 3; ++i)
    {
        MainLoopIteration(m_Msg);
        EXPECT_EQ(m_App.m_Frames, 0);
        EXPECT_EQ(g_Input.m_MouseX, 10 * i);
    }
    MainLoopIteration(m_Msg);
    EXPECT_EQ(m_App.m_Frames, 1);
}

TEST_F(MainLoopTest, FrameRunsBeforePresentAndTheSnapshotComesLast)
{
    PostMessageA(nullptr, WM_KEYDOWN, 'A', 0);
    AdvanceManualClock(16);
    // The key-down, then the character message translation adds, then a frame.
    for (int i = 0; i < 5 && m_App.m_Frames == 0; ++i)
        MainLoopIteration(m_Msg);
    ASSERT_EQ(m_App.m_Frames, 1);
    // The frame saw the key as newly pressed and the fresh delta.
    EXPECT_TRUE(m_App.m_KeyDownInFrame);
    EXPECT_FLOAT_EQ(m_App.m_DeltaSeenInFrame, 0.016f);
    const std::vector<std::string> names = m_Device->Names();
    const auto frame = std::find(names.begin(), names.end(), "Frame");
    const auto present = std::find(names.begin(), names.end(), "Present");
    ASSERT_NE(frame, names.end());
    ASSERT_NE(present, names.end());
    EXPECT_LT(frame, present);
    // After the frame the key is held, no longer newly pressed.
    EXPECT_FALSE(g_Input.IsKeyPressed('A'));
    EXPECT_TRUE(g_Input.IsKeyDown('A'));
}

TEST_F(MainLoopTest, PresentStillRunsWhenTheDemoCannotBeginItsScene)
{
    // A lost device refuses the scene; the present is what tells the device
    // layer to try again, so it must come every frame all the same.
    g_App = &g_Demo;
    g_Demo.Init();
    m_Device->m_FailBeginScene = true;
    AdvanceManualClock(16);
    MainLoopIteration(m_Msg);
    g_Demo.Shutdown();
    EXPECT_EQ(m_Device->Names(), (std::vector<std::string>{"BeginScene", "Present"}));
}

TEST_F(MainLoopTest, QuitMessageEndsTheLoop)
{
    PostQuitMessage(0);
    MainLoopIteration(m_Msg);
    EXPECT_TRUE(g_Quit);
    EXPECT_EQ(m_App.m_Frames, 0);
}

TEST_F(MainLoopTest, CloseGoesThroughDestroyToQuit)
{
    // Default handling of WM_CLOSE destroys the window; WM_DESTROY posts WM_QUIT.
    PostMessageA(nullptr, WM_CLOSE, 0, 0);
    for (int i = 0; i < 4 && !g_Quit; ++i)
        MainLoopIteration(m_Msg);
    EXPECT_TRUE(g_Quit);
}

}  // namespace
