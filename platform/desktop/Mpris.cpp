// MPRIS 2 over sd-bus. Sections: state, the root interface, the player
// interface, open, poll and close.
//
// The bus is only ever touched from Mpris_Poll (and open/close) on the main
// thread; sd_bus_process answers one message per call, and a poll answers a
// bounded number, so a flood of calls costs a frame at most a little.
#include "platform/desktop/Mpris.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// ---------------------------------------------------------------- state

constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* RootInterface = "org.mpris.MediaPlayer2";
constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr int MessagesPerPoll = 256;

sd_bus* s_Bus = nullptr;
sd_bus_slot* s_RootSlot = nullptr;
sd_bus_slot* s_PlayerSlot = nullptr;
std::string s_DesktopEntry;
SMprisState s_State;       // what the getters answer from
SMprisState s_Announced;   // what the last PropertiesChanged told
bool s_AnnouncedOnce = false;
SMprisCommands* s_Commands = nullptr;  // where this poll's commands go

const char* PlaybackStatus(const SMprisState& s)
{
    return s.m_Playing ? "Playing" : s.m_Paused ? "Paused" : "Stopped";
}

int AddCommand(sd_bus_message* m, uint32_t flag)
{
    if (s_Commands)
        s_Commands->m_Flags |= flag;
    return sd_bus_reply_method_return(m, nullptr);
}

int Bool(sd_bus_message* reply, bool value)
{
    return sd_bus_message_append(reply, "b", value ? 1 : 0);
}

// ---------------------------------------------------------------- the root interface

int Raise(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisRaise); }
int Quit(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisQuit); }

int GetTrue(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return Bool(reply, true);
}

int GetFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return Bool(reply, false);
}

int GetIdentity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", "ORBA");
}

int GetDesktopEntry(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", s_DesktopEntry.c_str());
}

int GetNoStrings(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append_strv(reply, nullptr);
}

const sd_bus_vtable s_RootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", Raise, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", Quit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", GetIdentity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", GetDesktopEntry, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", GetNoStrings, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", GetNoStrings, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

// ---------------------------------------------------------------- the player interface

int Next(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisNext); }
int Previous(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisPrevious); }
int Pause(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisPause); }
int PlayPause(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisPlayPause); }
int Stop(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisStop); }
int Play(sd_bus_message* m, void*, sd_bus_error*) { return AddCommand(m, MprisPlay); }

std::string TrackId(int track)
{
    return "/org/mpris/MediaPlayer2/orba/track/" + std::to_string(track);
}

bool CanSeek()
{
    return s_State.m_Present && s_State.m_TrackCount > 0;
}

// Position answers with the new place at once, before the player has moved.
int Seek(sd_bus_message* m, void*, sd_bus_error*)
{
    int64_t offset = 0;
    const int r = sd_bus_message_read(m, "x", &offset);
    if (r < 0)
        return r;
    if (CanSeek() && s_Commands)
    {
        s_Commands->m_SeekUs += offset;
        s_State.m_PositionUs = std::max<int64_t>(s_State.m_PositionUs + offset, 0);
        if (s_State.m_LengthUs > 0)
            s_State.m_PositionUs = std::min(s_State.m_PositionUs, s_State.m_LengthUs);
    }
    return sd_bus_reply_method_return(m, nullptr);
}

// A stale track id, or a place outside the track, is ignored, as MPRIS asks.
int SetPosition(sd_bus_message* m, void*, sd_bus_error*)
{
    const char* track = nullptr;
    int64_t position = 0;
    const int r = sd_bus_message_read(m, "ox", &track, &position);
    if (r < 0)
        return r;
    const bool inside = position >= 0 && (s_State.m_LengthUs <= 0 || position <= s_State.m_LengthUs);
    if (CanSeek() && s_Commands && track && TrackId(s_State.m_Track) == track && inside)
    {
        s_Commands->m_SetPositionUs = position;
        s_Commands->m_SeekUs = 0;
        s_State.m_PositionUs = position;
    }
    return sd_bus_reply_method_return(m, nullptr);
}

int GetCanSeek(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return Bool(reply, CanSeek());
}

int OpenUri(sd_bus_message* m, void*, sd_bus_error* error)
{
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "ORBA opens no URIs");
}

int GetPlaybackStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                      sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", PlaybackStatus(s_State));
}

int GetRate(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", 1.0);
}

int GetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", s_State.m_Volume);
}

// A volume from the bus: a number, clamped into 0..1; NaN is refused.
int SetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*, sd_bus_error* error)
{
    double volume = 0.0;
    const int r = sd_bus_message_read(value, "d", &volume);
    if (r < 0)
        return r;
    if (std::isnan(volume))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the volume must be a number");
    volume = std::clamp(volume, 0.0, 1.0);
    if (s_Commands)
        s_Commands->m_Volume = volume;
    s_State.m_Volume = volume;
    return 0;
}

int GetPosition(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "x", s_State.m_PositionUs);
}

int GetCanGo(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return Bool(reply, s_State.m_Present && s_State.m_TrackCount > 0);
}

template <typename T>
int AppendEntry(sd_bus_message* reply, const char* key, char type, const char* signature, T value)
{
    int r = sd_bus_message_open_container(reply, 'e', "sv");
    if (r >= 0)
        r = sd_bus_message_append(reply, "s", key);
    if (r >= 0)
        r = sd_bus_message_open_container(reply, 'v', signature);
    if (r >= 0)
        r = sd_bus_message_append_basic(reply, type, value);
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r;
}

int GetMetadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0 || !s_State.m_Present)
        return r < 0 ? r : sd_bus_message_close_container(reply);
    const std::string id = TrackId(s_State.m_Track);
    const int32_t number = s_State.m_Track;
    const int64_t length = s_State.m_LengthUs;
    r = AppendEntry(reply, "mpris:trackid", 'o', "o", id.c_str());
    if (r >= 0)
        r = AppendEntry(reply, "mpris:length", 'x', "x", &length);
    if (r >= 0)
        r = AppendEntry(reply, "xesam:title", 's', "s", s_State.m_Title.c_str());
    if (r >= 0)
        r = AppendEntry(reply, "xesam:album", 's', "s", s_State.m_Album.c_str());
    if (r >= 0)
        r = AppendEntry(reply, "xesam:trackNumber", 'i', "i", &number);
    if (r >= 0 && !s_State.m_Artist.empty())
    {
        // xesam:artist is a list of names.
        r = sd_bus_message_open_container(reply, 'e', "sv");
        if (r >= 0)
            r = sd_bus_message_append(reply, "s", "xesam:artist");
        if (r >= 0)
            r = sd_bus_message_open_container(reply, 'v', "as");
        if (r >= 0)
            r = sd_bus_message_append(reply, "as", 1, s_State.m_Artist.c_str());
        if (r >= 0)
            r = sd_bus_message_close_container(reply);
        if (r >= 0)
            r = sd_bus_message_close_container(reply);
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

const sd_bus_vtable s_PlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", Next, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", Previous, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", Pause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", PlayPause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", Stop, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", Play, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", Seek, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", SetPosition, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", OpenUri, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetPlaybackStatus, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Rate", "d", GetRate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MinimumRate", "d", GetRate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", GetRate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetMetadata, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", GetVolume, SetVolume, 0,
                             SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE | SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("Position", "x", GetPosition, 0, SD_BUS_VTABLE_PROPERTY_EMITS_INVALIDATION),
    SD_BUS_PROPERTY("CanGoNext", "b", GetCanGo, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanGoPrevious", "b", GetCanGo, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPlay", "b", GetCanGo, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPause", "b", GetCanGo, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanSeek", "b", GetCanSeek, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanControl", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

// What changed since the last announcement, as property names.
std::vector<const char*> Changes(const SMprisState& now, const SMprisState& before, bool first)
{
    std::vector<const char*> names;
    if (first || std::strcmp(PlaybackStatus(now), PlaybackStatus(before)) != 0)
        names.push_back("PlaybackStatus");
    if (first || now.m_Present != before.m_Present || now.m_Track != before.m_Track ||
        now.m_LengthUs != before.m_LengthUs || now.m_Title != before.m_Title || now.m_Artist != before.m_Artist ||
        now.m_Album != before.m_Album)
        names.push_back("Metadata");
    if (first || now.m_Volume != before.m_Volume)
        names.push_back("Volume");
    if (first || now.m_Present != before.m_Present || (now.m_TrackCount > 0) != (before.m_TrackCount > 0))
    {
        names.push_back("CanGoNext");
        names.push_back("CanGoPrevious");
        names.push_back("CanPlay");
        names.push_back("CanPause");
        names.push_back("CanSeek");
    }
    return names;
}

void Drop(const char* why, int error)
{
    std::fprintf(stderr, "ORBA: desktop: %s (%s): the desktop's controls will not reach the player\n", why,
                 std::strerror(error));
    Mpris_Close();
}

}  // namespace

// ---------------------------------------------------------------- open, poll and close

bool Mpris_Open(const char* desktopEntry)
{
    Mpris_Close();
    s_DesktopEntry = desktopEntry ? desktopEntry : "";
    int r = sd_bus_open_user(&s_Bus);
    if (r < 0)
    {
        s_Bus = nullptr;
        std::fprintf(stderr, "ORBA: desktop: no session bus (%s): the player carries on without it\n",
                     std::strerror(-r));
        return false;
    }
    r = sd_bus_add_object_vtable(s_Bus, &s_RootSlot, ObjectPath, RootInterface, s_RootVtable, nullptr);
    if (r >= 0)
        r = sd_bus_add_object_vtable(s_Bus, &s_PlayerSlot, ObjectPath, PlayerInterface, s_PlayerVtable, nullptr);
    if (r < 0)
    {
        Drop("the player could not be offered", -r);
        return false;
    }
    // A second player running takes a name of its own, as MPRIS asks.
    r = sd_bus_request_name(s_Bus, "org.mpris.MediaPlayer2.orba", 0);
    if (r == -EEXIST)
    {
        const std::string name = "org.mpris.MediaPlayer2.orba.instance" + std::to_string(getpid());
        r = sd_bus_request_name(s_Bus, name.c_str(), 0);
    }
    if (r < 0)
    {
        Drop("the player's name could not be taken", -r);
        return false;
    }
    s_AnnouncedOnce = false;
    return true;
}

void Mpris_Poll(const SMprisState& state, SMprisCommands* commands)
{
    if (!s_Bus)
        return;
    s_State = state;
    s_Commands = commands;
    for (int i = 0; i < MessagesPerPoll; ++i)
    {
        const int r = sd_bus_process(s_Bus, nullptr);
        if (r < 0)
        {
            s_Commands = nullptr;
            Drop("the session bus went away", -r);
            return;
        }
        if (r == 0)
            break;
    }
    s_Commands = nullptr;
    // A volume set from the bus is what the next poll will tell anyway.
    std::vector<const char*> names = Changes(s_State, s_Announced, !s_AnnouncedOnce);
    if (!names.empty())
    {
        names.push_back(nullptr);
        // Queued: the next poll's processing writes it out, so this never waits.
        sd_bus_emit_properties_changed_strv(s_Bus, ObjectPath, PlayerInterface, const_cast<char**>(names.data()));
    }
    if (s_AnnouncedOnce && s_State.m_Seeks != s_Announced.m_Seeks)
        sd_bus_emit_signal(s_Bus, ObjectPath, PlayerInterface, "Seeked", "x", s_State.m_PositionUs);
    s_Announced = s_State;
    s_AnnouncedOnce = true;
}

void Mpris_Close()
{
    s_RootSlot = sd_bus_slot_unref(s_RootSlot);
    s_PlayerSlot = sd_bus_slot_unref(s_PlayerSlot);
    if (s_Bus)
        s_Bus = sd_bus_flush_close_unref(s_Bus);
    s_Commands = nullptr;
}
