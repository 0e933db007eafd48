// One frame of the finished player (update and render of the music disk,
// then the present) on the real device: OpenGL on Mesa, 800 x 600, offscreen
// unless a display is given. Beside it, the parts the frame is made of, each
// timed alone on the same device: the mesh rebuild, the text of the screen
// (track number, time, the 169-character ticker), the 94 equaliser bars, the
// skin, the blob; and the frame with the blob left out.
// The shares in the note are the medians of the parts over the frame's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "app/App.h"
#include "audio/Album.h"
#include "frame/Timer.h"
#include "content/ResourceManager.h"
#include "musicdisk/Font.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "render/Draw2D.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"
#include "support/AudioTestFiles.h"
#include "support/RealDevice.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

struct SPlayer
{
    SPlayer()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        FSOUND_Test_ForceSilentOutput(true);
        FSOUND_Init(44100, 32, 0);
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
        m_Ok = OpenRealDevice();
        if (!m_Ok)
            return;
        float progress = 0.0f;
        while (!LoadNextResource(progress))
        {
        }
        m_Disk = new CMusicDisk;  // no track files here: the screen still draws everything
    }
    ~SPlayer()
    {
        delete m_Disk;
        CloseRealDevice();
    }
    bool m_Ok = false;
    CMusicDisk* m_Disk = nullptr;
};

SPlayer& Player()
{
    static SPlayer player;
    return player;
}

// The player, or none and the benchmark skipped where OpenGL 3.3 is missing.
SPlayer* ReadyPlayer(benchmark::State& state)
{
    SPlayer& p = Player();
    if (p.m_Ok)
        return &p;
    state.SkipWithError("no OpenGL 3.3");
    return nullptr;
}

// A spectrum like mastered music: every band moving, the lowest loudest.
std::vector<float> MusicSpectrum()
{
    std::vector<float> s(512);
    for (int k = 0; k < 512; ++k)
        s[size_t(k)] = 0.02f + 0.3f / float(1 + k / 4) + 0.01f * float((k * 37) % 7);
    return s;
}

// 20 s of pink noise as the album, played through the silent output at
// real-time pace: the equaliser moves and the blob swells as with music.
void PlayNoise()
{
    CAlbum album;
    album.m_DayNames = false;
    album.m_Tracks.push_back({TestFile("noise20.wav").m_Path, "NOISE", "NOISE", "", ""});
    ReplaceAlbum(std::move(album));
}

void Finish()
{
    // The frame ends with its present (unpaced here: no vertical blank wait).
    g_Device->Present(nullptr, nullptr, nullptr, nullptr);
}

// Whole frames of the player, 60 a second of show time, each presented.
void RunFrames(benchmark::State& state, SPlayer& p)
{
    double t = 0.0;
    for (auto _ : state)
    {
        t += 16.7;
        g_TimeMs = t;
        g_DeltaTime = 0.0167f;
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
        p.m_Disk->Update(0.0167f);
        p.m_Disk->Render();
        g_Device->EndScene();
        Finish();
    }
}

void BM_PlayerFrame(benchmark::State& state)
{
    SPlayer* player = ReadyPlayer(state);
    if (!player)
        return;
    SPlayer& p = *player;
    RunFrames(state, p);
}
BENCHMARK(BM_PlayerFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The frame while a track plays, with the blob or with it left out (its
// mesh neither built nor drawn).
void RunPlayingFrames(benchmark::State& state, bool blob)
{
    SPlayer* player = ReadyPlayer(state);
    if (!player)
        return;
    SPlayer& p = *player;
    PlayNoise();
    CIsoSurface* iso = p.m_Disk->m_IsoSurface;
    if (!blob)
        p.m_Disk->m_IsoSurface = nullptr;
    RunFrames(state, p);
    p.m_Disk->m_IsoSurface = iso;
    if (blob)
        state.counters["triangles"] = double(iso->IndexCount() / 3);
}

// The equaliser moves and the blob swells, where the frame above shows the
// smallest blob.
void BM_PlayerFramePlaying(benchmark::State& state)
{
    RunPlayingFrames(state, true);
}
BENCHMARK(BM_PlayerFramePlaying)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// What everything else in the playing frame costs: the blob's share is the
// difference from the frame above.
void BM_PlayerFrameWithoutBlob(benchmark::State& state)
{
    RunPlayingFrames(state, false);
}
BENCHMARK(BM_PlayerFrameWithoutBlob)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_MeshRebuild(benchmark::State& state)
{
    SPlayer* player = ReadyPlayer(state);
    if (!player)
        return;
    SPlayer& p = *player;
    const std::vector<float> spectrum = MusicSpectrum();
    double t = 0.0;
    for (auto _ : state)
    {
        t += 16.7;
        ComputeBallStrengths(spectrum.data(), p.m_Disk->m_Balls);
        ComputeBallPaths(t, p.m_Disk->m_Balls);
        p.m_Disk->m_IsoSurface->BuildMesh();
    }
}
BENCHMARK(BM_MeshRebuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ScreenText(benchmark::State& state)
{
    SPlayer* player = ReadyPlayer(state);
    if (!player)
        return;
    SPlayer& p = *player;
    const char* ticker = g_TrackDescriptions[0];
    for (auto _ : state)
    {
        g_Device->BeginScene();
        DrawText(p.m_Disk->m_Font, 364, 332, 0xA0C0C0C0, 6.0f, "%.2d", 7);
        DrawTextFixed(p.m_Disk->m_Font, 360, 378, 0x40C0C0C0, 2.0f, 7.0f, "%s", "03:25");
        DrawText(p.m_Disk->m_Font, -10, 53, 0xFF808080, 1.0f, "%.169s", ticker);
        g_Device->EndScene();
        Finish();
    }
}
BENCHMARK(BM_ScreenText)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Equaliser(benchmark::State& state)
{
    if (!ReadyPlayer(state))
        return;
    const CTexture* bar = GetTexture(224);
    for (auto _ : state)
    {
        g_Device->BeginScene();
        // In one draw, as the player draws them.
        STexturedRect rects[94];
        float x = 8.0f;
        for (int k = 0; k < 47; ++k, x += 5.0f)
        {
            const float h = float(3 * (1 + (k * 13) % 54));
            rects[2 * k] = {x, 592 - h, 4, h, 0, 0, 1, h / 3};
            rects[2 * k + 1] = {800 - x - 5, 592 - h, 4, h, 0, 0, 1, h / 3};
        }
        DrawTexturedRectsUV(bar, rects, 94, 0xFFFFFFFF);
        g_Device->EndScene();
        Finish();
    }
}
BENCHMARK(BM_Equaliser)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Skin(benchmark::State& state)
{
    if (!ReadyPlayer(state))
        return;
    for (auto _ : state)
    {
        g_Device->BeginScene();
        DrawImageInTiles(GetTexture(222), 0.0f, 0.0f, GetTexture(223));
        DrawImageInTiles(GetTexture(223), 0.0f, 0.0f, nullptr);
        g_Device->EndScene();
        Finish();
    }
}
BENCHMARK(BM_Skin)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BlobDraw(benchmark::State& state)
{
    SPlayer* player = ReadyPlayer(state);
    if (!player)
        return;
    SPlayer& p = *player;
    const std::vector<float> spectrum = MusicSpectrum();
    ComputeBallStrengths(spectrum.data(), p.m_Disk->m_Balls);
    ComputeBallPaths(16.7 * 600, p.m_Disk->m_Balls);
    p.m_Disk->m_IsoSurface->BuildMesh();
    for (auto _ : state)
    {
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        p.m_Disk->m_IsoSurface->Draw();
        g_Device->EndScene();
        Finish();
    }
}
BENCHMARK(BM_BlobDraw)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ClearPresent(benchmark::State& state)
{
    if (!ReadyPlayer(state))
        return;
    for (auto _ : state)
    {
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
        g_Device->EndScene();
        Finish();
    }
}
BENCHMARK(BM_ClearPresent)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
