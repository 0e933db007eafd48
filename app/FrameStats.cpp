#include "app/FrameStats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double ReportSeconds = 5.0;

struct SFrameStats
{
    bool m_On = std::getenv("ORBA_FRAME_STATS") != nullptr;
    double m_Start = -1.0;   // the span's first frame
    double m_Last = -1.0;
    double m_Longest = 0.0;
    int m_Frames = 0;
};

SFrameStats s_Stats;

}  // namespace

void CountFrame()
{
    SFrameStats& s = s_Stats;
    if (!s.m_On)
        return;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    if (s.m_Start < 0.0)
    {
        s = SFrameStats{true, now, now, 0.0, 0};
        return;
    }
    s.m_Longest = std::max(s.m_Longest, now - s.m_Last);
    s.m_Last = now;
    ++s.m_Frames;
    const double span = now - s.m_Start;
    if (span < ReportSeconds)
        return;
    std::fprintf(stderr, "ORBA: frames: %d in %.2f s, %.1f a second, longest %.1f ms\n", s.m_Frames, span,
                 s.m_Frames / span, s.m_Longest * 1000.0);
    s = SFrameStats{true, now, now, 0.0, 0};
}
