#pragma once
// What the world asks of the player (keys, the desktop's media controls) and
// what the player tells the world (track, state, volume). The application
// fills the requests before the screens update; the player takes them in its
// update and writes its state back. Main thread only.
#include <cstdint>
#include <string>

enum EPlayerRequest : uint32_t
{
    PlayerPlay = 1u << 0,
    PlayerPause = 1u << 1,
    PlayerPlayPause = 1u << 2,
    PlayerStop = 1u << 3,
    PlayerNext = 1u << 4,
    PlayerPrevious = 1u << 5,
};

struct SPlayerRequests
{
    uint32_t m_Flags = 0;
    float m_VolumeStep = 0.0f;  // added to the volume, then clamped to 0..1
    float m_SetVolume = -1.0f;  // 0..1, or negative for none; before the step
};

struct SPlayerState
{
    bool m_Present = false;  // a player screen is running
    int m_Track = 0;         // 1 based
    int m_TrackCount = 0;
    bool m_Paused = false;
    bool m_Stopped = false;
    float m_Volume = 0.0f;
    uint32_t m_LengthMs = 0;
    uint32_t m_PositionMs = 0;
    std::string m_Title, m_Artist, m_Album;  // UTF-8
    std::string m_Path;                      // the track's file
};

extern SPlayerRequests g_PlayerRequests;
extern SPlayerState g_PlayerState;
