#pragma once
// Inside platform/ only: the OpenGL device's parts shared by the device
// (GlDevice.cpp) and the effect layer (GlEffect.cpp). Main thread only; every
// GL call runs with the device's context current.
#include <epoxy/gl.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/D3DX9.h"
#include "platform/window/GlWindow.h"

class CGlDevice;
class CGlTexture;

// An object made by a device. A device released first orphans its children:
// their GL objects went with its context, and their Release frees only memory.
class CGlChild
{
public:
    explicit CGlChild(CGlDevice* device);
    virtual ~CGlChild();
    CGlChild(const CGlChild&) = delete;
    CGlChild& operator=(const CGlChild&) = delete;

    // The device is going away; its context is still current.
    virtual void OnDeviceGone() = 0;
    // A texture of the device is being released: drop references to it.
    virtual void OnTextureGone(CGlTexture* texture) {}

    CGlDevice* m_Device;  // null once orphaned
};

class CGlTexture final : public IDirect3DTexture9, public CGlChild
{
public:
    CGlTexture(CGlDevice* device, GLuint name, UINT width, UINT height, std::vector<uint32_t>&& level0);
    void Release() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    void OnDeviceGone() override { m_Name = 0; }

    GLuint m_Name;
    UINT m_Width, m_Height, m_Levels;
    std::vector<uint32_t> m_Level0;

private:
    ~CGlTexture() override;
};

// The alpha-test uniforms every pass program carries, with the values last
// uploaded to it (the device sets them from its render states at each draw).
struct SGlPassProgram
{
    GLuint m_Program = 0;
    GLint m_AlphaFuncLocation = -1;
    GLint m_AlphaRefLocation = -1;
    int m_AlphaFunc = -1;
    int m_AlphaRef = -1;
};

class CGlVertexDecl;

class CGlDevice final : public IDirect3DDevice9
{
public:
    CGlDevice(SGlSurface* surface, int width, int height, const D3DPRESENT_PARAMETERS& params);
    bool Init();

    void Release() override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT Present(const void* src, const void* dst, HWND overrideWindow, const void* dirty) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                   UINT stride) override;
    HRESULT CreateTextureFromArgb(UINT width, UINT height, const uint32_t* texels, IDirect3DTexture9** texture) override;
    HRESULT CreateEffect(const char* source, size_t length, DWORD flags, ID3DXEffect** effect, char* errors,
                         size_t errorsSize) override;
    bool ReadPixels(uint32_t* argb, UINT width, UINT height) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT KeepRects(const RECT* rects, DWORD count) override;
    HRESULT RestoreRects(const RECT* rects, DWORD count) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;

    // For the children.
    void MakeCurrent();
    void AddChild(CGlChild* child);
    void RemoveChild(CGlChild* child);
    void TextureGone(CGlTexture* texture);
    bool HasClipControl() const { return m_HasClipControl; }
    GLuint BlackTexture() const { return m_BlackTexture; }
    void SetActivePass(SGlPassProgram* pass) { m_Pass = pass; }
    SGlPassProgram* ActivePass() const { return m_Pass; }
    void ForgetDecl(CGlVertexDecl* decl);

private:
    ~CGlDevice() override;
    void ApplyState(D3DRENDERSTATETYPE state);
    bool ValidState(D3DRENDERSTATETYPE state, DWORD value) const;
    void ApplyScissor();
    bool CopyRects(GLuint from, GLuint to, const RECT* rects, DWORD count);
    void DropKept();
    // The off-screen frame's buffers, gone (a new size, a failed build, the end).
    void DropFrame();
    void ChooseTarget();
    void BindTarget();
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride, UINT firstVertex,
                 UINT vertexCount, const uint16_t* indices);
    void Pace();

    SGlSurface* m_Surface;            // owned: closed with the device
    int m_Width, m_Height;            // client space
    bool m_FullScreen;
    UINT m_Interval;
    bool m_HasClipControl = false;
    GLint m_MaxTextureSize = 0;
    GLenum m_ScratchUnit = GL_TEXTURE0;
    std::array<DWORD, 256> m_States{};
    RECT m_Scissor{};
    bool m_InScene = false;

    GLuint m_VertexBuffer = 0, m_IndexBuffer = 0;
    size_t m_VertexCapacity = 0, m_VertexOffset = 0;
    size_t m_IndexCapacity = 0, m_IndexOffset = 0;
    GLuint m_BlackTexture = 0;

    // The off-screen frame for full screen (or a drawable of another size).
    bool m_UseFrame = false;
    GLuint m_Frame = 0, m_FrameColor = 0, m_FrameDepth = 0;
    // Kept rectangles (GlKeep.cpp), copied from the target m_KeepTarget.
    GLuint m_Keep = 0, m_KeepColor = 0, m_KeepTarget = 0;
    bool m_Kept = false;

    CGlVertexDecl* m_Decl = nullptr;
    SGlPassProgram* m_Pass = nullptr;
    std::vector<CGlChild*> m_Children;

    std::chrono::steady_clock::duration m_RefreshPeriod{};
    std::chrono::steady_clock::time_point m_NextPresent{};
};

HRESULT CreateGlEffect(CGlDevice* device, const char* source, size_t length, ID3DXEffect** effect, char* errors,
                       size_t errorsSize);
