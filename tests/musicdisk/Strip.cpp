#include "Strip.h"

#include <cstring>

#include "musicdisk/Font.h"
#include "support/RecordingDevice.h"

std::vector<int> ShippedWidths()
{
    std::vector<int> widths;
    for (const char* p = s_Alphabet; *p; ++p)
    {
        const char c = *p;
        if (c == 'M' || c == 'T' || c == 'W')
            widths.push_back(8);
        else if (c == '1')
            widths.push_back(3);
        else if (c == 'I' || c == '!' || c == '.' || c == ':')
            widths.push_back(2);
        else
            widths.push_back(7);
    }
    return widths;
}

std::unique_ptr<CTexture> MakeStrip(const std::vector<int>& widths, int first, int gap, unsigned width)
{
    constexpr unsigned height = 8;
    // Transparent white: colour without alpha must not count as filled.
    std::vector<uint32_t> texels(size_t(width) * height, 0x00FFFFFFu);
    int x = first;
    for (int w : widths)
    {
        for (int i = 0; i < w; ++i)
            if (x + i < static_cast<int>(width))
                texels[size_t((x + i) % height) * width + size_t(x + i)] = 0xFFFFFFFFu;
        x += w + gap;
    }
    auto texture = std::make_unique<CTexture>();
    texture->m_Texture = new CRecordingTexture(width, height, texels.data());
    texture->m_Width = width;
    texture->m_Height = height;
    return texture;
}

std::unique_ptr<CTexture> MakeImage(unsigned width, unsigned height)
{
    const std::vector<uint32_t> texels(size_t(width) * height, 0xFFFFFFFFu);
    auto texture = std::make_unique<CTexture>();
    texture->m_Texture = new CRecordingTexture(width, height, texels.data());
    texture->m_Width = width;
    texture->m_Height = height;
    return texture;
}
