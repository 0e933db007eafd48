#pragma once
// The application object and the globals of the frame loop. Main thread only.
#include <cstdint>

#include "platform/Win32.h"

class CCamera;

class CApp
{
public:
    virtual void Init() = 0;
    virtual void Shutdown() = 0;
    virtual void Frame() = 0;
    virtual bool Configure(HINSTANCE instance) = 0;
};

class CDemo : public CApp
{
public:
    void Init() override;
    void Shutdown() override;
    void Frame() override;
    bool Configure(HINSTANCE instance) override;

    // The effect schedule's step (starts rows, quits at its end, R restarts).
    void StepSchedule();
    void DrawStatistics();

    int32_t m_ScheduleIndex = 0;
    float m_ShowTime = 0.0f;
    CCamera* m_Camera = nullptr;
};

// A 32-bit ARGB colour built from floats alpha, red, green, blue.
struct CColor
{
    CColor(float a, float r, float g, float b);
    uint32_t m_Value;
};

extern CDemo g_Demo;
extern CApp* g_App;
extern bool g_Quit;
extern uint32_t g_ClearColor;
extern CCamera* g_Camera;

// The application's own camera: what g_Camera falls back to when a screen
// that installed its own camera goes away.
CCamera* GetAppCamera();

LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The entry point's body: start-up, the main loop, shutdown. Returns the
// process exit code.
int RunDemo();
// One iteration of the main loop (a message, or a frame).
void MainLoopIteration(MSG& msg);
