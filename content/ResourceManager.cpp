#include "content/ResourceManager.h"

#include <iterator>

#include "frame/Report.h"
#include "content/ResourceIds.h"
#include "render/RenderDevice.h"

CFixedString s_DataPath("Data\\");

namespace {
std::map<uint32_t, CShader*> s_Shaders;
std::map<uint32_t, CTexture*> s_Textures;
}  // namespace

const SResourceFile s_ShaderFiles[1] = {{ShaderId, "Shader.fx"}};
const SResourceFile s_TextureFiles[7] = {
    {OverlayId, "overlay.png"},         {InterfaceId, "interface.png"}, {EqualiserId, "equaliser.png"},
    {FontTextureId, "font.png"},        {VolumeStripId, "vol_strip.png"}, {VolumeEndId, "vol_end.png"},
    {PauseId, "pause.png"},
};
int32_t s_NextResource = 0;

CShader* LoadShader(uint32_t id, const CFixedString& path)
{
    CShader* shader = new CShader;
    ID3DXBuffer* errors = nullptr;
    const DWORD flags = D3DXSHADER_OPTIMIZATION_LEVEL3 | D3DXFX_NOT_CLONEABLE | D3DXSHADER_NO_PRESHADER;
    if (id != 0)
        D3DXCreateEffectFromResourceA(g_Device, nullptr, id, nullptr, nullptr, flags, nullptr, &shader->m_Effect,
                                      &errors);
    else
        D3DXCreateEffectFromFileA(g_Device, path.c_str(), nullptr, nullptr, flags, nullptr, &shader->m_Effect,
                                  &errors);
    if (!shader->m_Effect)
        ReportFailure("effect", "%s: %s", FileNameOf(path.c_str()),
                      errors ? static_cast<const char*>(errors->GetBufferPointer()) : "cannot be read");
    if (errors)
        errors->Release();
    return shader;
}

CTexture* LoadTexture(uint32_t id, const CFixedString& path)
{
    CTexture* texture = new CTexture;
    if (id != 0)
        D3DXCreateTextureFromResourceA(g_Device, nullptr, id, &texture->m_Texture);
    else
        D3DXCreateTextureFromFileA(g_Device, path.c_str(), &texture->m_Texture);
    // A failed decode leaves no texture and a zero size: never drawn.
    if (!texture->m_Texture)
        ReportFailure("texture", "%s: cannot be decoded", FileNameOf(path.c_str()));
    D3DSURFACE_DESC desc;
    if (texture->m_Texture && SUCCEEDED(texture->m_Texture->GetLevelDesc(0, &desc)))
    {
        texture->m_Width = desc.Width;
        texture->m_Height = desc.Height;
    }
    return texture;
}

CShader*& GetShader(uint32_t id)
{
    return s_Shaders[id];
}

CTexture*& GetTexture(uint32_t id)
{
    return s_Textures[id];
}

bool LoadNextResource(float& progress)
{
    constexpr int32_t shaderRows = static_cast<int32_t>(std::size(s_ShaderFiles));
    constexpr int32_t rows = shaderRows + static_cast<int32_t>(std::size(s_TextureFiles));
    const int32_t k = s_NextResource;
    if (k >= rows)
        return true;

    const SResourceFile& row = k < shaderRows ? s_ShaderFiles[k] : s_TextureFiles[k - shaderRows];
    CFixedString path(s_DataPath);
    path.Append(row.m_Name);
    if (k < shaderRows)
    {
        CShader*& slot = GetShader(row.m_Id);
        delete slot;  // an id-0 row loaded again replaces its old item
        slot = LoadShader(row.m_Id, path);
    }
    else
    {
        CTexture*& slot = GetTexture(row.m_Id);
        delete slot;
        slot = LoadTexture(row.m_Id, path);
    }
    ++s_NextResource;
    progress += 0.125f;
    return false;
}

void ReleaseResources()
{
    for (auto& [id, shader] : s_Shaders)
        delete shader;
    for (auto& [id, texture] : s_Textures)
        delete texture;
    s_Shaders.clear();
    s_Textures.clear();
    s_NextResource = 0;
}
