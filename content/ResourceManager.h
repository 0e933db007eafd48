#pragma once
// The program's content: the effect file and the interface images, embedded
// in the executable and preloaded one per call into two maps keyed by
// resource id, where they stay for the whole run. Main thread only.
#include <cstdint>
#include <map>

#include "content/FixedString.h"
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
};

class CShader
{
public:
    ~CShader();
    ID3DXEffect* m_Effect = nullptr;  // null when creation failed
};

struct SResourceFile
{
    uint32_t m_Id;
    const char* m_Name;
};

extern CFixedString s_DataPath;
extern const SResourceFile s_ShaderFiles[1];
extern const SResourceFile s_TextureFiles[7];
extern int32_t s_NextResource;

CShader* LoadShader(uint32_t id, const CFixedString& path);
CTexture* LoadTexture(uint32_t id, const CFixedString& path);
CShader*& GetShader(uint32_t id);
CTexture*& GetTexture(uint32_t id);
bool LoadNextResource(float& progress);

// Frees every loaded item and empties both maps (process exit, tests).
void ReleaseResources();
