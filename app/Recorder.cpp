// orba --record: the request, the clock, the progress line and the run.
//
// Sections: request, clock, progress, run
#include "app/Recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/RecorderHooks.h"
#include "app/Show.h"
#include "audio/Album.h"
#include "audio/Audio.h"
#include "musicdisk/Player.h"
#include "platform/FMOD.h"
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

RecordFrameTap g_RecordTap = nullptr;
void* g_RecordTapUser = nullptr;

// The frames the chosen tracks last, for the progress line, and the last of
// them that can be played (-1 for none): the film ends with it, not with the
// missing days after it that the player would skip through.
int64_t TrackFrames(int first, int last, int fps, int* lastPlayable)
{
    int64_t ms = 0;
    *lastPlayable = -1;
    for (int i = first - 1; i < last && i < g_Album.Count(); ++i)
    {
        // A day that is not there is skipped quietly (the player says so once).
        std::error_code error;
        if (!std::filesystem::exists(g_Album.FilePath(i), error))
            continue;
        CAudio::CHandle* handle = CAudio::Load(g_Album.Path(i).c_str());
        if (handle && handle->GetHandle())
        {
            ms += CAudio::GetLength(handle);
            *lastPlayable = i;
        }
        CAudio::Free(handle);
    }
    return ms * fps / 1000;
}

// The recorder's driver of the show: a clock of exactly 1/fps a frame, no
// events but the signals' quit, each frame read back and encoded with the
// sound pulled for it, the end with the last chosen track.
class CRecordShow : public CShowDriver
{
public:
    explicit CRecordShow(const SRecordRequest& request) : m_Request(request) {}

    // No display is needed, nor wanted: the show is drawn offscreen.
    void Prepare() override { setenv("SDL_VIDEODRIVER", "offscreen", 1); }
    int Start() override
    {
        const int64_t trackFrames = TrackFrames(m_Request.m_FirstDay, m_Request.m_LastDay, Fps(), &m_LastIndex);
        if (m_LastIndex < 0)
        {
            std::fprintf(stderr, "orba: none of tracks %d to %d can be played\n", m_Request.m_FirstDay,
                         m_Request.m_LastDay);
            return 2;
        }
        m_TrackFrames = trackFrames;
        // The show is drawn at the film's own pixels (RunShow chose the size).
        m_Request.m_Options.m_SourceWidth = static_cast<int>(g_ScreenWidth);
        m_Request.m_Options.m_SourceHeight = static_cast<int>(g_ScreenHeight);
        m_File = OpenRecordFile(m_Request.m_Options, &m_Why);
        if (!m_File)
        {
            std::fprintf(stderr, "orba: %s\n", m_Why.c_str());
            return 1;
        }
        m_Pixels.assign(static_cast<size_t>(m_Request.m_Options.m_SourceWidth) * m_Request.m_Options.m_SourceHeight, 0);
        m_Start = m_Shown = std::chrono::steady_clock::now();
        return 0;
    }
    int CannotStart(const char* why) override
    {
        std::fprintf(stderr, "orba: cannot draw offscreen: %s\n", why);
        return 1;
    }
    void Stop() override
    {
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
        std::fputs(FormatProgress(m_Frame, m_Frame, MeasureProgress(m_Frame, m_Frame, Fps(), wall)).c_str(), stderr);
        std::fputs("\n", stderr);
    }
    int Finish() override
    {
        if (m_Failed)
        {
            AbandonRecordFile(m_File);
            std::fprintf(stderr, "orba: %s\n", m_Why.c_str());
            return 1;
        }
        if (!FinishRecordFile(m_File, &m_Why))
        {
            std::fprintf(stderr, "orba: %s\n", m_Why.c_str());
            return 1;
        }
        std::fprintf(stderr, "ORBA: recorded %lld frames (%lld of loading) and %lld audio frames%s to %s\n",
                     static_cast<long long>(m_Frame),
                     static_cast<long long>(m_LoadingFrames < 0 ? m_Frame : m_LoadingFrames),
                     static_cast<long long>(m_AudioFrames), m_Interrupted ? ", stopped early," : "",
                     m_Request.m_Options.m_Path.c_str());
        return 0;
    }

    // Frame k shows the show at k / fps, with the sound heard up to there.
    int64_t Now() override { return m_Frame; }
    int64_t TicksPerSecond() override { return Fps(); }
    bool NextEvent(MSG& msg) override
    {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            return false;
        // Ctrl-C or kill: the film so far is finished and kept.
        if (msg.message == WM_QUIT)
            m_Interrupted = true;
        return true;
    }
    bool Drawing() override { return true; }
    bool EndFrame() override;

private:
    int Fps() const { return m_Request.m_Options.m_Fps; }
    void ShowProgress();

    SRecordRequest m_Request;
    CRecordFile* m_File = nullptr;
    std::string m_Why;
    bool m_Failed = false;
    bool m_Interrupted = false;
    int m_LastIndex = -1;
    int64_t m_TrackFrames = 0;
    int64_t m_Frame = 0, m_LoadingFrames = -1, m_AudioFrames = 0;
    int m_LastTrack = -1;
    std::vector<uint32_t> m_Pixels;
    std::vector<float> m_Sound;
    std::chrono::steady_clock::time_point m_Start, m_Shown;
};

bool CRecordShow::EndFrame()
{
    // Not presented: nobody sees the offscreen window, and presenting would
    // pace the recording to the display's refresh.
    FinishFrame();
    const SPlayerState& player = g_PlayerState;
    const int index = player.m_Track - 1;
    if (player.m_Present && m_LoadingFrames < 0)
        m_LoadingFrames = m_Frame;
    // A track beyond the last day, or the player wrapping round to the
    // first: not part of the film.
    const int firstIndex = m_Request.m_FirstDay - 1;
    if (player.m_Present && (index < firstIndex || index > m_LastIndex || index < m_LastTrack))
        return false;
    if (player.m_Present)
        m_LastTrack = index;
    const int width = m_Request.m_Options.m_SourceWidth, height = m_Request.m_Options.m_SourceHeight;
    if (!g_Device->ReadPixels(m_Pixels.data(), width, height))
    {
        m_Why = "cannot read the frame back";
        m_Failed = true;
        return false;
    }
    if (g_RecordTap)
        g_RecordTap(m_Frame, m_AudioFrames, m_Pixels.data(), width, height, g_RecordTapUser);
    int64_t audio = AudioFramesBefore(m_Frame + 1, Fps()) - AudioFramesBefore(m_Frame, Fps());
    m_Sound.resize(static_cast<size_t>(audio) * 2);
    FSOUND_PullOutput(m_Sound.data(), static_cast<int>(audio));
    // The last day ends within this frame: the picture runs to the frame's
    // end, the sound stops on the day's last sample.
    const bool ended = player.m_Present && index == m_LastIndex && player.m_Handle &&
                       CAudio::IsFinished(player.m_Handle);
    if (ended)
        audio = std::clamp<int64_t>(FSOUND_GetLastEndFrame() - m_AudioFrames, 0, audio);
    if (!WriteRecordVideo(m_File, m_Pixels.data(), &m_Why) ||
        !WriteRecordAudio(m_File, m_Sound.data(), static_cast<int>(audio), &m_Why))
    {
        m_Failed = true;
        return false;
    }
    m_AudioFrames += audio;
    ++m_Frame;
    ShowProgress();
    return !ended;
}

void CRecordShow::ShowProgress()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_Shown <= std::chrono::milliseconds(250))
        return;
    m_Shown = now;
    const int64_t total = (m_LoadingFrames < 0 ? m_Frame : m_LoadingFrames) + m_TrackFrames;
    const double wall = std::chrono::duration<double>(now - m_Start).count();
    std::fputs(FormatProgress(m_Frame, total, MeasureProgress(m_Frame, total, Fps(), wall)).c_str(), stderr);
    std::fflush(stderr);
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
    // The settings are refused before the album is read; the album as the
    // player chooses it, but never the one kept from a run before.
    if (!ChooseAlbum(line.m_Album, {}, ProgramFolder(), &why))
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
    SShowOptions options;
    options.m_Screen = ScreenWindowed;
    options.m_FrameWidth = request.m_Options.m_Width;
    options.m_FrameHeight = request.m_Options.m_Height;
    options.m_Player.m_FirstTrack = request.m_FirstDay - 1;
    options.m_Player.m_HideCursor = true;
    options.m_PulledSound = true;
    options.m_SoundRate = RecordAudioRate;
    CRecordShow show(request);
    return RunShow(options, show);
}
