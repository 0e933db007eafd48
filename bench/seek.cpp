// Seek latency through SDL's disk audio driver (real time): from the request
// to the first sample heard at the new place, against the same pipeline's
// resume after a pause as the baseline. Each iteration's time is the
// latency; the median over repetitions of five is what counts.
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/AudioTestFiles.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

struct SDiskStream
{
    SDiskStream()
    {
        const std::string dir = MakeTempDir("bench-seek");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
        FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
        FSOUND_Init(44100, 32, 0);
        m_Stream = FSOUND_Stream_Open(TestFile("vbr20.mp3").m_Path.c_str(), FSOUND_2D, 0, 0);
        FSOUND_Stream_SetLoopCount(m_Stream, -1);
        FSOUND_Stream_Play(0, m_Stream);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~SDiskStream()
    {
        FSOUND_Stream_Close(m_Stream);
        FSOUND_Close();
    }
    // Waits until the heard place moves past `frame`; the seconds it took.
    double WaitHeardPast(unsigned int frame, Clock::time_point since)
    {
        while (FSOUND_Stream_GetPosition(m_Stream) <= frame)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return std::chrono::duration<double>(Clock::now() - since).count();
    }
    FSOUND_STREAM* m_Stream = nullptr;
};

void BM_SeekLatency(benchmark::State& state)
{
    SDiskStream disk;
    int ms = 1000;
    for (auto _ : state)
    {
        ms = ms % 15000 + 3217;  // never where it already is
        const auto start = Clock::now();
        FSOUND_Stream_SetTime(disk.m_Stream, ms);
        // The place it lands on (rounded up to a whole frame), then one more heard.
        state.SetIterationTime(disk.WaitHeardPast(static_cast<unsigned int>((int64_t(ms) * 44100 + 999) / 1000), start));
    }
}
BENCHMARK(BM_SeekLatency)->UseManualTime()->Iterations(5)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The baseline: a paused stream played on, until its next sample is heard.
void BM_ResumeLatency(benchmark::State& state)
{
    SDiskStream disk;
    for (auto _ : state)
    {
        FSOUND_Stream_Stop(disk.m_Stream);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const unsigned int place = FSOUND_Stream_GetPosition(disk.m_Stream);
        const auto start = Clock::now();
        FSOUND_Stream_Play(0, disk.m_Stream);
        state.SetIterationTime(disk.WaitHeardPast(place, start));
    }
}
BENCHMARK(BM_ResumeLatency)->UseManualTime()->Iterations(5)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
