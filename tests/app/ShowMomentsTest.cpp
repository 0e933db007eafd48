// The moments between steady frames: the player's first frames, F11 to full
// screen and back (twice, so the old buffers are used again), hiding and
// showing the window, and R. The live loop runs on Mesa on a clock of 1/fps a
// frame with the sound pulled as a recording pulls it; each frame after a
// moment is read back and compared with the same show time drawn afresh,
// nothing kept from before. Text, the cursor and the panel are on screen
// over the kept squares throughout.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/DebugPanel.h"
#include "content/ResourceManager.h"
#include "frame/DebugVars.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "musicdisk/Player.h"
#include "platform/FMOD.h"
#include "platform/Win32.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int Fps = 30;

LONGLONG s_Tick = 0;
LONGLONG FrameCounter()
{
    return s_Tick;
}

class ShowMomentsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveCommand("lame") || !HaveCommand("sox"))
            GTEST_SKIP() << "needs sox and lame";
        ResetProgramState();
        // A folder of each test's own: ctest runs them side by side.
        m_Dir = MakeTempDir(std::string("show-moments-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_Dir + "/Tamm_songs");
        ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 '" + m_Dir + "/d1.wav' synth 20 sine 200-3000 vol 0.6 && lame "
                             "--quiet '" + m_Dir + "/d1.wav' '" + m_Dir + "/Tamm_songs/tamm - day1.mp3'"),
                  0);
        m_Old = fs::current_path();
        fs::current_path(m_Dir);
        std::string why;
        ASSERT_TRUE(ChooseAlbum({}, {}, ProgramFolder(), &why)) << why;
        FSOUND_SetPulledOutput(1);
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
        s_Tick = 0;
        SetPerformanceCounterSource(FrameCounter, Fps);
        g_Timer.m_TicksPerSecond = Fps;
        g_Demo.m_ScreenChoice = 1;
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = WindowProc;
        wc.lpszClassName = "Demo";
        RegisterClassExA(&wc);
        ASSERT_TRUE(CreateRenderDevice()) << GetRenderDeviceError();
        m_Open = true;
        g_App->Init();
        g_Timer.Reset();
        // The cursor over the kept skin and the panel open. (The statistics
        // stay off: they show the show time after the frame's step, which a
        // drawing of the same moment cannot give again.)
        g_Input.m_MouseX = 700;
        g_Input.m_MouseY = 120;
        g_DebugPanel = true;
    }
    void TearDown() override
    {
        if (m_Open)
        {
            g_App->Shutdown();
            ReleaseResources();
            ReleaseRenderDevice();
            ClearDebugVars();
            UnregisterClassA("Demo", nullptr);
        }
        SetPerformanceCounterSource(nullptr, 0);
        FSOUND_Close();
        FSOUND_SetPulledOutput(0);
        if (!m_Old.empty())
            fs::current_path(m_Old);
        MSG stale = {};
        while (PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE))
        {
        }
        ResetProgramState();
    }

    // One frame of the live loop at the next tick. The last frame's sound is
    // pulled first, as a recording pulls it: a frame and its fresh drawing
    // hear the same.
    void Step()
    {
        if (m_Frame > 0)
        {
            std::vector<float> sound(size_t(44100 / Fps) * 2);
            FSOUND_PullOutput(sound.data(), 44100 / Fps);
        }
        s_Tick = m_Frame++;
        MSG msg = {};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            MainLoopIteration(msg);
        MainLoopIteration(msg);
    }
    void Tap(int key)
    {
        PostMessageA(nullptr, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
        PostMessageA(nullptr, WM_KEYUP, static_cast<WPARAM>(key), 0);
    }
    std::vector<uint32_t> Read()
    {
        // Full screen draws at the screen's own pixels.
        const int width = static_cast<int>(g_ScreenWidth), height = static_cast<int>(g_ScreenHeight);
        std::vector<uint32_t> pixels(size_t(width) * height);
        EXPECT_TRUE(g_Device->ReadPixels(pixels.data(), width, height));
        return pixels;
    }
    // The frame just drawn against the same show time drawn again from
    // nothing: no time passes, nothing kept is used, the same sound heard.
    void ExpectDrawnAfresh(const std::string& moment)
    {
        const std::vector<uint32_t> shown = Read();
        ForgetKeptLayers();
        // The show's fade is worked out before the frame's time is added.
        const float dt = g_DeltaTime;
        g_Demo.m_ShowTime -= dt;
        g_DeltaTime = 0.0f;
        g_App->Frame();
        UpdateDebugPanel();
        FinishFrame();
        g_Demo.m_ShowTime += dt;
        g_DeltaTime = dt;
        const std::vector<uint32_t> fresh = Read();
        size_t differing = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            differing += shown[i] != fresh[i];
        EXPECT_EQ(differing, 0u) << moment << ", frame " << m_Frame - 1;
        if (differing && getenv("MOMENTS_DUMP"))
        {
            WritePpm(shown, (m_Dir + "/shown.ppm").c_str());
            WritePpm(fresh, (m_Dir + "/fresh.ppm").c_str());
        }
    }
    void StepUntilThePlayer()
    {
        for (int i = 0; i < 60 * Fps && !g_PlayerState.m_Present; ++i)
            Step();
        ASSERT_TRUE(g_PlayerState.m_Present);
    }
    // `moment` happens before the next frame; that frame and two after it
    // must be what a fresh drawing gives.
    void CheckAfter(const std::string& name, const std::function<void()>& moment)
    {
        moment();
        for (int i = 0; i < 3; ++i)
        {
            Step();
            ExpectDrawnAfresh(name);
        }
    }

    std::string m_Dir;
    fs::path m_Old;
    bool m_Open = false;
    int64_t m_Frame = 0;
};

TEST_F(ShowMomentsTest, ThePlayersFirstFramesAndFullScreenThereAndBackTwice)
{
    StepUntilThePlayer();
    ExpectDrawnAfresh("the player's first frame");
    for (int i = 0; i < 2; ++i)
    {
        Step();
        ExpectDrawnAfresh("a steady frame");
    }
    for (int round = 0; round < 2; ++round)
    {
        CheckAfter("F11 to full screen", [&] { Tap(VK_F11); });
        EXPECT_FALSE(g_Windowed);
        CheckAfter("F11 back to the window", [&] { Tap(VK_F11); });
        EXPECT_TRUE(g_Windowed);
    }
    // The screensaver may start unless the player plays in full screen:
    // paused, F11 keeps it allowed; playing there stops it.
    Tap(VK_SPACE);
    Step();
    ASSERT_TRUE(g_PlayerState.m_Paused);
    EXPECT_TRUE(IsScreenSaverAllowed());
    CheckAfter("F11 to full screen while paused", [&] { Tap(VK_F11); });
    EXPECT_TRUE(IsScreenSaverAllowed());
    Tap(VK_SPACE);
    Step();
    EXPECT_FALSE(IsScreenSaverAllowed());
    Tap(VK_F11);
    Step();
    EXPECT_TRUE(IsScreenSaverAllowed());
}

TEST_F(ShowMomentsTest, HidingAndShowingTheWindowAndRestartingWithR)
{
    StepUntilThePlayer();
    Step();
    ShowWindow(g_hWnd, SW_HIDE);
    for (int i = 0; i < 4; ++i)
        Step();
    EXPECT_FALSE(g_Drawing);
    CheckAfter("shown again", [&] { ShowWindow(g_hWnd, SW_SHOWDEFAULT); });
    EXPECT_TRUE(g_Drawing);

    Tap('R');
    Step();
    EXPECT_FALSE(g_PlayerState.m_Present);
    StepUntilThePlayer();
    ExpectDrawnAfresh("the player's first frame after R");
    CheckAfter("the player after R", [] {});
}

}  // namespace
