// The music disk's state and its frame update: camera path, master volume,
// metaballs, mouse controls, end of track, track change, description fade
// and scroll.
#include "musicdisk/MusicDisk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/AppState.h"
#include "frame/Input.h"
#include "frame/Timer.h"
#include "audio/Album.h"
#include "content/ResourceIds.h"
#include "content/ResourceManager.h"
#include "musicdisk/Font.h"
#include "musicdisk/Player.h"
#include "musicdisk/TextFold.h"
#include "platform/FMOD.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

const SButtonRect g_ButtonRects[6] = {
    {10.0f, 64.0f, 76.0f, 26.0f},    // QUIT
    {72.0f, 360.0f, 36.0f, 36.0f},   // previous track
    {136.0f, 360.0f, 36.0f, 36.0f},  // play/pause
    {196.0f, 360.0f, 36.0f, 36.0f},  // next track
    {515.0f, 360.0f, 36.0f, 36.0f},  // speaker symbol: no action
    {564.0f, 366.0f, 200.0f, 28.0f}, // volume groove
};

namespace {

enum
{
    ButtonQuit,
    ButtonPrevious,
    ButtonPlayPause,
    ButtonNext,
    ButtonSpeaker,
    ButtonVolume
};

constexpr int TickerLength = 169;
constexpr float DegreesToRadians = 0.017453292f;
constexpr float ScrollSpeed = 64.0f;  // pixels per second

int NextTrack(int index)
{
    return index >= g_Album.Count() - 1 ? 0 : index + 1;
}

int PreviousTrack(int index)
{
    return index <= 0 ? g_Album.Count() - 1 : index - 1;
}

// The gap after a text of the user's own before it scrolls in again.
const char TextGap[] = "                   ";

}  // namespace

CMusicDisk::CMusicDisk()
{
    m_Volume = std::clamp(g_PlayerOptions.m_Volume, 0.0f, 1.0f);
    StartAlbum();
    const int32_t first = g_PlayerOptions.m_FirstTrack;
    if (first > 0 && first < g_Album.Count())
    {
        // The ticker reads the first track's text, not track 1's.
        m_TrackIndex = first;
        m_TextSource = TrackText(m_TrackIndex);
        m_TextStart = m_TextSource;
        m_TextLength = std::strlen(m_TextStart);
    }

    m_Camera = new CCamera(g_VirtualWidth, g_VirtualHeight);
    m_Camera->m_Pos = D3DXVECTOR3(0.7f, 0.0f, -2.0f);
    m_Camera->UpdateView();
    m_Camera->m_Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    m_Camera->m_Focus = D3DXVECTOR3(0.0f, 0.0f, 0.7f);
    m_Camera->UpdateView();
    m_Camera->m_Near = 0.1f;
    m_Camera->m_Far = 100.0f;
    m_Camera->UpdateProjection();
    g_Camera = m_Camera;
    g_ClearColor = 0;

    m_IsoSurface = new CIsoSurface(100.0f);
    for (CBall*& ball : m_Balls)
        ball = m_IsoSurface->AddBall();

    LoadTrack();

    m_Font = CreateFont(GetTexture(FontTextureId), 1.0f, 4.0f);

    std::memset(m_Ticker, ' ', TickerLength);
    m_Ticker[TickerLength] = 0;
    TakeSpectrum();
    // Seen by the desktop and the keys from this frame on.
    PublishState();
}

CMusicDisk::~CMusicDisk()
{
    delete m_Font;
    // Nothing may keep drawing through a deleted camera.
    if (g_Camera == m_Camera)
        g_Camera = GetAppCamera();
    delete m_Camera;
    if (m_IsoSurface)
        m_IsoSurface->Release();
    delete m_IsoSurface;
    DropNext();
    CAudio::Stop(m_Handle);
    CAudio::Free(m_Handle);
    m_Handle = nullptr;
    // What was asked of this player and not yet taken goes with it.
    g_PlayerState = SPlayerState();
    g_PlayerRequests = SPlayerRequests();
}

void CMusicDisk::Update(float dt)
{
    CountDown(dt);
    UpdateCamera();
    // The volume before this frame's input: a change is heard from the next frame.
    FSOUND_SetSFXMasterVolume(static_cast<int>(m_Volume * 255.0f));
    // One spectrum a frame: the blob and the equaliser show the same sound.
    TakeSpectrum();
    UpdateMetaballs(m_Balls, m_IsoSurface, Spectrum());

    // A new album (dropped on the window) starts at its first track.
    if (m_AlbumSerial != g_AlbumSerial)
    {
        StartAlbum();
        m_TrackIndex = 0;
        m_Direction = 1;
        m_Stopped = false;
        OpenTrack();
    }

    int32_t oldIndex = m_TrackIndex;
    // The mouse's requests join those of the keys and the desktop, and all
    // are taken once.
    SPlayerRequests requests = g_PlayerRequests;
    g_PlayerRequests = SPlayerRequests();
    UpdateControls(&requests);
    ApplyRequests(requests);
    if (m_Stopped)
    {
        // Nothing advances while stopped; a new track is only chosen.
    }
    else if (m_Handle && m_Handle->GetHandle() && CAudio::IsFinished(m_Handle))
    {
        m_Direction = 1;
        m_TrackIndex = NextTrack(m_TrackIndex);
        // The next track is already heard: it only becomes the current one.
        if (m_NextHandle && m_NextIndex == m_TrackIndex)
        {
            TakeNext();
            oldIndex = m_TrackIndex;
        }
    }
    else if (!m_Handle || !m_Handle->GetHandle())
        m_TrackIndex = m_Direction < 0 ? PreviousTrack(m_TrackIndex) : NextTrack(m_TrackIndex);
    if (m_TrackIndex != oldIndex)
    {
        if (m_Stopped)
        {
            m_TrackFile = CFixedString();
            m_TextChanging = true;
        }
        else
            OpenTrack();
    }

    UpdateTicker(dt);
    PublishState();
}

void CMusicDisk::TakeSpectrum()
{
    const float* spectrum = FSOUND_DSP_GetSpectrum();
    m_HaveSpectrum = spectrum != nullptr;
    if (spectrum)
        std::memcpy(m_Spectrum, spectrum, sizeof(m_Spectrum));
    m_SpectrumShown = false;
}

const float* CMusicDisk::SpectrumToShow()
{
    // A frame is an update, then its drawing: both see the update's
    // spectrum. Only a drawing with no update before it (a redraw) listens
    // again.
    if (m_SpectrumShown)
        TakeSpectrum();
    m_SpectrumShown = true;
    return Spectrum();
}

void CMusicDisk::ApplyRequests(const SPlayerRequests& r)
{
    if (r.m_SetVolume >= 0.0f)
        m_Volume = std::min(r.m_SetVolume, 1.0f);
    if (r.m_VolumeStep != 0.0f)
        m_Volume = std::clamp(m_Volume + r.m_VolumeStep, 0.0f, 1.0f);
    if (r.m_Flags & PlayerNext)
    {
        m_TrackIndex = NextTrack(m_TrackIndex);
        m_Direction = 1;
    }
    if (r.m_Flags & PlayerPrevious)
    {
        m_TrackIndex = PreviousTrack(m_TrackIndex);
        m_Direction = -1;
    }
    if (r.m_Flags & PlayerStop)
    {
        DropNext();
        CAudio::Stop(m_Handle);
        CAudio::Free(m_Handle);
        m_Handle = nullptr;
        m_Stopped = true;
        m_Paused = false;
    }
    if ((r.m_SeekToMs >= 0 || r.m_SeekByMs != 0) && !m_Stopped && m_Handle && m_Handle->GetHandle())
    {
        // Paused, it stays paused at the new place; past the end, the track
        // ends as it would have, and the next one follows.
        const int64_t from = r.m_SeekToMs >= 0 ? r.m_SeekToMs : int64_t(CAudio::GetTime(m_Handle));
        const int64_t to = std::clamp<int64_t>(from + r.m_SeekByMs, 0, 0xFFFFFFFF);
        CAudio::Seek(m_Handle, static_cast<uint32_t>(to));
        ++m_Seeks;
    }
    const bool play = (r.m_Flags & PlayerPlay) || ((r.m_Flags & PlayerPlayPause) && (m_Stopped || m_Paused));
    const bool pause = (r.m_Flags & PlayerPause) || ((r.m_Flags & PlayerPlayPause) && !m_Stopped && !m_Paused);
    if (play && m_Stopped)
    {
        // Play after stop starts the chosen track from its beginning.
        m_Stopped = false;
        OpenTrack();
    }
    else if (play && m_Paused)
    {
        m_Paused = false;
        CAudio::Pause(m_Handle, false);
    }
    else if (pause && !m_Stopped && !m_Paused)
    {
        m_Paused = true;
        CAudio::Pause(m_Handle, true);
    }
}

void CMusicDisk::PublishState()
{
    SPlayerState& s = g_PlayerState;
    s.m_Present = true;
    s.m_Track = m_TrackIndex + 1;
    s.m_TrackCount = g_Album.Count();
    s.m_Paused = m_Paused;
    s.m_Stopped = m_Stopped;
    s.m_Volume = m_Volume;
    const bool playing = m_Handle && m_Handle->GetHandle();
    s.m_LengthMs = playing ? CAudio::GetLength(m_Handle) : 0;
    s.m_PositionMs = playing ? CAudio::GetTime(m_Handle) : 0;
    s.m_Handle = playing ? m_Handle : nullptr;
    s.m_Seeks = m_Seeks;
    s.m_Title = g_Album.Title(m_TrackIndex);
    s.m_Artist = g_Album.Artist(m_TrackIndex);
    s.m_Album = g_Album.Name();
    s.m_Path = g_Album.FilePath(m_TrackIndex);
}

void CMusicDisk::UpdateCamera()
{
    const float t = static_cast<float>(g_TimeMs / 1000.0);
    const float pitch = 45.0f * DegreesToRadians * std::sin(0.13f * t) * std::sin(0.19f * t);
    const float yaw = 0.1f * t * std::sin(0.1f * t);
    m_Camera->m_Pos = D3DXVECTOR3(2.0f * std::cos(pitch) * std::sin(yaw), -2.0f * std::sin(pitch),
                                  -2.0f * std::cos(pitch) * std::cos(yaw));
    m_Camera->UpdateView();
    m_Camera->m_Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    m_Camera->m_Focus = D3DXVECTOR3(0.25f * std::sin(0.16f * t), -0.7f, 0.25f * std::sin(0.12f * t));
    m_Camera->UpdateView();
}

namespace {

int ControlAt(float x, float y)
{
    for (int i = 0; i < 6; ++i)
    {
        const SButtonRect& r = g_ButtonRects[i];
        if (r.x <= x && x <= r.x + r.w && r.y <= y && y <= r.y + r.h)
            return i;
    }
    return -1;
}

}  // namespace

bool IsPlayerControlAt(float x, float y)
{
    const int found = g_PlayerState.m_Present ? ControlAt(x, y) : -1;
    return found >= 0 && found != ButtonSpeaker;
}

void CMusicDisk::UpdateControls(SPlayerRequests* requests)
{
    const float mx = static_cast<float>(g_Input.m_MouseX) / g_ScaleX;
    const float my = static_cast<float>(g_Input.m_MouseY) / g_ScaleY;
    const int found = ControlAt(mx, my);
    if (found < 0)
        return;

    if (g_Input.IsButtonPressed(BUTTON_LEFT))
    {
        switch (found)
        {
        case ButtonQuit:
            g_Quit = true;
            break;
        case ButtonPrevious:
            requests->m_Flags |= PlayerPrevious;
            break;
        case ButtonPlayPause:
            // After a stop from outside, this plays again.
            requests->m_Flags |= PlayerPlayPause;
            break;
        case ButtonNext:
            requests->m_Flags |= PlayerNext;
            break;
        default:
            break;
        }
    }
    else if (g_Input.IsButtonHeld(BUTTON_LEFT) && found == ButtonVolume)
    {
        // Inclusive bounds keep this within 0..1. The hand on the groove
        // wins over a volume the desktop set in the same frame.
        requests->m_SetVolume = (mx - g_ButtonRects[ButtonVolume].x) / g_ButtonRects[ButtonVolume].w;
    }
}

void CMusicDisk::LoadTrack()
{
    if (m_TrackIndex < 0 || m_TrackIndex >= g_Album.Count())
        return;
    const std::string path = g_Album.Path(m_TrackIndex);
    m_TrackFile = CFixedString(path.c_str());
    m_Handle = CAudio::Load(path.c_str());
    if (m_Handle && m_Handle->GetHandle())
    {
        CAudio::Play(m_Handle, false);
        SayTrack();
        QueueNext();
    }
}

void CMusicDisk::SayTrack() const
{
    // The terminal names the track in its own text, as the desktop does; only
    // the ticker folds it to the font's letters.
    const std::string artist = g_Album.Artist(m_TrackIndex);
    const std::string title = g_Album.Title(m_TrackIndex);
    const bool byArtist = artist.find_first_not_of(" \t") != std::string::npos;
    std::fprintf(stderr, "ORBA: playing %d of %d: %s%s%s\n", m_TrackIndex + 1, g_Album.Count(),
                 byArtist ? artist.c_str() : "", byArtist ? ": " : "", title.c_str());
}

void CMusicDisk::QueueNext()
{
    DropNext();
    // After the last track the album starts over as a new start, not a
    // hand-over; a track that will not open is skipped as it always was.
    const int32_t next = m_TrackIndex + 1;
    if (next >= g_Album.Count())
        return;
    CAudio::CHandle* handle = CAudio::Load(g_Album.Path(next).c_str());
    if (!handle || !handle->GetHandle())
    {
        CAudio::Free(handle);
        return;
    }
    CAudio::PlayAfter(handle, m_Handle);
    m_NextHandle = handle;
    m_NextIndex = next;
}

void CMusicDisk::DropNext()
{
    CAudio::Stop(m_NextHandle);
    CAudio::Free(m_NextHandle);
    m_NextHandle = nullptr;
    m_NextIndex = -1;
}

void CMusicDisk::TakeNext()
{
    CAudio::Stop(m_Handle);
    CAudio::Free(m_Handle);
    m_Handle = m_NextHandle;
    m_NextHandle = nullptr;
    m_NextIndex = -1;
    m_TrackFile = CFixedString(g_Album.Path(m_TrackIndex).c_str());
    m_Paused = false;
    m_TextChanging = true;
    SayTrack();
    QueueNext();
}

void CMusicDisk::StartAlbum()
{
    m_AlbumSerial = g_AlbumSerial;
    m_Texts.clear();
    // Liner notes are shown as they stand; a tag's text is folded to the
    // font's letters and given the gap the notes carry.
    for (int i = 0; i < g_Album.Count(); ++i)
        m_Texts.push_back(g_Album.Notes(i) ? std::string() : FoldToFont(g_Album.Text(i)) + TextGap);
    // The ticker reads from the new texts at once: the old ones are gone.
    m_TextSource = TrackText(0);
    m_TextStart = m_TextSource;
    m_TextLength = std::strlen(m_TextStart);
}

const char* CMusicDisk::TrackText(int index) const
{
    if (const char* notes = g_Album.Notes(index))
        return notes;
    return index < static_cast<int>(m_Texts.size()) ? m_Texts[index].c_str() : TextGap;
}

void CMusicDisk::OpenTrack()
{
    DropNext();
    CAudio::Stop(m_Handle);
    CAudio::Free(m_Handle);
    m_Handle = nullptr;
    LoadTrack();
    m_Paused = false;
    m_TextChanging = true;
}

void CMusicDisk::UpdateTicker(float dt)
{
    if (m_TextChanging)
    {
        m_TextAlpha = std::max(m_TextAlpha - dt, 0.0f);
        if (m_TextAlpha == 0.0f)
        {
            // The text of the track current now, not of the one that began the fade.
            m_TextAlpha = 1.0f;
            m_TextChanging = false;
            m_ScrollOffset = 0.0f;
            m_TextSource = TrackText(m_TrackIndex);
            m_TextStart = m_TextSource;
            m_TextLength = std::strlen(m_TextStart);
            std::memset(m_Ticker, ' ', TickerLength);
            m_Ticker[TickerLength] = 0;
        }
    }

    m_ScrollOffset -= ScrollSpeed * dt;
    while (m_ScrollOffset < 0.0f)
    {
        const auto c = static_cast<unsigned char>(m_Ticker[0]);
        float advance = 1.0f;
        if (m_Font)
            advance = (c == ' ' ? m_Font->m_SpaceWidth : m_Font->m_GlyphWidth[c]) + m_Font->m_Spacing;
        // A character of no width would hold the loop forever.
        if (!(advance > 0.0f))
            advance = 1.0f;
        std::memmove(m_Ticker, m_Ticker + 1, TickerLength - 1);
        // An empty text would otherwise cut the line short with its terminator.
        m_Ticker[TickerLength - 1] = *m_TextSource ? *m_TextSource : ' ';
        ++m_TextSource;
        // The last character (a trailing space) is never shown: the text
        // starts over once all but it have been taken.
        if (static_cast<size_t>(m_TextSource - m_TextStart) + 1 >= m_TextLength)
            m_TextSource = m_TextStart;
        m_ScrollOffset += advance;
    }
}
