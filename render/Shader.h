#pragma once
// Holders of what the device made from content: a texture and an effect.
// Each releases its device object with it. Main thread only.
#include <cstdint>
#include <vector>

#include "platform/D3DX9.h"

class CTexture
{
public:
    ~CTexture();
    // A texture that failed to decode has a null m_Texture and zero size and
    // must not be drawn.
    bool IsValid() const { return m_Texture != nullptr; }

    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
    IDirect3DTexture9* m_Texture = nullptr;
    // How opaque each square of texels is, read from the texels the first
    // time DrawImageInTiles needs it (the texels never change).
    mutable std::vector<uint8_t> m_AlphaTiles;
};

class CShader
{
public:
    ~CShader();
    ID3DXEffect* m_Effect = nullptr;  // null when creation failed
};
