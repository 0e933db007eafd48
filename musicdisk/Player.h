#pragma once
// The player's records, owned by the player screen: how it was asked to
// start (set once by the show before the player runs), what the world asks
// of it (keys and the desktop's media controls post requests; the player
// takes them once a frame, in its update), and what it tells the world
// (track, state, volume, the track's sound), written back by its update.
// Main thread only.
#include <cstdint>
#include <string>

#include "audio/Audio.h"

// How the show starts the player: the command line's choices and those of
// a recording.
struct SPlayerOptions
{
    int32_t m_FirstTrack = 0;   // 0 based; out of range starts at the first
    bool m_HideCursor = false;  // a recording shows no mouse square
    float m_Volume = 0.85f;     // 0..1 at the start: the kept one, else the disk's own
};

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
    int64_t m_SeekToMs = -1;    // a place in the track, or negative for none
    int64_t m_SeekByMs = 0;     // then moved by this much (back when negative)
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
    // The track's sound (null while stopped or when it could not be
    // opened): whoever follows the sound itself, as a recording does, asks
    // it when the track has ended.
    CAudio::CHandle* m_Handle = nullptr;
    uint32_t m_Seeks = 0;  // seeks made since the player started
};

extern SPlayerOptions g_PlayerOptions;
extern SPlayerRequests g_PlayerRequests;
extern SPlayerState g_PlayerState;

// Back to how a fresh process starts (tests, and the show's start).
void ResetPlayerRecords();
