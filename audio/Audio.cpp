// Playable tracks over the sound library, and the file callbacks it reads
// through.
#include "audio/Audio.h"

#include "frame/Report.h"
#include "platform/FMOD.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{
// The handle's library object, or null for a null or empty handle.
void* LibraryObject(CAudio::CHandle* handle)
{
    return handle ? handle->GetHandle() : nullptr;
}

FMUSIC_MODULE* ModuleOf(CAudio::CHandle* handle)
{
    return static_cast<CSong*>(handle)->m_Module;
}
}

CAudio::CHandle* CAudio::Load(const char* path)
{
    FSOUND_File_SetCallbacks(FileOpen, FileClose, FileRead, FileSeek, FileTell);
    // Modules first: a module is known by its contents, whatever its name.
    if (FMUSIC_MODULE* module = FMUSIC_LoadSong(path))
    {
        auto* song = new CSong;
        song->m_Module = module;
        return song;
    }
    if (FSOUND_STREAM* stream = FSOUND_Stream_Open(path, FSOUND_LOOP_NORMAL | FSOUND_2D, 0, 0))
    {
        auto* handle = new CStream;
        handle->m_Stream = stream;
        return handle;
    }
    // Said once per file: a missing track is asked for again and again.
    std::string name = path ? path : "";
    std::replace(name.begin(), name.end(), '\\', '/');
    ReportFailure("track", "%s: cannot be opened", name.c_str());
    return nullptr;
}

bool CAudio::ReadTags(const char* path, std::string* title, std::string* artist, std::string* album)
{
    FSOUND_File_SetCallbacks(FileOpen, FileClose, FileRead, FileSeek, FileTell);
    FSOUND_TAGS tags;
    if (!FSOUND_ReadTags(path, &tags))
        return false;
    *title = tags.title;
    *artist = tags.artist;
    if (album)
        *album = tags.album;
    return true;
}

void CAudio::Play(CHandle* handle, bool loop)
{
    if (!LibraryObject(handle))
        return;
    if (handle->GetType() == 0)
    {
        FMUSIC_PlaySong(ModuleOf(handle));
        FMUSIC_SetLooping(ModuleOf(handle), loop);
        return;
    }
    auto* stream = static_cast<CStream*>(handle);
    FSOUND_Stream_SetLoopCount(stream->m_Stream, loop ? -1 : 0);
    FSOUND_Stream_Play(0, stream->m_Stream);
    FSOUND_Stream_SetEndCallback(stream->m_Stream, OnStreamEnd, stream);
    stream->m_Loop = loop;
}

void CAudio::PlayAfter(CHandle* handle, CHandle* previous)
{
    if (!LibraryObject(handle) || !LibraryObject(previous))
        return;
    FSOUND_STREAM* afterStream = previous->GetType() == 1 ? static_cast<CStream*>(previous)->m_Stream : nullptr;
    FMUSIC_MODULE* afterModule = previous->GetType() == 0 ? ModuleOf(previous) : nullptr;
    if (handle->GetType() == 0)
    {
        FMUSIC_SetLooping(ModuleOf(handle), 0);
        FSOUND_PlayAfter(nullptr, ModuleOf(handle), afterStream, afterModule);
        return;
    }
    auto* stream = static_cast<CStream*>(handle);
    FSOUND_Stream_SetLoopCount(stream->m_Stream, 0);
    FSOUND_PlayAfter(stream->m_Stream, nullptr, afterStream, afterModule);
    FSOUND_Stream_SetEndCallback(stream->m_Stream, OnStreamEnd, stream);
    stream->m_Loop = false;
}

void CAudio::Pause(CHandle* handle, bool pause)
{
    if (!LibraryObject(handle))
        return;
    if (handle->GetType() == 0)
    {
        FMUSIC_SetPaused(ModuleOf(handle), pause);
        return;
    }
    // A stream pauses by stopping at a remembered place and resumes by
    // playing again (with the same looping) from there.
    auto* stream = static_cast<CStream*>(handle);
    if (pause)
    {
        stream->m_PausePosition = FSOUND_Stream_GetPosition(stream->m_Stream);
        Stop(handle);
    }
    else
    {
        Play(handle, stream->m_Loop);
        // Where it goes on already (a seek while paused started it there,
        // fading in): moving it again would start it once more, unfaded.
        if (FSOUND_Stream_GetPosition(stream->m_Stream) != stream->m_PausePosition)
            FSOUND_Stream_SetPosition(stream->m_Stream, stream->m_PausePosition);
    }
    stream->m_Paused = pause;
}

void CAudio::Seek(CHandle* handle, uint32_t ms)
{
    if (!LibraryObject(handle))
        return;
    const int time = static_cast<int>(std::min<uint32_t>(ms, 0x7FFFFFFF));
    if (handle->GetType() == 0)
    {
        FMUSIC_SetTime(ModuleOf(handle), time);
        return;
    }
    auto* stream = static_cast<CStream*>(handle);
    FSOUND_Stream_SetTime(stream->m_Stream, time);
    // Resuming goes on from the new place, not the one it paused at.
    if (stream->m_Paused)
        stream->m_PausePosition = FSOUND_Stream_GetPosition(stream->m_Stream);
}

void CAudio::Stop(CHandle* handle)
{
    if (!LibraryObject(handle))
        return;
    if (handle->GetType() == 0)
        FMUSIC_StopSong(ModuleOf(handle));
    else
        FSOUND_Stream_Stop(static_cast<CStream*>(handle)->m_Stream);
}

void CAudio::Free(CHandle* handle)
{
    if (!LibraryObject(handle))
        return;
    if (handle->GetType() == 0)
    {
        FMUSIC_FreeSong(ModuleOf(handle));
        delete static_cast<CSong*>(handle);
    }
    else
    {
        FSOUND_Stream_Close(static_cast<CStream*>(handle)->m_Stream);
        delete static_cast<CStream*>(handle);
    }
}

bool CAudio::IsFinished(CHandle* handle)
{
    // A track that could not be opened counts as over, so the player moves on.
    if (!LibraryObject(handle))
        return true;
    if (handle->GetType() == 0)
        return FMUSIC_IsFinished(ModuleOf(handle)) != 0;
    return static_cast<CStream*>(handle)->m_Finished.load();
}

uint32_t CAudio::GetTime(CHandle* handle)
{
    if (!LibraryObject(handle))
        return 0;
    if (handle->GetType() == 0)
        return static_cast<uint32_t>(FMUSIC_GetTime(ModuleOf(handle)));
    return static_cast<uint32_t>(FSOUND_Stream_GetTime(static_cast<CStream*>(handle)->m_Stream));
}

uint32_t CAudio::GetLength(CHandle* handle)
{
    if (!LibraryObject(handle) || handle->GetType() == 0)
        return 0; // a module has no known length
    return static_cast<uint32_t>(FSOUND_Stream_GetLengthMs(static_cast<CStream*>(handle)->m_Stream));
}

void* FileOpen(const char* name)
{
    if (!name)
        return nullptr;
    // The program's paths are written with '\'.
    std::string path(name);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return std::fopen(path.c_str(), "rb");
}

void FileClose(void* handle)
{
    if (handle)
        std::fclose(static_cast<FILE*>(handle));
}

int FileRead(void* buffer, int size, void* handle)
{
    if (!handle || size <= 0)
        return 0;
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<FILE*>(handle)));
}

int FileSeek(void* handle, int pos, signed char mode)
{
    if (!handle)
        return -1;
    // 0, 1, 2 are SEEK_SET, SEEK_CUR, SEEK_END: passed through.
    return std::fseek(static_cast<FILE*>(handle), pos, mode);
}

int FileTell(void* handle)
{
    if (!handle)
        return -1;
    return static_cast<int>(std::ftell(static_cast<FILE*>(handle)));
}

signed char OnStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData)
{
    static_cast<CStream*>(userData)->m_Finished.store(true);
    return 1;
}
