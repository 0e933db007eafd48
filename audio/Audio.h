#pragma once
// Playable tracks over the sound library: modules (CSong) and streams
// (CStream), opened by what the library accepts, never by file extension.
// Main thread only, except OnStreamEnd, which the library calls from its own
// thread and which only sets the stream's end flag.
#include <atomic>
#include <cstdint>
#include <string>

struct FMUSIC_MODULE;
struct FSOUND_STREAM;

class CAudio
{
public:
    class CHandle
    {
    public:
        virtual int32_t GetType() = 0;     // 0 song, 1 stream
        virtual void* GetHandle() = 0;     // the library object; never null from Load
    };

    static CHandle* Load(const char* path);
    static void Play(CHandle* handle, bool loop);
    // Plays `handle` once, starting on the sample after `previous` ends,
    // with nothing between; decoded ahead, it waits till then.
    static void PlayAfter(CHandle* handle, CHandle* previous);
    static void Pause(CHandle* handle, bool pause);
    // Moves to `ms` from the track's start (past its end: it ends, as at its
    // end). Paused, it stays paused there.
    static void Seek(CHandle* handle, uint32_t ms);
    static void Stop(CHandle* handle);
    static void Free(CHandle* handle);
    static bool IsFinished(CHandle* handle);
    static uint32_t GetTime(CHandle* handle);
    static uint32_t GetLength(CHandle* handle);
    // Whether `path` would play, and what it says of itself (the file's own
    // text, possibly empty). Opens nothing that stays open.
    static bool ReadTags(const char* path, std::string* title, std::string* artist, std::string* album = nullptr);
};

class CSong final : public CAudio::CHandle
{
public:
    int32_t GetType() override { return 0; }
    void* GetHandle() override { return m_Module; }

    FMUSIC_MODULE* m_Module = nullptr;
};

class CStream final : public CAudio::CHandle
{
public:
    int32_t GetType() override { return 1; }
    void* GetHandle() override { return m_Stream; }

    // Written by the library's thread (OnStreamEnd), read by the main thread.
    std::atomic<bool> m_Finished{false};
    FSOUND_STREAM* m_Stream = nullptr;
    bool m_Loop = false;
    bool m_Paused = false;
    uint32_t m_PausePosition = 0;
};

// File callbacks handed to the library: stdio underneath, '\' read as '/'.
void* FileOpen(const char* name);
void FileClose(void* handle);
int FileRead(void* buffer, int size, void* handle);
int FileSeek(void* handle, int pos, signed char mode);
int FileTell(void* handle);

signed char OnStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData);
