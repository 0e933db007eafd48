// The live driver of the show: the real clock, the window's events and the
// desktop bus, frames presented on screen, the end when the window goes.
#include <cstdio>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Desktop.h"
#include "app/FrameStats.h"
#include "app/Remembered.h"
#include "app/Show.h"
#include "app/WindowIcon.h"
#include "frame/AppState.h"
#include "musicdisk/Player.h"
#include "render/RenderDevice.h"

namespace {

// How long a hidden window's loop sleeps between its updates: the music, the
// desktop's controls and the next track go on at ten updates a second.
constexpr DWORD HiddenWaitMs = 100;

class CLiveShow : public CShowDriver
{
public:
    int Start() override
    {
        SayAlbumNotice();
        OpenDesktop();
        SetWindowIconFromArtwork();
        m_ScreenSaverAllowed = -1;
        return 0;
    }
    int CannotStart(const char* why) override
    {
        // A program that cannot show anything says so and fails, rather than
        // ending silently as if it had run.
        std::fprintf(stderr, "ORBA: cannot start: %s. It needs an X11 or Wayland desktop with OpenGL 3.3.\n", why);
        return 1;
    }
    void Stop() override
    {
        CloseDesktop();
        FlushRemembered();
    }

    int64_t Now() override
    {
        LONGLONG now = 0;
        QueryPerformanceCounter(&now);
        return now;
    }
    int64_t TicksPerSecond() override
    {
        LONGLONG frequency = 0;
        QueryPerformanceFrequency(&frequency);
        return frequency;
    }
    // One message a turn; a frame once none waits.
    bool NextEvent(MSG& msg) override { return PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE; }
    // A window nobody can see draws nothing and lets the processor rest.
    bool Drawing() override { return !g_hWnd || IsWindowVisible(g_hWnd); }
    void BeforeFrame() override { PollDesktop(); }
    bool EndFrame() override
    {
        PresentFrame();
        CountFrame();
        Sleep(1);
        return true;
    }
    void Rest() override { MsgWaitForMultipleObjects(0, nullptr, FALSE, HiddenWaitMs, QS_ALLINPUT); }
    // The screensaver may start unless the player plays in full screen.
    void AfterFrame() override
    {
        const SPlayerState& p = g_PlayerState;
        const bool allow = g_Windowed || !p.m_Present || p.m_Paused || p.m_Stopped;
        if (m_ScreenSaverAllowed != static_cast<int>(allow))
            AllowScreenSaver(allow ? TRUE : FALSE);
        m_ScreenSaverAllowed = allow;
        if (p.m_Present)
            FollowVolume(p.m_Volume, Now() * 1000 / TicksPerSecond());
    }

private:
    int m_ScreenSaverAllowed = -1;  // as last told to the platform; -1 not yet
};

CLiveShow s_Live;

}  // namespace

void MainLoopIteration(MSG& msg)
{
    ShowIteration(s_Live, msg);
}

int RunDemo(const SShowOptions& options)
{
    const int code = RunShow(options, s_Live);
    SWindowPlace place;
    if (LastWindowPlace(&place))
        RememberWindowPlace(place);
    return code;
}
