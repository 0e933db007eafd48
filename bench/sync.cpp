// How late the picture follows the sound. A generated track (silence broken
// by short loud bursts at uneven spacing) plays through the real sound
// library and SDL's disk audio driver, which takes blocks at real-time pace,
// while the finished player runs its frame at 60 frames a second on the real
// device. An onset counts as heard when the block holding its first sample
// is handed to the output (the callback's time); it counts as shown by the
// first frame whose read-back equaliser has jumped, and for the blob by the
// first frame whose metaball strengths rose. The delay runs to that frame's
// present. The counters are milliseconds: median, 95th percentile, worst;
// the printed lines add the same measured from when the driver reached the
// onset's sample within its block, and where the time went.
//
//   build/bench/bench_sync            (about 25 s; SDL_VIDEODRIVER may be set)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/Album.h"
#include "audio/Audio.h"
#include "content/ResourceManager.h"
#include "frame/Timer.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "render/RenderDevice.h"
#include "support/AudioTestFiles.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

constexpr int Rate = 44100;
constexpr int OnsetCount = 40;
constexpr double LeadSeconds = 0.6;
constexpr double BurstSeconds = 0.06;
constexpr double FramePeriod = 1.0 / 60.0;
// The equaliser's bars stand at 3 pixels in silence; a jump lights many
// more pixels of their columns than the blob can move behind them.
constexpr int JumpPixels = 150;
// Silence leaves every ball at strength 2; a burst lifts it by tenths.
constexpr float RisenStrength = 2.02f;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Onsets 0.5 to 0.7 s apart, the spacing uneven so that it never locks to
// the frame or block rate; each a 60 ms noise burst with a sharp front.
std::vector<int64_t> WriteTrack(const std::string& path)
{
    std::vector<int64_t> onsets;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    double t = LeadSeconds;
    for (int i = 0; i < OnsetCount; ++i)
    {
        onsets.push_back(static_cast<int64_t>(t * Rate));
        t += 0.5 + 0.2 * next();
    }
    const int64_t frames = static_cast<int64_t>((t + 0.3) * Rate);
    std::vector<float> stereo(static_cast<size_t>(frames) * 2, 0.0f);
    const int burst = static_cast<int>(BurstSeconds * Rate);
    for (int64_t at : onsets)
        for (int i = 0; i < burst; ++i)
        {
            const float s = (next() * 2.0f - 1.0f) * 0.6f * std::exp(-3.0f * i / burst);
            stereo[static_cast<size_t>(at + i) * 2] = s;
            stereo[static_cast<size_t>(at + i) * 2 + 1] = s;
        }
    WriteFloatWav(path, Rate, stereo);
    return onsets;
}

struct SFrame
{
    double m_Present = 0.0;
    double m_Update = 0.0;
    int64_t m_HeardFrame = 0; // the library's heard position at the update
    int m_Lit = 0;         // equaliser pixels unlike the silent frame
    float m_Strength = 0;  // the strongest ball
};

struct SBlock
{
    int64_t m_Frame = 0;
    int m_Length = 0;
    double m_Seconds = 0.0;
};

int EqualiserPixels(const std::vector<uint32_t>& pixels, const std::vector<uint32_t>& silent)
{
    int lit = 0;
    for (int k = 0; k < EqualiserBarCount; ++k)
    {
        const int x = EqualiserColumn(k);
        for (int y = EqualiserTop; y < EqualiserFoot; ++y)
            lit += PixelAt(pixels, x, y) != PixelAt(silent, x, y);
    }
    return lit;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const double rank = std::ceil(p * static_cast<double>(v.size()));
    return v[std::clamp<size_t>(static_cast<size_t>(std::max(rank, 1.0)) - 1, 0, v.size() - 1)];
}

// The delay from each onset heard to the first frame that shows it; frames
// from 100 ms before the onset count, so a picture early is seen as such.
template <class Shows>
std::vector<double> Delays(const std::vector<double>& heard, const std::vector<SFrame>& frames, Shows shows)
{
    std::vector<double> delays;
    for (size_t n = 0; n < heard.size(); ++n)
    {
        if (heard[n] < 0.0)
            continue;
        const double until = n + 1 < heard.size() && heard[n + 1] >= 0.0 ? heard[n + 1] - 0.1 : heard[n] + 0.4;
        for (const SFrame& f : frames)
            if (f.m_Present >= heard[n] - 0.1 && f.m_Present < until && shows(f))
            {
                delays.push_back((f.m_Present - heard[n]) * 1000.0);
                break;
            }
    }
    return delays;
}

void Report(benchmark::State& state, const char* name, const std::vector<double>& delays, size_t onsets)
{
    state.counters[std::string(name) + "_med"] = Percentile(delays, 0.5);
    state.counters[std::string(name) + "_p95"] = Percentile(delays, 0.95);
    state.counters[std::string(name) + "_max"] = Percentile(delays, 1.0);
    state.counters[std::string(name) + "_seen"] = static_cast<double>(delays.size()) / static_cast<double>(onsets);
    std::printf("%-10s onsets seen %zu of %zu, delay ms: median %.1f  p95 %.1f  worst %.1f  best %.1f\n", name,
                delays.size(), onsets, Percentile(delays, 0.5), Percentile(delays, 0.95), Percentile(delays, 1.0),
                Percentile(delays, 0.0));
}

void BM_Sync(benchmark::State& state)
{
    const std::string dir = MakeTempDir("bench-sync");
    const std::string track = dir + "/onsets.wav";
    const std::vector<int64_t> onsets = WriteTrack(track);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);

    FSOUND_Init(44100, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    if (FSOUND_Test_IsSilentOutput())
    {
        state.SkipWithError("no SDL disk audio driver");
        return;
    }
    if (!OpenRealDevice())
    {
        state.SkipWithError("no OpenGL 3.3");
        return;
    }
    float progress = 0.0f;
    while (!LoadNextResource(progress))
    {
    }
    CAlbum album;
    album.m_DayNames = false;
    album.m_Tracks.push_back({track, "sync", "sync", "", ""});
    g_Album = album;

    std::vector<SFrame> frames;
    std::vector<SBlock> blocks;
    std::vector<uint32_t> silent;
    int64_t startFrame = -1;
    std::vector<double> copies;
    int64_t underruns = 0;
    for (auto _ : state)
    {
        FSOUND_Test_LogOutputBlocks(1 << 14);
        auto* disk = new CMusicDisk;
        auto* stream = static_cast<FSOUND_STREAM*>(disk->m_Handle ? disk->m_Handle->GetHandle() : nullptr);
        const double begin = Now();
        const double end = begin + static_cast<double>(onsets.back()) / Rate + 0.8;
        double next = begin;
        for (int n = 0; Now() < end; ++n)
        {
            SFrame f;
            f.m_Update = Now();
            f.m_HeardFrame = FSOUND_Test_HeardFrame();
            g_TimeMs = (f.m_Update - begin) * 1000.0;
            g_DeltaTime = static_cast<float>(FramePeriod);
            g_Device->BeginScene();
            g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
            g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
            disk->Update(g_DeltaTime);
            for (CBall* ball : disk->m_Balls)
                f.m_Strength = std::max(f.m_Strength, ball->m_Strength);
            disk->Render();
            g_Device->EndScene();
            // The read-back waits for the drawing, as the present would have;
            // what the copy itself costs is taken off the present's time
            // (measured by reading some frames twice).
            const std::vector<uint32_t> pixels = ReadBackBuffer();
            if (n >= 5 && n < 35)
            {
                const double t0 = Now();
                ReadBackBuffer();
                copies.push_back(Now() - t0);
            }
            g_Device->Present(nullptr, nullptr, nullptr, nullptr);
            f.m_Present = Now();
            if (n == 10)
                silent = pixels;  // the lead-in: bars at rest
            f.m_Lit = silent.empty() ? 0 : EqualiserPixels(pixels, silent);
            frames.push_back(f);
            if (startFrame < 0 && stream)
                startFrame = FSOUND_Test_StreamStartFrame(stream);
            int64_t first[256];
            int length[256];
            double seconds[256];
            for (int got; (got = FSOUND_Test_ReadOutputBlocks(first, length, seconds, 256)) > 0;)
                for (int i = 0; i < got; ++i)
                    blocks.push_back({first[i], length[i], seconds[i]});
            // 60 frames a second, as the vertical blank would pace them; a
            // late frame starts the next at once.
            next += FramePeriod;
            const double now = Now();
            if (now > next)
                next = now;
            else
                std::this_thread::sleep_for(std::chrono::duration<double>(next - now));
        }
        underruns = FSOUND_Test_Underruns();
        delete disk;
        FSOUND_Test_LogOutputBlocks(0);
    }

    const double copy = Percentile(copies, 0.5);
    for (SFrame& f : frames)
        f.m_Present -= copy;
    // When the block holding each onset's first sample was handed to the
    // device; and when the device reached that sample, the driver taking
    // each block at real-time pace from its hand-over.
    std::vector<double> heard, reached;
    for (int64_t onset : onsets)
    {
        double at = -1.0, sample = -1.0;
        for (const SBlock& b : blocks)
            if (startFrame >= 0 && startFrame + onset >= b.m_Frame && startFrame + onset < b.m_Frame + b.m_Length)
            {
                at = b.m_Seconds;
                sample = at + static_cast<double>(startFrame + onset - b.m_Frame) / Rate;
            }
        heard.push_back(at);
        reached.push_back(sample);
    }
    const std::vector<double> eq = Delays(heard, frames, [](const SFrame& f) { return f.m_Lit >= JumpPixels; });
    const std::vector<double> blob =
        Delays(heard, frames, [](const SFrame& f) { return f.m_Strength >= RisenStrength; });

    std::vector<double> periods;
    for (size_t i = 1; i < frames.size(); ++i)
        periods.push_back((frames[i].m_Present - frames[i - 1].m_Present) * 1000.0);
    std::vector<double> blockGaps;
    for (size_t i = 1; i < blocks.size(); ++i)
        blockGaps.push_back((blocks[i].m_Seconds - blocks[i - 1].m_Seconds) * 1000.0);
    // Frames that show something in the silences: the detectors' false alarms.
    int quietLit = 0, quietFrames = 0;
    for (const SFrame& f : frames)
    {
        bool nearOnset = false;
        for (double h : heard)
            nearOnset |= h >= 0.0 && f.m_Present > h - 0.1 && f.m_Present < h + 0.25;
        if (!nearOnset && f.m_Present > frames.front().m_Present + 0.3)
        {
            ++quietFrames;
            quietLit += f.m_Lit >= JumpPixels || f.m_Strength >= RisenStrength;
        }
    }

    // Where the time goes: from the hand-over to the first update whose
    // heard position has passed the onset, and from that update to its present.
    std::vector<double> toHeard, toPresent;
    for (size_t n = 0; n < onsets.size(); ++n)
        for (const SFrame& f : frames)
            if (heard[n] >= 0.0 && startFrame >= 0 && f.m_HeardFrame > startFrame + onsets[n])
            {
                toHeard.push_back((f.m_Update - heard[n]) * 1000.0);
                toPresent.push_back((f.m_Present - f.m_Update) * 1000.0);
                break;
            }
    std::printf("hand-over to the first update past it: median %.1f p95 %.1f; that update to its present: "
                "median %.1f p95 %.1f ms\n",
                Percentile(toHeard, 0.5), Percentile(toHeard, 0.95), Percentile(toPresent, 0.5),
                Percentile(toPresent, 0.95));
    Report(state, "equaliser", eq, onsets.size());
    Report(state, "blob", blob, onsets.size());
    auto eqShows = [](const SFrame& f) { return f.m_Lit >= JumpPixels; };
    auto blobShows = [](const SFrame& f) { return f.m_Strength >= RisenStrength; };
    std::printf("from the sample reached rather than its block handed over:\n");
    Report(state, "eq_sample", Delays(reached, frames, eqShows), onsets.size());
    Report(state, "blob_sample", Delays(reached, frames, blobShows), onsets.size());
    state.counters["frame_ms"] = Percentile(periods, 0.5);
    state.counters["frame_p95"] = Percentile(periods, 0.95);
    std::printf("frames %zu, period ms: median %.2f p95 %.2f; read-back copy %.1f ms, taken off\n", frames.size(),
                Percentile(periods, 0.5), Percentile(periods, 0.95), copy * 1000.0);
    std::printf("output blocks %zu of %d frames, every %.2f ms (p95 %.2f); goal %.1f ms\n", blocks.size(),
                blocks.empty() ? 0 : blocks.front().m_Length, Percentile(blockGaps, 0.5), Percentile(blockGaps, 0.95),
                FramePeriod * 1000.0 + 1024.0 * 1000.0 / Rate);
    std::printf("false alarms: %d of %d frames in the silences; longest frame %.0f ms; underruns %lld\n", quietLit,
                quietFrames, Percentile(periods, 1.0), static_cast<long long>(underruns));

    FSOUND_Close();
    CloseRealDevice();
}
BENCHMARK(BM_Sync)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
