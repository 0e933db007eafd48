#pragma once
// The frame clocks, measured with the performance counter once per frame.
// Main thread only.
#include <cstdint>

class CTimer
{
public:
    CTimer();
    void Reset();
    void Tick();

    int64_t m_TicksPerSecond = 0;
    int64_t m_LastTick = 0;
    int64_t m_BaseTick = 0;
};

extern CTimer g_Timer;
extern float g_DeltaTime;
extern double g_TimeMs;
extern double g_AbsoluteTime;
extern float g_FPS;
extern uint32_t g_FrameCount;
extern double g_FPSTime;
extern bool g_TimePaused;

void UpdateFrameTime();
