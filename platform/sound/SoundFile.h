#pragma once
// Inside platform/ only: file access of the sound library. Every byte the
// library reads goes through the five callbacks registered with
// FSOUND_File_SetCallbacks (stdio when none were registered); a CSoundFile is
// one open file through them. Used by the main thread while opening and by
// the decoder thread while playing, never by the audio callback.
#include "platform/FMOD.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct CSoundFileIO
{
    FSOUND_OPENCALLBACK m_Open = nullptr;
    FSOUND_CLOSECALLBACK m_Close = nullptr;
    FSOUND_READCALLBACK m_Read = nullptr;
    FSOUND_SEEKCALLBACK m_Seek = nullptr;
    FSOUND_TELLCALLBACK m_Tell = nullptr;

    bool IsComplete() const { return m_Open && m_Close && m_Read && m_Seek && m_Tell; }
    // Plain stdio, for when the program registered nothing.
    static CSoundFileIO Stdio();
};

class CSoundFile
{
public:
    CSoundFile() = default;
    CSoundFile(const CSoundFile&) = delete;
    CSoundFile& operator=(const CSoundFile&) = delete;
    ~CSoundFile() { Close(); }

    bool Open(const CSoundFileIO& io, const char* name);
    void Close();
    bool IsOpen() const { return m_Handle != nullptr; }

    // Bytes read (0 at the end or on error).
    size_t Read(void* buffer, size_t size);
    // origin 0 start, 1 current, 2 end; false when the callback refused.
    bool Seek(int64_t pos, int origin);
    int64_t Tell();
    // Length in bytes, -1 when unknown; the position is kept.
    int64_t Size();
    // The whole file, refused (false) when larger than limit or unreadable.
    bool ReadAll(std::vector<uint8_t>& out, size_t limit);

private:
    CSoundFileIO m_IO;
    void* m_Handle = nullptr;
};
