// orba --record: the request, the clock, the progress line and the run.
//
// Sections: request, clock, progress, run
#include "app/Recorder.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/RecorderHooks.h"
#include "frame/DebugVars.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "audio/Album.h"
#include "audio/Audio.h"
#include "content/EffectManager.h"
#include "content/ResourceManager.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/Win32.h"
#include "render/RenderDevice.h"

namespace {

// A whole number and nothing else.
bool ParseNumber(const std::string& text, long* value)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    *value = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- request

bool ParseDays(const std::string& text, int* first, int* last)
{
    const size_t dash = text.find('-');
    long a = 0, b = 0;
    if (!ParseNumber(text.substr(0, dash), &a))
        return false;
    b = a;
    if (dash != std::string::npos && !ParseNumber(text.substr(dash + 1), &b))
        return false;
    if (a < 1 || b < a)
        return false;
    *first = static_cast<int>(a);
    *last = static_cast<int>(b);
    return true;
}

bool WantsRecording(const SCommandLine& line)
{
    return !line.m_Record.empty() || !line.m_RecordSize.empty() || !line.m_RecordFps.empty() ||
           !line.m_RecordDays.empty() || line.m_Lossless;
}

bool ParseRecordRequest(const SCommandLine& line, SRecordRequest* request, std::string* why)
{
    *request = SRecordRequest();
    if (line.m_Record.empty())
    {
        *why = "--size, --fps, --days and --lossless go with --record FILE";
        return false;
    }
    SRecordOptions& options = request->m_Options;
    options.m_Path = line.m_Record;
    options.m_Lossless = line.m_Lossless;
    if (!line.m_RecordSize.empty())
    {
        const size_t x = line.m_RecordSize.find_first_of("xX");
        long w = 0, h = 0;
        if (x == std::string::npos || !ParseNumber(line.m_RecordSize.substr(0, x), &w) ||
            !ParseNumber(line.m_RecordSize.substr(x + 1), &h))
        {
            *why = "--size " + line.m_RecordSize + ": give it as WIDTHxHEIGHT, 1920x1080 for example";
            return false;
        }
        options.m_Width = static_cast<int>(w);
        options.m_Height = static_cast<int>(h);
    }
    if (!line.m_RecordFps.empty())
    {
        long fps = 0;
        if (!ParseNumber(line.m_RecordFps, &fps))
        {
            *why = "--fps " + line.m_RecordFps + ": give a whole number of frames a second";
            return false;
        }
        options.m_Fps = static_cast<int>(fps);
    }
    if (!line.m_RecordDays.empty() && !ParseDays(line.m_RecordDays, &request->m_FirstDay, &request->m_LastDay))
    {
        *why = "--days " + line.m_RecordDays + ": give the first and last track, 1-30 for example";
        return false;
    }
    return CheckRecordOptions(options, why);
}

// ---------------------------------------------------------------- clock

int64_t AudioFramesBefore(int64_t frame, int fps)
{
    return fps > 0 ? frame * RecordAudioRate / fps : 0;
}

// ---------------------------------------------------------------- progress

SRecordProgress MeasureProgress(int64_t done, int64_t total, int fps, double wallSeconds)
{
    SRecordProgress progress;
    if (total < done)
        total = done;
    progress.m_Percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    const double shown = fps > 0 ? static_cast<double>(done) / fps : 0.0;
    progress.m_Speed = wallSeconds > 0.0 ? shown / wallSeconds : 0.0;
    progress.m_SecondsLeft =
        progress.m_Speed > 0.0 ? static_cast<double>(total - done) / fps / progress.m_Speed : 0.0;
    return progress;
}

std::string FormatProgress(int64_t done, int64_t total, const SRecordProgress& progress)
{
    const long left = static_cast<long>(progress.m_SecondsLeft + 0.5);
    char text[160];
    std::snprintf(text, sizeof(text), "\r%3d%%  %lld/%lld frames  %.1fx real time  %ld:%02ld left   ",
                  progress.m_Percent, static_cast<long long>(done), static_cast<long long>(total < done ? done : total),
                  progress.m_Speed, left / 60, left % 60);
    return text;
}

// ---------------------------------------------------------------- run

namespace {

volatile std::sig_atomic_t g_RecordInterrupted = 0;
LONGLONG g_RecordTick = 0;
RecordFrameTap g_RecordTap = nullptr;
void* g_RecordTapUser = nullptr;

void OnInterrupt(int)
{
    g_RecordInterrupted = 1;
}

// The frame timer's counter: one tick a frame, `fps` ticks a second.
LONGLONG RecordCounter()
{
    return g_RecordTick;
}

CMusicDisk* FindMusicDisk()
{
    for (CEffect* effect : g_EffectManager.m_Running)
        if (auto* disk = dynamic_cast<CMusicDisk*>(effect))
            return disk;
    return nullptr;
}

// The frames the chosen tracks last, for the progress line, and the last of
// them that can be played (-1 for none): the film ends with it, not with the
// missing days after it that the player would skip through.
int64_t TrackFrames(int first, int last, int fps, int* lastPlayable)
{
    int64_t ms = 0;
    *lastPlayable = -1;
    for (int i = first - 1; i < last && i < g_Album.Count(); ++i)
    {
        const std::string path = g_Album.m_DayNames ? DayPath(g_Album.m_Folder, i + 1) : g_Album.m_Tracks[i].m_Path;
        // A day that is not there is skipped quietly (the player says so once).
        std::string file = path;
        std::replace(file.begin(), file.end(), '\\', '/');
        std::error_code error;
        if (!std::filesystem::exists(file, error))
            continue;
        CAudio::CHandle* handle = CAudio::Load(path.c_str());
        if (handle && handle->GetHandle())
        {
            ms += CAudio::GetLength(handle);
            *lastPlayable = i;
        }
        CAudio::Free(handle);
    }
    return ms * fps / 1000;
}

}  // namespace

void SetRecordFrameTap(RecordFrameTap tap, void* user)
{
    g_RecordTap = tap;
    g_RecordTapUser = user;
}

int RunRecording(const SCommandLine& line)
{
    SRecordRequest request;
    std::string why;
    if (!ParseRecordRequest(line, &request, &why))
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 2;
    }
    // The settings are refused before the album is read; the album as the player chooses it.
    if (!ChooseAlbum(line.m_Album, ProgramFolder(), &why))
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 2;
    }
    const int count = g_Album.Count();
    if (request.m_LastDay == 0)
        request.m_LastDay = count;
    if (count <= 0 || request.m_LastDay > count)
    {
        std::fprintf(stderr, "orba: --days %s: the album has %d tracks\n", line.m_RecordDays.c_str(), count);
        return 2;
    }
    const int fps = request.m_Options.m_Fps;
    const int firstIndex = request.m_FirstDay - 1;

    // No display is needed, nor wanted: the show is drawn offscreen, the
    // sound is mixed only when the recorder asks, and time is the frame count.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // A full disk (or a file size limit) must be an error, not a kill.
    std::signal(SIGXFSZ, SIG_IGN);
    FSOUND_SetPulledOutput(1);
    FSOUND_Init(RecordAudioRate, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
    g_RecordTick = 0;
    SetPerformanceCounterSource(RecordCounter, fps);
    g_Timer.m_TicksPerSecond = fps;
    g_Demo.m_ScreenChoice = 1;
    g_HideCursor = true;
    g_FirstTrackIndex = firstIndex;

    int lastIndex = -1;
    const int64_t trackFrames = TrackFrames(request.m_FirstDay, request.m_LastDay, fps, &lastIndex);
    if (lastIndex < 0)
    {
        std::fprintf(stderr, "orba: none of tracks %d to %d can be played\n", request.m_FirstDay, request.m_LastDay);
        return 2;
    }
    CRecordFile* file = OpenRecordFile(request.m_Options, &why);
    if (!file)
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 1;
    }

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Demo";
    RegisterClassExA(&wc);

    bool failed = false;
    int64_t frame = 0, loadingFrames = -1, audioFrames = 0;
    int32_t lastTrack = -1;
    if (!CreateRenderDevice())
    {
        why = std::string("cannot draw offscreen: ") + GetRenderDeviceError();
        failed = true;
    }
    else
    {
        const int width = request.m_Options.m_SourceWidth, height = request.m_Options.m_SourceHeight;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        std::vector<float> sound;
        const auto start = std::chrono::steady_clock::now();
        auto shown = start;
        MSG msg = {};
        g_App->Init();
        g_Timer.Reset();
        while (!g_RecordInterrupted)
        {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            // Frame k shows the show at k / fps, with the sound heard up to there.
            g_RecordTick = frame;
            UpdateFrameTime();
            g_App->Frame();
            FinishFrame();
            CMusicDisk* disk = FindMusicDisk();
            if (disk && loadingFrames < 0)
                loadingFrames = frame;
            // A track beyond the last day, or the player wrapping round to the
            // first: not part of the film.
            if (disk && (disk->m_TrackIndex < firstIndex || disk->m_TrackIndex > lastIndex ||
                         disk->m_TrackIndex < lastTrack))
                break;
            if (disk)
                lastTrack = disk->m_TrackIndex;
            if (!g_Device->ReadPixels(pixels.data(), width, height))
            {
                why = "cannot read the frame back";
                failed = true;
                break;
            }
            if (g_RecordTap)
                g_RecordTap(frame, audioFrames, pixels.data(), width, height, g_RecordTapUser);
            // Not presented: nobody sees the offscreen window, and presenting
            // would pace the recording to the display's refresh.
            int64_t audio = AudioFramesBefore(frame + 1, fps) - AudioFramesBefore(frame, fps);
            sound.resize(static_cast<size_t>(audio) * 2);
            FSOUND_PullOutput(sound.data(), static_cast<int>(audio));
            // The last day ends within this frame: the picture runs to the
            // frame's end, the sound stops on the day's last sample.
            const bool ended = disk && disk->m_TrackIndex == lastIndex && disk->m_Handle &&
                               disk->m_Handle->GetHandle() && CAudio::IsFinished(disk->m_Handle);
            if (ended)
                audio = std::clamp<int64_t>(FSOUND_GetLastEndFrame() - audioFrames, 0, audio);
            if (!WriteRecordVideo(file, pixels.data(), &why) ||
                !WriteRecordAudio(file, sound.data(), static_cast<int>(audio), &why))
            {
                failed = true;
                break;
            }
            audioFrames += audio;
            ++frame;

            const auto now = std::chrono::steady_clock::now();
            if (now - shown > std::chrono::milliseconds(250))
            {
                shown = now;
                const int64_t total = (loadingFrames < 0 ? frame : loadingFrames) + trackFrames;
                const double wall = std::chrono::duration<double>(now - start).count();
                std::fputs(FormatProgress(frame, total, MeasureProgress(frame, total, fps, wall)).c_str(), stderr);
                std::fflush(stderr);
            }
            if (ended)
                break;
            if (g_Quit)
                break;
            g_Input.Snapshot();
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fputs(FormatProgress(frame, frame, MeasureProgress(frame, frame, fps, wall)).c_str(), stderr);
        std::fputs("\n", stderr);
        g_App->Shutdown();
    }
    ReleaseResources();
    ReleaseRenderDevice();
    ClearDebugVars();
    UnregisterClassA("Demo", wc.hInstance);
    SetPerformanceCounterSource(nullptr, 0);

    if (failed)
    {
        AbandonRecordFile(file);
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 1;
    }
    if (!FinishRecordFile(file, &why))
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 1;
    }
    std::fprintf(stderr, "ORBA: recorded %lld frames (%lld of loading) and %lld audio frames%s to %s\n",
                 static_cast<long long>(frame), static_cast<long long>(loadingFrames < 0 ? frame : loadingFrames),
                 static_cast<long long>(audioFrames), g_RecordInterrupted ? ", stopped early," : "",
                 request.m_Options.m_Path.c_str());
    return 0;
}
