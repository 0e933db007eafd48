// A long run of the whole show in one process: the real frame loop (loading
// screen, then the player) on the real device and the real sound library
// (silent output, real time), an album of 3-second tracks so that it wraps
// from track 30 to track 1 again and again, the animation at four times
// speed (Right held) and a click on one of the controls now and then.
// Reports frame-time percentiles, resident memory at the start and the end,
// audio underruns and how many times the album wrapped.
//   bench_soak [seconds]   (default 1800)
// Run it on an X display (scripts/soak.sh starts Xvfb): SDL's offscreen
// driver, the fallback without one, keeps buffers of Mesa's software
// renderer alive frame after frame, and its memory figure means nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/EffectManager.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "render/RenderDevice.h"
#include "support/RealDevice.h"
#include "support/TestEnv.h"

namespace {

double ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * 4096.0 / (1024.0 * 1024.0);
}

// Bytes the heap has handed out and not had back, all arenas.
double HeapInUseMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

CMusicDisk* RunningDisk()
{
    for (CEffect* e : g_EffectManager.m_Running)
        if (auto* disk = dynamic_cast<CMusicDisk*>(e))
            return disk;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1800.0;
    // The test support chose the offscreen driver before main; a display wins.
    if (std::getenv("DISPLAY"))
        setenv("SDL_VIDEODRIVER", "x11", 1);
    else
        std::fprintf(stderr, "soak: no DISPLAY, using the offscreen driver; resident memory will not be flat\n");
    const std::string dir = MakeTempDir("soak");
    const std::string tool = std::string(ORBA_BINARY_DIR) + "/tools/album/orba-album";
    if (RunCommand("'" + tool + "' --out '" + dir + "/Tamm_songs' --seconds 3 --jobs 2 >/dev/null") != 0)
    {
        std::fprintf(stderr, "soak: the album tool failed\n");
        return 1;
    }
    std::filesystem::current_path(dir);

    FSOUND_Test_ForceSilentOutput(true);
    FSOUND_Init(44100, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    if (!OpenRealDevice())
    {
        std::fprintf(stderr, "soak: no OpenGL 3.3\n");
        return 1;
    }
    g_Demo.Init();
    g_Timer.Reset();

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto last = start;
    std::vector<float> frameMs;
    // Room for 250 frames a second up front: the record must not itself grow the heap.
    frameMs.reserve(static_cast<size_t>(seconds * 250.0) + 1024);
    double nextReport = 60.0;
    double rssStart = 0.0;
    int wraps = 0, lastTrack = 0, clicks = 0;
    long frame = 0;
    const float buttons[3][2] = {{90, 378}, {154, 378}, {214, 378}};
    while (!g_Quit)
    {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed > seconds)
            break;
        // Right held: the animation runs four times faster.
        g_Input.m_Keys[VK_RIGHT] = 1;
        // Every 7 s a click (down for a frame, then up) on previous,
        // play/pause or next, in turn; pauses are undone by the next click.
        const bool down = frame % 420 == 0 && frame > 600;
        g_Input.m_Buttons[BUTTON_LEFT] = down ? 1 : 0;
        if (down)
        {
            const float* b = buttons[clicks++ % 3];
            g_Input.m_MouseX = static_cast<int16_t>(b[0]);
            g_Input.m_MouseY = static_cast<int16_t>(b[1]);
        }
        UpdateFrameTime();
        g_App->Frame();
        UpdateDebugPanel();
        PresentFrame();
        g_Input.Snapshot();
        ++frame;

        const auto now = Clock::now();
        frameMs.push_back(std::chrono::duration<float, std::milli>(now - last).count());
        last = now;
        if (rssStart == 0.0 && elapsed > 10.0)
            rssStart = ResidentMiB();
        if (elapsed > nextReport)
        {
            std::printf("%5.0f s  resident %.1f MiB  heap in use %.1f MiB\n", elapsed, ResidentMiB(), HeapInUseMiB());
            std::fflush(stdout);
            nextReport += 60.0;
        }
        if (CMusicDisk* disk = RunningDisk())
        {
            if (disk->m_TrackIndex < lastTrack && lastTrack == 29)
                ++wraps;
            lastTrack = disk->m_TrackIndex;
        }
    }
    const double rssEnd = ResidentMiB();
    const long long underruns = FSOUND_Test_Underruns();
    g_Demo.Shutdown();
    CloseRealDevice();

    std::sort(frameMs.begin(), frameMs.end());
    auto pct = [&](double p) { return frameMs.empty() ? 0.0f : frameMs[size_t(p * double(frameMs.size() - 1))]; };
    std::printf("soak: %.0f s, %ld frames, %d clicks, album wrapped %d times\n", seconds, frame, clicks, wraps);
    std::printf("frame ms: p50 %.2f  p90 %.2f  p99 %.2f  p99.9 %.2f  max %.2f\n", pct(0.5), pct(0.9), pct(0.99),
                pct(0.999), pct(1.0));
    std::printf("resident MiB: %.1f after 10 s, %.1f at the end (%+.1f)\n", rssStart, rssEnd, rssEnd - rssStart);
    std::printf("audio underruns: %lld\n", underruns);
    return 0;
}
