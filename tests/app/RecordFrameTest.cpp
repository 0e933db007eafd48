// The recorder draws what the live program draws: a recording of one day,
// then the live main loop on the same clock and the same pulled sound, every
// frame read back on Mesa and compared pixel for pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "app/RecorderHooks.h"
#include "content/ResourceManager.h"
#include "frame/DebugVars.h"
#include "frame/Timer.h"
#include "musicdisk/MusicDisk.h"
#include "musicdisk/Player.h"
#include "platform/FMOD.h"
#include "platform/Win32.h"
#include "render/RenderDevice.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int Fps = 30;
constexpr int Width = 800;
constexpr int Height = 600;

struct SRecordedFrames
{
    std::vector<uint64_t> m_Hashes;
    std::vector<int64_t> m_Audio;
    std::vector<uint32_t> m_Last;  // the last frame whole, to count what differs
};

uint64_t HashPixels(const uint32_t* argb, size_t count)
{
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < count; ++i)
        hash = (hash ^ argb[i]) * 1099511628211ull;
    return hash;
}

void Collect(int64_t frame, int64_t audioFrames, const uint32_t* argb, int width, int height, void* user)
{
    auto* frames = static_cast<SRecordedFrames*>(user);
    ASSERT_EQ(frame, static_cast<int64_t>(frames->m_Hashes.size()));
    ASSERT_EQ(width, Width);
    ASSERT_EQ(height, Height);
    frames->m_Hashes.push_back(HashPixels(argb, size_t(width) * height));
    frames->m_Audio.push_back(audioFrames);
    frames->m_Last.assign(argb, argb + size_t(width) * height);
}

LONGLONG s_Tick = 0;
LONGLONG TestCounter()
{
    return s_Tick;
}

}  // namespace

TEST(RecordFrameTest, EveryRecordedFrameIsTheLiveFrameAtTheSameTimeAndSound)
{
    if (!HaveCommand("lame") || !HaveCommand("sox"))
        GTEST_SKIP() << "needs sox and lame";
    const std::string dir = MakeTempDir("record-frame");
    fs::create_directories(dir + "/Tamm_songs");
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 '" + dir + "/d1.wav' synth 1 sine 300-2000 vol 0.6 && lame --quiet '" +
                         dir + "/d1.wav' '" + dir + "/Tamm_songs/tamm - day1.mp3'"),
              0);
    const fs::path old = fs::current_path();
    fs::current_path(dir);

    // The recorder, lossless, with a look at each frame before it is encoded.
    SRecordedFrames recorded;
    SetRecordFrameTap(Collect, &recorded);
    const std::string film = dir + "/film.mkv";
    std::vector<const char*> args = {"orba", "--record", film.c_str(), "--fps", "30", "--lossless", "--size", "160x120"};
    SCommandLine line;
    ASSERT_TRUE(ParseCommandLine(static_cast<int>(args.size()), args.data(), &line));
    const int code = RunRecording(line);
    SetRecordFrameTap(nullptr, nullptr);
    FSOUND_Close();
    ASSERT_EQ(code, 0);
    const size_t count = recorded.m_Hashes.size();
    ASSERT_GT(count, 60u);

    // The live program as RunDemo starts it, on a clock that says frame k at
    // k / fps, the sound pulled after each frame as the recorder pulls it.
    std::string why;
    ASSERT_TRUE(ChooseAlbum({}, {}, ProgramFolder(), &why)) << why;
    FSOUND_SetPulledOutput(1);
    ASSERT_TRUE(FSOUND_Init(RecordAudioRate, 32, 0));
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
    s_Tick = 0;
    SetPerformanceCounterSource(TestCounter, Fps);
    g_Timer.m_TicksPerSecond = Fps;
    g_Demo.m_ScreenChoice = 1;
    g_PlayerOptions = SPlayerOptions();
    g_PlayerOptions.m_HideCursor = true;
    // A fresh process: nothing queued (the recorder's closed window left its
    // quit), nothing quitting, the pause icon's fade not where the recording
    // left it.
    MSG stale = {};
    while (PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE))
    {
    }
    g_Quit = false;
    g_PauseIconAlpha = 0.0f;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "Demo";
    RegisterClassExA(&wc);
    ASSERT_TRUE(CreateRenderDevice()) << GetRenderDeviceError();
    g_App->Init();
    g_Timer.Reset();

    std::vector<uint32_t> pixels(size_t(Width) * Height);
    std::vector<float> sound;
    int64_t pulled = 0;
    size_t differing = 0, distinct = 0;
    size_t k = 0;
    for (; k < count && !g_Quit; ++k)
    {
        s_Tick = static_cast<LONGLONG>(k);
        MSG msg = {};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            MainLoopIteration(msg);
        MainLoopIteration(msg);
        // The frame is kept where it was drawn until the next one clears it.
        ASSERT_TRUE(g_Device->ReadPixels(pixels.data(), Width, Height));
        ASSERT_EQ(pulled, recorded.m_Audio[k]) << "frame " << k;
        const uint64_t hash = HashPixels(pixels.data(), pixels.size());
        EXPECT_EQ(hash, recorded.m_Hashes[k]) << "frame " << k << " of " << count;
        differing += hash != recorded.m_Hashes[k];
        distinct += k > 0 && recorded.m_Hashes[k] != recorded.m_Hashes[k - 1];
        if (k + 1 == count)
        {
            size_t pixelsOff = 0;
            for (size_t i = 0; i < pixels.size(); ++i)
                pixelsOff += pixels[i] != recorded.m_Last[i];
            EXPECT_EQ(pixelsOff, 0u) << "pixels of the last frame";
        }
        const int64_t audio = AudioFramesBefore(int64_t(k) + 1, Fps) - AudioFramesBefore(int64_t(k), Fps);
        sound.resize(size_t(audio) * 2);
        FSOUND_PullOutput(sound.data(), static_cast<int>(audio));
        pulled += audio;
        if (differing > 3)
            break;
    }
    EXPECT_EQ(k, count) << "the live show stopped early";
    // A still picture would prove nothing: the show moves from frame to frame.
    EXPECT_GT(distinct, count / 4);

    g_App->Shutdown();
    ReleaseResources();
    ReleaseRenderDevice();
    ClearDebugVars();
    UnregisterClassA("Demo", nullptr);
    SetPerformanceCounterSource(nullptr, 0);
    FSOUND_Close();
    FSOUND_SetPulledOutput(0);
    g_PlayerOptions = SPlayerOptions();
    fs::current_path(old);
}
