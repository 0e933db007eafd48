#include "support/RecordingDevice.h"

#include <cstring>

#include "content/ResourceManager.h"
#include "render/RenderDevice.h"

int CRecordingTexture::s_Live = 0;

namespace {

UINT NextPowerOfTwo(UINT v)
{
    UINT p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

class CRecordingDecl : public IDirect3DVertexDeclaration9
{
public:
    void Release() override { delete this; }
};

class CRecordingEffect : public ID3DXEffect
{
public:
    explicit CRecordingEffect(CRecordingDevice* device) : m_Device(device) {}
    void Release() override { delete this; }
    HRESULT SetTechnique(D3DXHANDLE technique) override
    {
        Log("SetTechnique", technique);
        m_Device->m_CurrentTechnique = technique;
        return D3D_OK;
    }
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override
    {
        SRecordedCall& c = Log("SetMatrix", parameter);
        c.m_Matrix = *matrix;
        return D3D_OK;
    }
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DTexture9* texture) override
    {
        Log("SetTexture", parameter).m_Pointer = texture;
        return D3D_OK;
    }
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override
    {
        Log("SetFloat", parameter);
        return D3D_OK;
    }
    HRESULT Begin(UINT* passes, DWORD flags) override
    {
        Log("Begin", "").m_A = flags;
        *passes = 1;
        return D3D_OK;
    }
    HRESULT BeginPass(UINT pass) override
    {
        Log("BeginPass", "").m_A = pass;
        return D3D_OK;
    }
    HRESULT EndPass() override
    {
        Log("EndPass", "");
        return D3D_OK;
    }
    HRESULT End() override
    {
        Log("End", "");
        return D3D_OK;
    }

private:
    SRecordedCall& Log(const char* name, const char* text)
    {
        SRecordedCall c;
        c.m_Name = name;
        c.m_Text = text ? text : "";
        c.m_Pointer = this;
        m_Device->m_Log.push_back(std::move(c));
        return m_Device->m_Log.back();
    }
    CRecordingDevice* m_Device;
};

SRecordedCall& LogCall(CRecordingDevice* d, const char* name)
{
    SRecordedCall c;
    c.m_Name = name;
    d->m_Log.push_back(std::move(c));
    return d->m_Log.back();
}

UINT VertexCount(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type)
    {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    default: return count + 2;
    }
}

}  // namespace

CRecordingTexture::CRecordingTexture(UINT width, UINT height, const uint32_t* argb)
    : m_Width(NextPowerOfTwo(width)), m_Height(NextPowerOfTwo(height)), m_Texels(size_t(m_Width) * m_Height)
{
    for (UINT y = 0; y < m_Height; ++y)
        for (UINT x = 0; x < m_Width; ++x)
            m_Texels[size_t(y) * m_Width + x] = argb[size_t(y * height / m_Height) * width + x * width / m_Width];
    ++s_Live;
}

void CRecordingTexture::Release()
{
    --s_Live;
    delete this;
}

HRESULT CRecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level != 0)
        return D3DERR_INVALIDCALL;
    desc->Width = m_Width;
    desc->Height = m_Height;
    return D3D_OK;
}

HRESULT CRecordingTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const void*, DWORD)
{
    if (level != 0)
        return D3DERR_INVALIDCALL;
    locked->Pitch = static_cast<int>(m_Width * 4);
    locked->pBits = m_Texels.data();
    return D3D_OK;
}

HRESULT CRecordingTexture::UnlockRect(UINT)
{
    return D3D_OK;
}

void CRecordingDevice::Release()
{
    delete this;
}

HRESULT CRecordingDevice::GetDeviceCaps(D3DCAPS9* caps)
{
    caps->PixelShaderVersion = D3DPS_VERSION(m_PixelShaderMajor, 0);
    caps->VertexShaderVersion = D3DPS_VERSION(m_PixelShaderMajor, 0);
    return D3D_OK;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    SRecordedCall& c = LogCall(this, "SetRenderState");
    c.m_A = state;
    c.m_B = value;
    m_States[state & 0xFF] = value;
    return D3D_OK;
}

HRESULT CRecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    *value = m_States[state & 0xFF];
    return D3D_OK;
}

HRESULT CRecordingDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** decl)
{
    *decl = new CRecordingDecl;
    return D3D_OK;
}

HRESULT CRecordingDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl)
{
    LogCall(this, "SetVertexDeclaration").m_Pointer = decl;
    m_Decl = decl;
    return D3D_OK;
}

HRESULT CRecordingDevice::BeginScene()
{
    LogCall(this, "BeginScene");
    return m_FailBeginScene ? E_FAIL : D3D_OK;
}

HRESULT CRecordingDevice::EndScene()
{
    LogCall(this, "EndScene");
    return D3D_OK;
}

HRESULT CRecordingDevice::Clear(DWORD, const void*, DWORD flags, D3DCOLOR color, float z, DWORD)
{
    SRecordedCall& c = LogCall(this, "Clear");
    c.m_A = flags;
    c.m_B = color;
    std::memcpy(&c.m_C, &z, sizeof(float));
    return D3D_OK;
}

HRESULT CRecordingDevice::Present(const void*, const void*, HWND, const void*)
{
    LogCall(this, "Present");
    return D3D_OK;
}

HRESULT CRecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride)
{
    SRecordedCall& c = LogCall(this, "DrawPrimitiveUP");
    c.m_A = type;
    c.m_B = count;
    c.m_C = stride;
    c.m_Text = m_CurrentTechnique;
    c.m_Pointer = m_Decl;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    c.m_Vertices.assign(bytes, bytes + size_t(VertexCount(type, count)) * stride);
    return D3D_OK;
}

HRESULT CRecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT, UINT numVertices, UINT count,
                                                 const void* indices, D3DFORMAT, const void* vertices, UINT stride)
{
    SRecordedCall& c = LogCall(this, "DrawIndexedPrimitiveUP");
    c.m_A = type;
    c.m_B = count;
    c.m_C = stride;
    c.m_Text = m_CurrentTechnique;
    c.m_Pointer = m_Decl;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    c.m_Vertices.assign(bytes, bytes + size_t(numVertices) * stride);
    const auto* idx = static_cast<const uint16_t*>(indices);
    c.m_Indices.assign(idx, idx + size_t(VertexCount(type, count)));
    return D3D_OK;
}

HRESULT CRecordingDevice::CreateTextureFromArgb(UINT width, UINT height, const uint32_t* texels,
                                                IDirect3DTexture9** texture)
{
    *texture = nullptr;
    if (width == 0 || height == 0 || !texels)
        return D3DERR_INVALIDCALL;
    *texture = new CRecordingTexture(width, height, texels);
    return D3D_OK;
}

HRESULT CRecordingDevice::CreateEffect(const char*, size_t, DWORD, ID3DXEffect** effect, char* errors,
                                       size_t errorsSize)
{
    if (m_FailEffects)
    {
        *effect = nullptr;
        if (errors && errorsSize > 0)
            std::strncpy(errors, "refused by the recording device", errorsSize - 1);
        return E_FAIL;
    }
    *effect = new CRecordingEffect(this);
    return D3D_OK;
}

std::vector<const SRecordedCall*> CRecordingDevice::Calls(const std::string& name) const
{
    std::vector<const SRecordedCall*> out;
    for (const SRecordedCall& c : m_Log)
        if (c.m_Name == name)
            out.push_back(&c);
    return out;
}

std::vector<std::string> CRecordingDevice::Names() const
{
    std::vector<std::string> out;
    for (const SRecordedCall& c : m_Log)
        out.push_back(c.m_Name);
    return out;
}

CRecordingDevice* InstallRecordingDevice()
{
    RemoveRecordingDevice();
    CRecordingDevice* device = new CRecordingDevice;
    g_Device = device;
    g_RenderWidth = g_ScreenWidth;
    g_RenderHeight = g_ScreenHeight;
    for (int i = 0; i < VD_Count; ++i)
        device->CreateVertexDeclaration(g_VertexElements[i], &g_VertexDecls[i]);
    g_Effect2D = CreateEffectFromMemory(g_Effect2DSource, static_cast<unsigned>(std::strlen(g_Effect2DSource)));
    D3DXMatrixOrthoOffCenterRH(&g_OrthoMatrix, 0.0f, g_RenderWidth, g_RenderHeight, 0.0f, 0.0f, 1.0f);
    device->ClearLog();
    return device;
}

void RemoveRecordingDevice()
{
    if (!g_Device)
        return;
    ReleaseResources();
    ReleaseRenderDevice();
}

const float* VertexFloats(const SRecordedCall& draw, int v)
{
    return reinterpret_cast<const float*>(draw.m_Vertices.data() + size_t(v) * draw.m_C);
}

uint32_t VertexColor(const SRecordedCall& draw, int v, int offset)
{
    uint32_t c;
    std::memcpy(&c, draw.m_Vertices.data() + size_t(v) * draw.m_C + offset, sizeof(c));
    return c;
}

int RectCount(const SRecordedCall& draw)
{
    return draw.m_A == D3DPT_TRIANGLELIST ? int(draw.m_B / 2) : 1;
}

int RectCornerVertex(const SRecordedCall& draw, int rect, int corner)
{
    if (draw.m_A != D3DPT_TRIANGLELIST)
        return corner;
    static constexpr int s_InList[4] = {0, 1, 2, 5};
    return rect * 6 + s_InList[corner];
}
