// The show loop and its start-up and shutdown, shared by every driver.
#include "app/Show.h"

#include <csignal>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "frame/AppState.h"
#include "frame/DebugVars.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/ResourceManager.h"
#include "platform/FMOD.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"

namespace {

constexpr char WindowClass[] = "Demo";

SWindowPlace s_LastPlace, s_OpenedPlace;
bool s_HaveLastPlace = false;

bool SamePlace(const SWindowPlace& a, const SWindowPlace& b)
{
    return a.m_X == b.m_X && a.m_Y == b.m_Y && a.m_Width == b.m_Width && a.m_Height == b.m_Height &&
           a.m_FullScreen == b.m_FullScreen;
}

// Window keys are taken between frames, never inside one: a full-screen
// switch changes the target, and a frame must be cleared and drawn whole
// into the one it is shown from.
void ApplyWindowKeys()
{
    if (g_Input.IsKeyPressed(VK_F11))
        ToggleFullScreen();
    if (g_Input.IsKeyPressed(VK_OEM_6))
        StepWindowSize(+1);
    if (g_Input.IsKeyPressed(VK_OEM_4))
        StepWindowSize(-1);
    ApplyRenderSize();
}

}  // namespace

bool LastWindowPlace(SWindowPlace* place)
{
    if (s_HaveLastPlace)
        *place = s_LastPlace;
    return s_HaveLastPlace;
}

void ShowIteration(CShowDriver& driver, MSG& msg)
{
    if (driver.NextEvent(msg))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    else
    {
        const bool drawing = driver.Drawing();
        // What was kept of an unseen window's frames is not trusted again.
        if (drawing && !g_Drawing)
            ForgetKeptLayers();
        g_Drawing = drawing;
        ApplyWindowKeys();
        UpdateFrameTime();
        driver.BeforeFrame();
        g_App->Frame();
        bool goOn = true;
        if (g_Drawing)
        {
            UpdateDebugPanel();
            goOn = driver.EndFrame();
        }
        else
            driver.Rest();
        driver.AfterFrame();
        g_Input.Snapshot();
        if (!goOn)
            g_Quit = true;
    }
    if (msg.message == WM_QUIT)
        g_Quit = true;
}

int RunShow(const SShowOptions& options, CShowDriver& driver)
{
    driver.Prepare();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = WindowClass;
    RegisterClassExA(&wc);
    // Nothing left from a show before (its window's quit) ends this one.
    MSG stale = {};
    while (PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE))
    {
    }
    // Ctrl-C and kill end the show through its own shutdown.
    QuitOnSignals();
    // A full disk (or a file size limit) must be an error, not a kill.
    std::signal(SIGXFSZ, SIG_IGN);
    g_PlayerOptions = options.m_Player;
    g_Demo.m_ScreenChoice = options.m_Screen;
    g_Quit = false;
    g_StartScale = options.m_Scale;
    g_StartWidth = options.m_FrameWidth;
    g_StartHeight = options.m_FrameHeight;
    SetWindowPlaceToOpen(options.m_HavePlace ? &options.m_Place : nullptr);
    s_HaveLastPlace = false;

    int exitCode = 0;
    // The question comes before the sound library starts its threads: SDL
    // shows its box from a forked child, which must not inherit them.
    if (CreateRenderDevice())
    {
        if (!GetWindowPlace(g_hWnd, &s_OpenedPlace))
            s_OpenedPlace = SWindowPlace();
        FSOUND_SetPulledOutput(options.m_PulledSound ? 1 : 0);
        FSOUND_Init(options.m_SoundRate, 32, 0);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
        exitCode = driver.Start();
        if (exitCode == 0)
        {
            MSG msg = {};
            g_App->Init();
            g_Timer.UseClock(&driver);
            g_Timer.Reset();
            while (!g_Quit)
                ShowIteration(driver, msg);
            driver.Stop();
            g_Timer.UseClock(nullptr);
        }
        // The sound goes first, so that nothing plays on while the rest
        // closes. A pulled output plays nothing by itself: it is left to
        // whoever pulled it (it closes with the process).
        if (!options.m_PulledSound)
            FSOUND_Close();
        g_App->Shutdown();
    }
    else
        exitCode = driver.CannotStart(GetRenderDeviceError());
    ReleaseResources();
    // Only a window moved, sized or switched has a new place to tell.
    s_HaveLastPlace = g_hWnd && GetWindowPlace(g_hWnd, &s_LastPlace) && !SamePlace(s_LastPlace, s_OpenedPlace);
    ReleaseRenderDevice();
    SetWindowPlaceToOpen(nullptr);
    g_StartScale = 0.0f;
    g_StartWidth = g_StartHeight = 0;
    ForgetKeptLayers();
    ClearDebugVars();
    UnregisterClassA(WindowClass, wc.hInstance);
    g_PlayerOptions = SPlayerOptions();
    return exitCode != 0 ? exitCode : driver.Finish();
}
