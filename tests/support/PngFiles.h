#pragma once
// Helpers of the artwork tests: reading files, a minimal PNG writer (stored
// deflate blocks, so any pixel layout can be built byte for byte) and a
// decoded image that frees itself.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/D3DX9.h"

inline std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string DataPath(const char* name)
{
    return std::string(ORBA_SOURCE_DIR) + "/Data/" + name;
}

inline uint32_t Crc32(const unsigned char* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i)
    {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

inline void PutBe32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<unsigned char>(v >> s));
}

inline void AppendChunk(std::vector<unsigned char>& png, const char type[5], const std::vector<unsigned char>& data)
{
    PutBe32(png, uint32_t(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBe32(png, Crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored blocks holding `raw`.
inline std::vector<unsigned char> ZlibStored(const std::vector<unsigned char>& raw)
{
    std::vector<unsigned char> z = {0x78, 0x01};
    size_t pos = 0;
    do
    {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw)
    {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    return z;
}

struct SPngLayout
{
    uint32_t m_Width = 1;
    uint32_t m_Height = 1;
    uint8_t m_Depth = 8;
    uint8_t m_Colour = 6;
    uint8_t m_Interlace = 0;
    std::vector<unsigned char> m_Palette;       // PLTE data, when not empty
    std::vector<unsigned char> m_Transparency;  // tRNS data, when not empty
    std::vector<unsigned char> m_Raw;           // filtered scanlines (filter byte first)
};

inline std::vector<unsigned char> BuildPng(const SPngLayout& s)
{
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    PutBe32(ihdr, s.m_Width);
    PutBe32(ihdr, s.m_Height);
    ihdr.insert(ihdr.end(), {s.m_Depth, s.m_Colour, 0, 0, s.m_Interlace});
    AppendChunk(png, "IHDR", ihdr);
    if (!s.m_Palette.empty())
        AppendChunk(png, "PLTE", s.m_Palette);
    if (!s.m_Transparency.empty())
        AppendChunk(png, "tRNS", s.m_Transparency);
    AppendChunk(png, "IDAT", ZlibStored(s.m_Raw));
    AppendChunk(png, "IEND", {});
    return png;
}

class CDecoded
{
public:
    CDecoded() = default;
    explicit CDecoded(const std::vector<unsigned char>& bytes) { m_Ok = Decode(bytes.data(), bytes.size()); }
    ~CDecoded() { FreePngArgb(m_Argb); }
    CDecoded(const CDecoded&) = delete;
    CDecoded& operator=(const CDecoded&) = delete;

    bool Decode(const void* data, size_t size)
    {
        FreePngArgb(m_Argb);
        m_Argb = nullptr;
        m_Ok = DecodePngArgb(data, size, &m_Width, &m_Height, &m_Argb);
        return m_Ok;
    }
    uint32_t At(uint32_t x, uint32_t y) const { return m_Argb[size_t(y) * m_Width + x]; }
    uint32_t Alpha(uint32_t x, uint32_t y) const { return At(x, y) >> 24; }
    // Mean of red, green and blue, 0..255.
    int Luma(uint32_t x, uint32_t y) const
    {
        uint32_t p = At(x, y);
        return int(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
    }

    bool m_Ok = false;
    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
    uint32_t* m_Argb = nullptr;
};
