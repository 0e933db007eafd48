#pragma once
// A device, effect and texture that record what the program asks of them,
// for exact checks of vertices, states and call order without a GPU.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/D3DX9.h"

struct SRecordedCall
{
    std::string m_Name;              // "SetRenderState", "DrawPrimitiveUP", "SetTechnique", ...
    std::string m_Text;              // technique or parameter name
    uint32_t m_A = 0, m_B = 0, m_C = 0;  // state and value; primitive type, count, stride; ...
    const void* m_Pointer = nullptr;  // texture, declaration or effect involved
    std::vector<uint8_t> m_Vertices;  // copies of drawn vertex data
    std::vector<uint16_t> m_Indices;
    D3DXMATRIX m_Matrix{1.0f};
};

class CRecordingTexture : public IDirect3DTexture9
{
public:
    CRecordingTexture(UINT width, UINT height, const uint32_t* argb);  // scales up to powers of two
    void Release() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    UINT m_Width, m_Height;
    std::vector<uint32_t> m_Texels;
    static int s_Live;  // textures not yet released
};

class CRecordingDevice : public IDirect3DDevice9
{
public:
    void Release() override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT Present(const void* src, const void* dst, HWND window, const void* dirty) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT count,
                                   const void* indices, D3DFORMAT format, const void* vertices, UINT stride) override;
    HRESULT CreateTextureFromArgb(UINT width, UINT height, const uint32_t* texels, IDirect3DTexture9** texture) override;
    HRESULT CreateEffect(const char* source, size_t length, DWORD flags, ID3DXEffect** effect, char* errors,
                         size_t errorsSize) override;
    bool ReadPixels(uint32_t* argb, UINT width, UINT height) override { return false; }
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override { return D3D_OK; }
    HRESULT SetScissorRect(const RECT* rect) override { return rect ? D3D_OK : D3DERR_INVALIDCALL; }
    // Nothing is kept: whoever asks draws every frame.
    HRESULT KeepRects(const RECT*, DWORD) override { return E_FAIL; }
    HRESULT RestoreRects(const RECT*, DWORD) override { return E_FAIL; }
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override
    {
        *viewport = D3DVIEWPORT9{0, 0, 800, 600, 0.0f, 1.0f};
        return D3D_OK;
    }

    // Calls named `name`, in order.
    std::vector<const SRecordedCall*> Calls(const std::string& name) const;
    // Names of all calls, in order.
    std::vector<std::string> Names() const;
    void ClearLog() { m_Log.clear(); }

    std::vector<SRecordedCall> m_Log;
    DWORD m_States[256] = {};
    IDirect3DVertexDeclaration9* m_Decl = nullptr;
    int m_PixelShaderMajor = 3;
    bool m_FailBeginScene = false;
    bool m_FailEffects = false;
    std::string m_CurrentTechnique;
};

// Installs a recording device as g_Device with the eleven vertex
// declarations and the 2D effect, as CreateRenderDevice would; removes it.
CRecordingDevice* InstallRecordingDevice();
void RemoveRecordingDevice();

// Reads the floats of vertex v of a recorded draw.
const float* VertexFloats(const SRecordedCall& draw, int v);
uint32_t VertexColor(const SRecordedCall& draw, int v, int offset);
// The rectangles of a recorded 2D draw: a strip of one, or a list of two
// triangles each (a, b, c, c, b, d). Corner 0 is left bottom, 1 left top,
// 2 right bottom, 3 right top, as the strip has them.
int RectCount(const SRecordedCall& draw);
int RectCornerVertex(const SRecordedCall& draw, int rect, int corner);
