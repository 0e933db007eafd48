#pragma once
// The frame clocks, measured once per frame on the clock the show hands in:
// the performance counter live, the frame count in a recording.
// Main thread only.
#include <cstdint>

// Where time comes from.
class CClock
{
public:
    virtual int64_t Now() = 0;
    virtual int64_t TicksPerSecond() = 0;

protected:
    ~CClock() = default;
};

class CTimer
{
public:
    CTimer();
    // Reads `clock` from now on, at its rate; null reads the performance
    // counter (at the rate already set).
    void UseClock(CClock* clock);
    void Reset();
    void Tick();

    int64_t m_TicksPerSecond = 0;
    int64_t m_LastTick = 0;
    int64_t m_BaseTick = 0;

private:
    int64_t Now() const;

    CClock* m_Clock = nullptr;
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
