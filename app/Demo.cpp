#include <cmath>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "app/PlayerKeys.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/Effect.h"
#include "content/EffectManager.h"
#include "content/Schedule.h"
#include "musicdisk/Player.h"
#include "render/Camera.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"

CDemo g_Demo;

void CDemo::Init()
{
    m_ScheduleIndex = 0;
    m_ShowTime = 0.0f;
    g_ClearColor = CColor(0.0f, 0.0f, 0.0f, 0.0f).m_Value;
    delete m_Camera;
    m_Camera = new CCamera(g_RenderWidth, g_RenderHeight);
    m_Camera->m_Near = 0.1f;
    m_Camera->m_Far = 1024.0f;
    m_Camera->UpdateProjection();
    g_Camera = m_Camera;
    RegisterDebugVar("s_DisplayStats", &g_DisplayStats, 1.0f, 0.0f, 1.0f, false);
    ShowWindow(g_hWnd, SW_SHOWDEFAULT);
    BringWindowToTop(g_hWnd);
    UpdateWindow(g_hWnd);
}

void CDemo::Shutdown()
{
    RemoveAllEffects();
    // The camera is the application's own: nothing uses it after this.
    if (g_Camera == m_Camera)
        g_Camera = nullptr;
    delete m_Camera;
    m_Camera = nullptr;
}

bool CDemo::Configure(HINSTANCE)
{
    g_VSync = true;
    if (m_ScreenChoice != 0)
    {
        g_Windowed = m_ScreenChoice == 1;
        return true;
    }
    const int answer = MessageBoxW(nullptr, L"Fullscreen?", L"ORBA", MB_YESNO);
    // A box that could not be shown at all (0) keeps the window: full
    // screen is only taken when asked for.
    g_Windowed = answer != IDYES;
    return true;
}

void CDemo::StepSchedule()
{
    if (m_ScheduleIndex == ScheduleRowCount)
    {
        if (g_EffectManager.m_Running.empty())
            g_Quit = true;
    }
    else
    {
        const SScheduleRow& row = g_EffectSchedule[m_ScheduleIndex];
        const float threshold = g_EffectSchedule[1].m_Start + m_ShowTime;
        if (row.m_Start < threshold)
        {
            if (row.m_ClassId != 2)
            {
                if (CEffect* effect = CreateEffect(row.m_ClassId, row.m_Layer, row.m_Lifetime))
                    AddEffect(effect);
            }
            ++m_ScheduleIndex;
        }
    }
    if (g_Input.IsKeyPressed('R'))
    {
        m_ScheduleIndex = 0;
        m_ShowTime = 0.0f;
        RemoveAllEffects();
        // The show starts over from the loading screen: nothing drawn
        // before is trusted to be the same.
        ForgetKeptLayers();
    }
}

void CDemo::Frame()
{
    // Held, or a tap however short (the latch every other key reads).
    if (g_Input.IsKeyDown(VK_ESCAPE) || g_Input.IsKeyPressed(VK_ESCAPE))
        g_Quit = true;
    const bool loading = IsLoadingActive();
    const float dt = g_DeltaTime;
    if (g_Drawing)
    {
        if (FAILED(g_Device->BeginScene()))
            return;
        g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, g_ClearColor, 0.0f, 0);
    }
    if (!loading)
    {
        StepSchedule();
        float fade = 255.0f - m_ShowTime * 133.33333f;
        if (fade < 0.0f)
            fade = 0.0f;
        g_ScreenFade = static_cast<uint8_t>(static_cast<int>(fade));
    }
    // Keys ask only a player that runs: none are kept for one to come.
    if (g_PlayerState.m_Present)
        ReadPlayerKeys();
    UpdateEffects(dt);
    if (!loading)
        m_ShowTime += dt;
    if (!g_Drawing)
        return;
    if (g_DisplayStats != 0.0f)
        DrawStatistics();
    g_Device->EndScene();
}

void CDemo::DrawStatistics()
{
    // A screen that installed its own camera may be gone: fall back to ours.
    const CCamera* camera = g_Camera ? g_Camera : m_Camera;
    DrawDebugText(32.0f, 32.0f, 0xC0808080, "FPS: %.2f", static_cast<double>(g_FPS));
    DrawDebugText(32.0f, 64.0f, 0xC0808080, "Total: %.2f", static_cast<double>(m_ShowTime));
    if (camera)
        DrawDebugText(32.0f, 100.0f, 0xC0808080, "Cam:\nPos = %.2f, %.2f, %.2f\nFocus = %.2f, %.2f, %.2f",
                      static_cast<double>(camera->m_Pos.x), static_cast<double>(camera->m_Pos.y),
                      static_cast<double>(camera->m_Pos.z), static_cast<double>(camera->m_Focus.x),
                      static_cast<double>(camera->m_Focus.y), static_cast<double>(camera->m_Focus.z));
}
