#include "support/Globals.h"

#include <cstring>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "app/RecorderHooks.h"
#include "app/Remembered.h"
#include "audio/Album.h"
#include "frame/AppState.h"
#include "frame/Report.h"
#include "musicdisk/MusicDisk.h"
#include "musicdisk/Player.h"
#include "render/DrawTiles.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/EffectManager.h"
#include "content/Loading.h"
#include "content/ResourceManager.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"

namespace {
long long s_Ticks = 0;
LONGLONG ManualCounter()
{
    return s_Ticks;
}
}  // namespace

void UseManualClock(long long startTicks)
{
    s_Ticks = startTicks;
    SetPerformanceCounterSource(&ManualCounter, 1000);
    g_Timer.m_TicksPerSecond = 1000;
}

void AdvanceManualClock(long long ticks)
{
    s_Ticks += ticks;
}

void UseRealClock()
{
    SetPerformanceCounterSource(nullptr, 0);
    LONGLONG frequency = 0;
    QueryPerformanceFrequency(&frequency);
    g_Timer.m_TicksPerSecond = frequency;
}

void ResetProgramState()
{
    RemoveAllEffects();
    g_EffectManager.m_Removals.clear();
    g_Input = CInput();
    g_Quit = false;
    g_Drawing = true;
    g_ClearColor = 0;
    ForgetReports();
    // The player's records, the album, the skin kept on the device, a
    // recording's look at its frames.
    ResetPlayerRecords();
    g_PauseIconAlpha = 0.0f;
    g_Album = CAlbum();
    g_Remembered = SRemembered();
    ForgetKeptLayers();
    SetRecordFrameTap(nullptr, nullptr);
    g_Demo.m_ScreenChoice = 0;
    g_ScreenFade = 0;
    g_ModelMatrix = D3DXMATRIX{1.0f};
    g_DeltaTime = 0.0f;
    g_TimeMs = 0.0;
    g_AbsoluteTime = 0.0;
    g_FPS = 0.0f;
    g_FrameCount = 0;
    g_FPSTime = 0.0;
    g_TimePaused = false;
    g_DebugPanel = false;
    ClearDebugVars();
    g_DisplayStats = 0.0f;
    g_LineVertexCount = 0;
    g_Demo.m_ScheduleIndex = 0;
    g_Demo.m_ShowTime = 0.0f;
    CLoading::s_FrameCount = 0;
    // Drain anything posted by an earlier test.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
    }
}
