#pragma once
// The font strip scan on any image, shared by fuzz_font_scan and the
// regression tests. Input that is not a PNG is a small raw image: width and
// height in the first two bytes, then ARGB texels (4 bytes each, missing
// ones zero). Needs g_Device to be a recording device with the 2D effect
// (InstallRecordingDevice).
#include <cstdint>
#include <vector>

#include "content/ResourceManager.h"
#include "musicdisk/Font.h"
#include "platform/D3DX9.h"
#include "render/RenderDevice.h"

// As the loader makes a texture: the record's size is the created texture's.
inline CTexture* MakeFuzzTexture(const uint8_t* data, size_t size)
{
    auto* texture = new CTexture;
    uint32_t width = 0, height = 0;
    uint32_t* argb = nullptr;
    if (DecodePngArgb(data, size, &width, &height, &argb))
    {
        g_Device->CreateTextureFromArgb(width, height, argb, &texture->m_Texture);
        FreePngArgb(argb);
    }
    else if (size >= 2 && data[0] && data[1])
    {
        width = data[0];
        height = data[1];
        std::vector<uint32_t> texels(size_t(width) * height, 0);
        for (size_t i = 0; i < texels.size() && 2 + i * 4 + 3 < size; ++i)
        {
            const uint8_t* t = data + 2 + i * 4;
            texels[i] = uint32_t(t[0]) << 24 | uint32_t(t[1]) << 16 | uint32_t(t[2]) << 8 | t[3];
        }
        g_Device->CreateTextureFromArgb(width, height, texels.data(), &texture->m_Texture);
    }
    D3DSURFACE_DESC desc;
    if (texture->m_Texture && SUCCEEDED(texture->m_Texture->GetLevelDesc(0, &desc)))
    {
        texture->m_Width = desc.Width;
        texture->m_Height = desc.Height;
    }
    return texture;
}

// Scans the image as the font strip, then measures and draws a fixed text.
// Returns the measured width, through `width`.
inline const char* ExerciseFontScan(const uint8_t* data, size_t size, float* width)
{
    CTexture* texture = MakeFuzzTexture(data, size);
    CFont* font = CreateFont(texture, 1.0f, 4.0f);
    const char* problem = nullptr;
    if (!font)
        problem = "CreateFont gave null";
    *width = MeasureText(font, 1.0f, "%s %d", "ORBA: TAMM SONGS!", 2006);
    if (!(*width >= 0.0f))
        problem = "negative or NaN text width";
    DrawText(font, 10.0f, 20.0f, 0xFFFFFFFFu, 2.0f, "%s\n%s", "NOW PLAYING: DAY1", "0123456789 .:!?abc");
    delete font;
    delete texture;
    return problem;
}
