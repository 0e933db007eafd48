#pragma once
// What the player keeps between runs, in the settings file: the volume, the
// last album named on the command line or dropped on the window, and where
// the window stood. Read
// once at start, written when one of them changes (the volume once it has
// stood still a moment) and at the end. Main thread only. A recording
// neither reads nor writes it: a film comes out the same on every machine.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Win32.h"

struct SRemembered
{
    float m_Volume = -1.0f;            // 0..1; negative: none kept
    std::vector<std::string> m_Album;  // its folder or files, absolute; empty: none kept
    bool m_HavePlace = false;          // where the window stood when the player closed
    SWindowPlace m_Place;
};

extern SRemembered g_Remembered;

// Reads the settings file, or with `fresh` removes it and starts from the
// defaults. A file that cannot be used is said in one line and gives the
// defaults.
void LoadRemembered(bool fresh);
// The album now playing was named or dropped: kept at once.
void RememberAlbum(const std::vector<std::string>& paths);
// Follows the volume of the player on screen a frame at a time (`nowMs` any
// steady clock): a restart opens at it, and it is written once it has not
// changed for a second, so a drag is one write.
void FollowVolume(float volume, int64_t nowMs);
// Where the window stood at the end of the show: kept at once.
void RememberWindowPlace(const SWindowPlace& place);
// Writes what is not written yet (the end of the show).
void FlushRemembered();
