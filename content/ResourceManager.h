#pragma once
// The program's content: the effect file and the interface images, embedded
// in the executable and preloaded one per call into two maps keyed by
// resource id, where they stay for the whole run. Main thread only.
#include <cstdint>
#include <map>

#include "content/FixedString.h"
#include "platform/D3DX9.h"
#include "render/Shader.h"

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
