#include "frame/Timer.h"

#include "frame/DebugVars.h"
#include "frame/Input.h"
#include "platform/Win32.h"

CTimer g_Timer;
float g_DeltaTime = 0.0f;
double g_TimeMs = 0.0;
double g_AbsoluteTime = 0.0;
float g_FPS = 0.0f;
uint32_t g_FrameCount = 0;
double g_FPSTime = 0.0;
bool g_TimePaused = false;

CTimer::CTimer()
{
    LONGLONG frequency = 0;
    QueryPerformanceFrequency(&frequency);
    m_TicksPerSecond = frequency;
}

void CTimer::UseClock(CClock* clock)
{
    m_Clock = clock;
    if (clock)
        m_TicksPerSecond = clock->TicksPerSecond();
}

int64_t CTimer::Now() const
{
    if (m_Clock)
        return m_Clock->Now();
    LONGLONG now = 0;
    QueryPerformanceCounter(&now);
    return now;
}

void CTimer::Reset()
{
    const int64_t now = Now();
    m_BaseTick = now;
    m_LastTick = now;
    g_TimeMs = 0.0;
    g_AbsoluteTime = 0.0;
    g_DeltaTime = 0.0f;
    g_FrameCount = 0;
}

void CTimer::Tick()
{
    const int64_t now = Now();
    // A counter without a frequency would divide by zero: no time passes.
    const double ticksPerSecond = m_TicksPerSecond > 0 ? static_cast<double>(m_TicksPerSecond) : 0.0;
    float delta = ticksPerSecond > 0.0 ? static_cast<float>(static_cast<double>(now - m_LastTick) / ticksPerSecond) : 0.0f;
    m_LastTick = now;
    if (delta < 0.0f)
        delta = 0.0f;
    g_AbsoluteTime = ticksPerSecond > 0.0 ? static_cast<double>(now) / ticksPerSecond : 0.0;
    g_DeltaTime = delta;
}

void UpdateFrameTime()
{
    ++g_FrameCount;
    g_Timer.Tick();
    const double span = g_AbsoluteTime - g_FPSTime;
    if (span > 1.0)
    {
        g_FPS = static_cast<float>(static_cast<double>(g_FrameCount) / span);
        g_FrameCount = 0;
        g_FPSTime = g_AbsoluteTime;
    }
    if (!g_DebugPanel)
    {
        if (g_Input.IsKeyDown(VK_RIGHT))
            g_DeltaTime *= 4.0f;
        if (g_Input.IsKeyPressed(VK_UP))
            g_TimePaused = !g_TimePaused;
    }
    if (g_TimePaused)
        g_DeltaTime = 0.0f;
    g_TimeMs += static_cast<double>(g_DeltaTime) * 1000.0;
}
