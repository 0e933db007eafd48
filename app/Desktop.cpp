#include "app/Desktop.h"

#include "frame/AppState.h"
#include "musicdisk/Player.h"
#include "platform/desktop/Mpris.h"
#include "render/RenderDevice.h"

void OpenDesktop()
{
    Mpris_Open("orba");
}

void PollDesktop()
{
    const SPlayerState& p = g_PlayerState;
    SMprisState state;
    state.m_Present = p.m_Present;
    state.m_Playing = p.m_Present && !p.m_Paused && !p.m_Stopped;
    state.m_Paused = p.m_Present && p.m_Paused && !p.m_Stopped;
    state.m_Volume = p.m_Volume;
    state.m_PositionUs = int64_t(p.m_PositionMs) * 1000;
    state.m_Track = p.m_Track;
    state.m_TrackCount = p.m_TrackCount;
    state.m_LengthUs = int64_t(p.m_LengthMs) * 1000;
    state.m_Title = p.m_Title;
    state.m_Artist = p.m_Artist;
    state.m_Album = p.m_Album;
    state.m_Seeks = p.m_Seeks;

    SMprisCommands commands;
    Mpris_Poll(state, &commands);
    static const struct
    {
        uint32_t m_Mpris;
        uint32_t m_Player;
    } s_Map[] = {{MprisPlay, PlayerPlay},       {MprisPause, PlayerPause}, {MprisPlayPause, PlayerPlayPause},
                 {MprisStop, PlayerStop},       {MprisNext, PlayerNext},   {MprisPrevious, PlayerPrevious}};
    // Only a player that runs is asked: none are kept for one to come.
    for (const auto& m : s_Map)
        if (p.m_Present && (commands.m_Flags & m.m_Mpris))
            g_PlayerRequests.m_Flags |= m.m_Player;
    if (p.m_Present && commands.m_Volume >= 0.0)
        g_PlayerRequests.m_SetVolume = static_cast<float>(commands.m_Volume);
    if (p.m_Present && commands.m_SetPositionUs >= 0)
        g_PlayerRequests.m_SeekToMs = commands.m_SetPositionUs / 1000;
    if (p.m_Present)
        g_PlayerRequests.m_SeekByMs += commands.m_SeekUs / 1000;
    if (commands.m_Flags & MprisRaise)
    {
        ShowWindow(g_hWnd, SW_SHOWDEFAULT);
        BringWindowToTop(g_hWnd);
    }
    if (commands.m_Flags & MprisQuit)
        g_Quit = true;
}

void CloseDesktop()
{
    Mpris_Close();
}
