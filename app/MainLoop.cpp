#include <cstdio>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/ResourceManager.h"
#include "platform/FMOD.h"
#include "render/RenderDevice.h"

void MainLoopIteration(MSG& msg)
{
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    else
    {
        UpdateFrameTime();
        g_App->Frame();
        UpdateDebugPanel();
        PresentFrame();
        Sleep(1);
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

    FSOUND_Init(44100, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);

    int exitCode = 0;
    if (CreateRenderDevice())
    {
        MSG msg;
        g_App->Init();
        g_Timer.Reset();
        while (!g_Quit)
            MainLoopIteration(msg);
        g_App->Shutdown();
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
