// What the window's size costs: one frame of the playing player (update,
// render, present) drawn at 1x, 1.5x and 2x of 800 x 600 on the real device
// (OpenGL on Mesa, offscreen), as a start at that size would open it. One
// size per run (--benchmark_filter=/150/): run the sizes in turn, several
// rounds, and name LP_NUM_THREADS beside the figures.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <utility>

#include "audio/Album.h"
#include "frame/Timer.h"
#include "content/ResourceManager.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "render/RenderDevice.h"
#include "support/AudioTestFiles.h"
#include "support/RealDevice.h"

namespace {

// The device of the first size asked for, kept for the process: Mesa's
// offscreen driver now and then hangs in a second device of one process.
struct SPlayer
{
    explicit SPlayer(float scale)
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        FSOUND_Test_ForceSilentOutput(true);
        FSOUND_Init(44100, 32, 0);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
        // The recorder's way to ask for a size: exact, whatever the screen.
        g_StartWidth = static_cast<int>(800 * scale);
        g_StartHeight = static_cast<int>(600 * scale);
        m_Ok = OpenRealDevice();
        if (!m_Ok)
            return;
        float progress = 0.0f;
        while (!LoadNextResource(progress))
        {
        }
        CAlbum album;
        album.m_DayNames = false;
        album.m_Tracks.push_back({TestFile("noise20.wav").m_Path, "NOISE", "NOISE", "", ""});
        ReplaceAlbum(std::move(album));
        m_Disk = new CMusicDisk;
    }
    bool m_Ok = false;
    CMusicDisk* m_Disk = nullptr;
};

void BM_PlayerFrameAtScale(benchmark::State& state)
{
    static SPlayer s_Player(static_cast<float>(state.range(0)) / 100.0f);
    if (!s_Player.m_Ok || g_ScreenWidth != 8.0f * static_cast<float>(state.range(0)))
    {
        state.SkipWithError("no OpenGL 3.3, or another size already open: one size per run");
        return;
    }
    double t = 0.0;
    for (auto _ : state)
    {
        t += 16.7;
        g_TimeMs = t;
        g_DeltaTime = 0.0167f;
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
        s_Player.m_Disk->Update(0.0167f);
        s_Player.m_Disk->Render();
        g_Device->EndScene();
        FinishFrame();
        g_Device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    state.counters["width"] = g_ScreenWidth;
    state.counters["height"] = g_ScreenHeight;
}
BENCHMARK(BM_PlayerFrameAtScale)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
