#pragma once
// The player on the desktop's session bus as an MPRIS 2 player
// ("org.mpris.MediaPlayer2.orba"), so that shells, docks and playerctl show
// its track and control it. Polled from the frame loop: a poll answers what
// waits on the bus and never blocks. Main thread only.
#include <cstdint>
#include <string>

struct SMprisState
{
    bool m_Present = false;  // a track is there to show
    bool m_Playing = false;
    bool m_Paused = false;   // neither: stopped
    double m_Volume = 0.0;   // 0..1
    int64_t m_PositionUs = 0;
    int m_Track = 0;         // 1 based
    int m_TrackCount = 0;
    int64_t m_LengthUs = 0;
    std::string m_Title, m_Artist, m_Album;  // UTF-8
    // How many seeks the player has made: each new one is signalled (Seeked).
    uint32_t m_Seeks = 0;
};

enum EMprisCommand : uint32_t
{
    MprisPlay = 1u << 0,
    MprisPause = 1u << 1,
    MprisPlayPause = 1u << 2,
    MprisStop = 1u << 3,
    MprisNext = 1u << 4,
    MprisPrevious = 1u << 5,
    MprisRaise = 1u << 6,
    MprisQuit = 1u << 7,
};

struct SMprisCommands
{
    uint32_t m_Flags = 0;
    double m_Volume = -1.0;  // a volume set from the bus (0..1), or negative
    int64_t m_SeekUs = 0;            // Seek: added to the position
    int64_t m_SetPositionUs = -1;    // SetPosition on the current track, or negative
};

// Joins the session bus under the player's name. False, with one line on
// stderr, when there is no session bus: the player carries on without it.
bool Mpris_Open(const char* desktopEntry);
// Answers the calls waiting on the bus from `state`, signals what changed
// since the last poll, and adds the commands that arrived to `commands`.
void Mpris_Poll(const SMprisState& state, SMprisCommands* commands);
void Mpris_Close();
