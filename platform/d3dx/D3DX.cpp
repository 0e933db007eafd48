// The D3DX helpers: effects from memory, resources and files; the error
// buffer; the right-handed matrices as the published D3DX definitions give
// them, computed in 32-bit floats in the same order.
// (Textures from PNG data are in D3DXTexture.cpp, the font in DebugFont.cpp.)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/D3DX9.h"
#include "platform/d3dx/PlatformFile.h"
#include "platform/d3dx/Resource.h"

namespace {

// ---------------------------------------------------------------- buffers

class CBuffer final : public ID3DXBuffer
{
public:
    explicit CBuffer(std::vector<char>&& data) : m_Data(std::move(data)) {}
    void Release() override { delete this; }
    void* GetBufferPointer() override { return m_Data.data(); }
    size_t GetBufferSize() override { return m_Data.size(); }

private:
    ~CBuffer() override = default;
    std::vector<char> m_Data;
};

// Reads a whole file; the program's paths use '\'.
bool ReadFile(const char* path, std::vector<char>* out)
{
    if (!path || !*path)
        return false;
    std::string p(path);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f)
        return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0)
    {
        const long size = std::ftell(f);
        if (size >= 0 && std::fseek(f, 0, SEEK_SET) == 0)
        {
            out->resize(static_cast<size_t>(size));
            ok = size == 0 || std::fread(out->data(), 1, out->size(), f) == out->size();
        }
    }
    std::fclose(f);
    return ok;
}

}  // namespace

bool ReadPlatformFile(const char* path, std::vector<char>* out)
{
    return ReadFile(path, out);
}

// ---------------------------------------------------------------- effects

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* source, UINT length, const void* defines,
                         void* include, DWORD flags, void* pool, ID3DXEffect** effect, ID3DXBuffer** errors)
{
    if (errors)
        *errors = nullptr;
    if (!effect)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    if (!device || !source || length == 0)
        return D3DERR_INVALIDCALL;
    std::vector<char> log(16384, '\0');
    const HRESULT hr =
        device->CreateEffect(static_cast<const char*>(source), length, flags, effect, log.data(), log.size());
    if (FAILED(hr))
    {
        *effect = nullptr;
        if (errors)
        {
            log.resize(std::strlen(log.data()) + 1);
            *errors = new CBuffer(std::move(log));
        }
    }
    return hr;
}

HRESULT D3DXCreateEffectFromResourceA(IDirect3DDevice9* device, HMODULE module, UINT resourceId,
                                      const void* defines, void* include, DWORD flags, void* pool,
                                      ID3DXEffect** effect, ID3DXBuffer** errors)
{
    const SEmbeddedResource* r = FindEmbeddedResource(resourceId);
    if (!r || r->m_Size == 0 || r->m_Size > 0xFFFFFFFFu)
    {
        if (effect)
            *effect = nullptr;
        if (errors)
            *errors = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return D3DXCreateEffect(device, r->m_Data, static_cast<UINT>(r->m_Size), defines, include, flags, pool, effect,
                            errors);
}

HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, const char* path, const void* defines, void* include,
                                  DWORD flags, void* pool, ID3DXEffect** effect, ID3DXBuffer** errors)
{
    std::vector<char> text;
    if (!ReadFile(path, &text) || text.empty() || text.size() > 0xFFFFFFFFu)
    {
        if (effect)
            *effect = nullptr;
        if (errors)
            *errors = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), defines, include, flags, pool,
                            effect, errors);
}

// ---------------------------------------------------------------- matrices
// D3DX element (row i, column j) is m[i][j].

namespace {

glm::vec3 Normalise(const glm::vec3& v)
{
    // As D3DXVec3Normalize: a zero vector stays zero.
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0f)
        return glm::vec3(0.0f);
    return glm::vec3(v.x / length, v.y / length, v.z / length);
}

glm::vec3 Cross(const glm::vec3& a, const glm::vec3& b)
{
    return glm::vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const glm::vec3& a, const glm::vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    if (out)
        *out = D3DXMATRIX(1.0f);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    if (!out || !eye || !at || !up)
        return out;
    const glm::vec3 z = Normalise(*eye - *at);
    const glm::vec3 x = Normalise(Cross(*up, z));
    const glm::vec3 y = Cross(z, x);
    D3DXMATRIX& m = *out;
    m[0][0] = x.x; m[0][1] = y.x; m[0][2] = z.x; m[0][3] = 0.0f;
    m[1][0] = x.y; m[1][1] = y.y; m[1][2] = z.y; m[1][3] = 0.0f;
    m[2][0] = x.z; m[2][1] = y.z; m[2][2] = z.z; m[2][3] = 0.0f;
    m[3][0] = -Dot(x, *eye); m[3][1] = -Dot(y, *eye); m[3][2] = -Dot(z, *eye); m[3][3] = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf)
{
    if (!out)
        return out;
    const float yScale = 1.0f / std::tan(fovY / 2.0f);
    const float xScale = yScale / aspect;
    D3DXMATRIX& m = *out;
    m = D3DXMATRIX(0.0f);
    m[0][0] = xScale;
    m[1][1] = yScale;
    m[2][2] = zf / (zn - zf);
    m[2][3] = -1.0f;
    m[3][2] = zn * zf / (zn - zf);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf)
{
    if (!out)
        return out;
    D3DXMATRIX& m = *out;
    m = D3DXMATRIX(0.0f);
    m[0][0] = 2.0f / (r - l);
    m[1][1] = 2.0f / (t - b);
    m[2][2] = 1.0f / (zn - zf);
    m[3][0] = (l + r) / (l - r);
    m[3][1] = (t + b) / (b - t);
    m[3][2] = zn / (zn - zf);
    m[3][3] = 1.0f;
    return out;
}
