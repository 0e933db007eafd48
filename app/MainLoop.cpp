#include <cstdio>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/DebugPanel.h"
#include "app/Desktop.h"
#include "app/FrameStats.h"
#include "app/WindowIcon.h"
#include "frame/AppState.h"
#include "frame/Input.h"
#include "frame/Player.h"
#include "frame/Timer.h"
#include "content/ResourceManager.h"
#include "platform/FMOD.h"
#include "render/RenderDevice.h"

namespace {

// How long a hidden window's loop sleeps between its updates: the music, the
// desktop's controls and the next track go on at ten updates a second.
constexpr DWORD HiddenWaitMs = 100;

// The screensaver may start unless the player plays in full screen.
void UpdateScreenSaver()
{
    static int s_Allowed = -1;
    const bool allow = g_Windowed || !g_PlayerState.m_Present || g_PlayerState.m_Paused || g_PlayerState.m_Stopped;
    if (s_Allowed != static_cast<int>(allow))
        AllowScreenSaver(allow ? TRUE : FALSE);
    s_Allowed = allow;
}

}  // namespace

void MainLoopIteration(MSG& msg)
{
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    else
    {
        // A window nobody can see draws nothing and lets the processor rest.
        g_Drawing = !g_hWnd || IsWindowVisible(g_hWnd);
        UpdateFrameTime();
        PollDesktop();
        g_App->Frame();
        if (g_Drawing)
        {
            UpdateDebugPanel();
            PresentFrame();
            CountFrame();
            Sleep(1);
        }
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, HiddenWaitMs, QS_ALLINPUT);
        UpdateScreenSaver();
        g_Input.Snapshot();
    }
    if (msg.message == WM_QUIT)
        g_Quit = true;
}

int RunDemo()
{
    WNDCLASSEXA wc;
    wc.cbSize = 48;
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Demo";
    const WNDCLASSEXA classRecord = wc;
    RegisterClassExA(&wc);
    QuitOnSignals();

    int exitCode = 0;
    // The question comes before the sound library starts its threads: SDL
    // shows its box from a forked child, which must not inherit them.
    if (CreateRenderDevice())
    {
        SayAlbumNotice();
        FSOUND_Init(44100, 32, 0);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
        OpenDesktop();
        SetWindowIconFromArtwork();
        MSG msg;
        g_App->Init();
        g_Timer.Reset();
        while (!g_Quit)
            MainLoopIteration(msg);
        // The sound goes first, so that nothing plays on while the rest closes.
        FSOUND_Close();
        g_App->Shutdown();
        CloseDesktop();
    }
    else
    {
        // A program that cannot show anything says so and fails, rather than
        // ending silently as if it had run.
        std::fprintf(stderr, "ORBA: cannot start: %s. It needs an X11 or Wayland desktop with OpenGL 3.3.\n",
                     GetRenderDeviceError());
        exitCode = 1;
    }
    ReleaseResources();
    ReleaseRenderDevice();
    ClearDebugVars();
    UnregisterClassA("Demo", classRecord.hInstance);
    return exitCode;
}
