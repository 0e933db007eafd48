#include "platform/sound/SoundFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace
{
void* StdioOpen(const char* name)
{
    return std::fopen(name, "rb");
}

void StdioClose(void* handle)
{
    std::fclose(static_cast<FILE*>(handle));
}

int StdioRead(void* buffer, int size, void* handle)
{
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<FILE*>(handle)));
}

int StdioSeek(void* handle, int pos, signed char mode)
{
    return std::fseek(static_cast<FILE*>(handle), pos, mode);
}

int StdioTell(void* handle)
{
    return static_cast<int>(std::ftell(static_cast<FILE*>(handle)));
}
}

CSoundFileIO CSoundFileIO::Stdio()
{
    CSoundFileIO io;
    io.m_Open = StdioOpen;
    io.m_Close = StdioClose;
    io.m_Read = StdioRead;
    io.m_Seek = StdioSeek;
    io.m_Tell = StdioTell;
    return io;
}

bool CSoundFile::Open(const CSoundFileIO& io, const char* name)
{
    Close();
    if (!name || !io.IsComplete())
        return false;
    m_IO = io;
    m_Handle = m_IO.m_Open(name);
    return m_Handle != nullptr;
}

void CSoundFile::Close()
{
    if (m_Handle)
        m_IO.m_Close(m_Handle);
    m_Handle = nullptr;
}

size_t CSoundFile::Read(void* buffer, size_t size)
{
    if (!m_Handle)
        return 0;
    // The callback counts in int: large reads go in pieces.
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < size)
    {
        int want = static_cast<int>(std::min<size_t>(size - done, 1u << 30));
        int got = m_IO.m_Read(out + done, want, m_Handle);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
        if (got < want)
            break;
    }
    return done;
}

bool CSoundFile::Seek(int64_t pos, int origin)
{
    if (!m_Handle || pos > INT_MAX || pos < INT_MIN)
        return false;
    return m_IO.m_Seek(m_Handle, static_cast<int>(pos), static_cast<signed char>(origin)) == 0;
}

int64_t CSoundFile::Tell()
{
    return m_Handle ? m_IO.m_Tell(m_Handle) : -1;
}

int64_t CSoundFile::Size()
{
    int64_t here = Tell();
    if (here < 0 || !Seek(0, 2))
        return -1;
    int64_t size = Tell();
    if (!Seek(here, 0))
        return -1;
    return size;
}

bool CSoundFile::ReadAll(std::vector<uint8_t>& out, size_t limit)
{
    int64_t size = Size();
    if (size < 0 || static_cast<uint64_t>(size) > limit || !Seek(0, 0))
        return false;
    out.resize(static_cast<size_t>(size));
    size_t got = Read(out.data(), out.size());
    out.resize(got);
    return true;
}
