#pragma once
// The application: CDemo, the window procedure and the entry point's body.
// Main thread only.
#include <cstdint>

#include "frame/AppState.h"

class CDemo : public CApp
{
public:
    CDemo() { g_App = this; }
    void Init() override;
    void Shutdown() override;
    void Frame() override;
    bool Configure(HINSTANCE instance) override;
    CCamera* GetCamera() override { return m_Camera; }

    // The effect schedule's step (starts rows, quits at its end, R restarts).
    void StepSchedule();
    void DrawStatistics();

    int32_t m_ScheduleIndex = 0;
    float m_ShowTime = 0.0f;
    CCamera* m_Camera = nullptr;
    // 0 asks "Fullscreen?"; 1 opens a window and 2 full screen without asking
    // (the command line's --windowed and --fullscreen).
    int m_ScreenChoice = 0;
};

extern CDemo g_Demo;

LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

struct SShowOptions;

// The live show in a window: start-up, the main loop, shutdown. Returns the
// process exit code.
int RunDemo(const SShowOptions& options);
// One iteration of the live show's loop (a message, or a frame).
void MainLoopIteration(MSG& msg);
