// D3DX textures from PNG data: decoded to ARGB, then made by the device
// (which rounds each side up to a power of two and builds the mip chain).
// Kept apart from D3DX.cpp so that programs using effects or matrices only
// do not need the PNG decoder.
#include <vector>

#include "platform/D3DX9.h"
#include "platform/d3dx/PlatformFile.h"
#include "platform/d3dx/Resource.h"

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, size_t size,
                                          IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !data || size == 0)
        return D3DERR_INVALIDCALL;
    uint32_t width = 0, height = 0;
    uint32_t* argb = nullptr;
    if (!DecodePngArgb(data, size, &width, &height, &argb))
        return D3DERR_INVALIDCALL;
    const HRESULT hr = device->CreateTextureFromArgb(width, height, argb, texture);
    FreePngArgb(argb);
    if (FAILED(hr))
        *texture = nullptr;
    return hr;
}

HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice9* device, HMODULE module, UINT resourceId,
                                       IDirect3DTexture9** texture)
{
    const SEmbeddedResource* r = FindEmbeddedResource(resourceId);
    if (!r)
    {
        if (texture)
            *texture = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return D3DXCreateTextureFromFileInMemory(device, r->m_Data, r->m_Size, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture)
{
    std::vector<char> data;
    if (!ReadPlatformFile(path, &data))
    {
        if (texture)
            *texture = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return D3DXCreateTextureFromFileInMemory(device, data.data(), data.size(), texture);
}
