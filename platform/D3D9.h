#pragma once
// The Direct3D 9 device as the program uses it: render states with their
// Direct3D names and values, vertex declarations, user-pointer draws, clears,
// scenes, present, textures with read access to their top level.
//
// Plain C++ interfaces: Release() deletes. The real device runs on OpenGL 3.3
// core (GlDevice.cpp); tests substitute a recording device. Main thread only.
#include <cstddef>
#include <cstdint>

#include "platform/Win32.h"

using D3DCOLOR = uint32_t;  // ARGB, alpha in the top byte
using HRESULT = int32_t;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline bool FAILED(HRESULT hr) { return hr < 0; }
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

constexpr UINT D3D_SDK_VERSION = 32;
constexpr UINT D3DADAPTER_DEFAULT = 0;

struct RECT
{
    int32_t left, top, right, bottom;
};

enum D3DRENDERSTATETYPE : uint32_t
{
    D3DRS_ZENABLE = 7,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_LIGHTING = 137,
    D3DRS_BLENDOP = 171,
    D3DRS_SCISSORTESTENABLE = 174,
};

enum : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum : uint32_t
{
    D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5, D3DCMP_NOTEQUAL = 6, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8
};
enum : uint32_t { D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT = 2, D3DBLENDOP_REVSUBTRACT = 3, D3DBLENDOP_MIN = 4, D3DBLENDOP_MAX = 5 };
enum : uint32_t
{
    D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3, D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6, D3DBLEND_DESTALPHA = 7, D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9, D3DBLEND_INVDESTCOLOR = 10
};

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

enum D3DPRIMITIVETYPE : uint32_t
{
    D3DPT_POINTLIST = 1, D3DPT_LINELIST = 2, D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4, D3DPT_TRIANGLESTRIP = 5, D3DPT_TRIANGLEFAN = 6
};

enum D3DFORMAT : uint32_t
{
    D3DFMT_UNKNOWN = 0, D3DFMT_A8R8G8B8 = 21, D3DFMT_D16 = 80, D3DFMT_INDEX16 = 101
};

// Vertex declarations.
enum : uint8_t { D3DDECLTYPE_FLOAT1 = 0, D3DDECLTYPE_FLOAT2 = 1, D3DDECLTYPE_FLOAT3 = 2, D3DDECLTYPE_FLOAT4 = 3, D3DDECLTYPE_D3DCOLOR = 4, D3DDECLTYPE_UNUSED = 17 };
enum : uint8_t { D3DDECLMETHOD_DEFAULT = 0 };
enum : uint8_t { D3DDECLUSAGE_POSITION = 0, D3DDECLUSAGE_NORMAL = 3, D3DDECLUSAGE_TEXCOORD = 5, D3DDECLUSAGE_POSITIONT = 9, D3DDECLUSAGE_COLOR = 10 };

struct D3DVERTEXELEMENT9
{
    uint16_t Stream;
    uint16_t Offset;
    uint8_t Type;
    uint8_t Method;
    uint8_t Usage;
    uint8_t UsageIndex;
};
#define D3DDECL_END() {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0}

// Present parameters (the fields the program sets).
enum : uint32_t { D3DSWAPEFFECT_DISCARD = 1 };
enum : uint32_t { D3DMULTISAMPLE_NONE = 0 };
constexpr DWORD D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL = 0x2;
constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1 };
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;

struct D3DPRESENT_PARAMETERS
{
    UINT BackBufferWidth = 0;
    UINT BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    UINT BackBufferCount = 0;
    uint32_t MultiSampleType = D3DMULTISAMPLE_NONE;
    DWORD MultiSampleQuality = 0;
    uint32_t SwapEffect = 0;
    HWND hDeviceWindow = nullptr;
    BOOL Windowed = FALSE;
    BOOL EnableAutoDepthStencil = FALSE;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    DWORD Flags = 0;
    UINT FullScreen_RefreshRateInHz = 0;
    UINT PresentationInterval = 0;
};

// Capabilities: PixelShaderVersion holds the major version in bits 8 to 15
// and the minor in bits 0 to 7, as D3DPS_VERSION builds it.
struct D3DCAPS9
{
    DWORD PixelShaderVersion = 0;
    DWORD VertexShaderVersion = 0;
};
constexpr DWORD D3DPS_VERSION(int major, int minor) { return 0xFFFF0000u | (DWORD(major) << 8) | DWORD(minor); }

struct D3DSURFACE_DESC
{
    D3DFORMAT Format = D3DFMT_A8R8G8B8;
    UINT Width = 0;
    UINT Height = 0;
};

// The area the device renders into, in pixels of the client space.
struct D3DVIEWPORT9
{
    DWORD X = 0;
    DWORD Y = 0;
    DWORD Width = 0;
    DWORD Height = 0;
    float MinZ = 0.0f;
    float MaxZ = 1.0f;
};

struct D3DLOCKED_RECT
{
    int Pitch = 0;   // bytes per row
    void* pBits = nullptr;
};

class IDirect3DVertexDeclaration9
{
public:
    virtual void Release() = 0;
protected:
    virtual ~IDirect3DVertexDeclaration9() = default;
};

// A 2D texture: 32-bit ARGB texels with a full mip chain on the device.
// Level 0 stays readable for LockRect (the font strip scan reads it).
class IDirect3DTexture9
{
public:
    virtual void Release() = 0;
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // Read access only: writes to pBits are not uploaded.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
protected:
    virtual ~IDirect3DTexture9() = default;
};

class ID3DXEffect;

class IDirect3DDevice9
{
public:
    virtual void Release() = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) = 0;
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;
    virtual HRESULT Present(const void* src, const void* dst, HWND overrideWindow, const void* dirty) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                           const void* vertices, UINT stride) = 0;
    // Creates a texture from 32-bit ARGB texels (width x height, rows top to
    // bottom). Sides that are not powers of two are scaled up to the next
    // power of two by nearest texel; a full mip chain is built.
    virtual HRESULT CreateTextureFromArgb(UINT width, UINT height, const uint32_t* texels, IDirect3DTexture9** texture) = 0;
    // Compiles an effect (see D3DX9.h for its form). Errors go to `errors`.
    virtual HRESULT CreateEffect(const char* source, size_t length, DWORD flags, ID3DXEffect** effect, char* errors, size_t errorsSize) = 0;

    // Not Direct3D: reads back the last presented frame (or the current back
    // buffer) as ARGB texels, top row first, width x height of the window's
    // client space. For tests and screenshots.
    virtual bool ReadPixels(uint32_t* argb, UINT width, UINT height) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    // In pixels of the back buffer, top row 0; used while
    // D3DRS_SCISSORTESTENABLE is on. Clear ignores it here.
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    // Not Direct3D: rectangles of the back buffer's colour (not its depth)
    // kept on the device for frames to come (KeepRects) and put back
    // (RestoreRects), for parts of a frame that never change. RestoreRects
    // fails when nothing is kept or the back buffer is no longer the one they
    // were kept from.
    virtual HRESULT KeepRects(const RECT* rects, DWORD count) = 0;
    virtual HRESULT RestoreRects(const RECT* rects, DWORD count) = 0;
    // Switches between window and full screen (Windowed); the back buffer
    // keeps its size, and everything made on the device stays valid.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
protected:
    virtual ~IDirect3DDevice9() = default;
};

class IDirect3D9
{
public:
    virtual void Release() = 0;
    // The device draws into `focusWindow`. Fails (and leaves *device null)
    // when the window has no OpenGL 3.3 core context.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviour,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
protected:
    virtual ~IDirect3D9() = default;
};

// Null when OpenGL cannot be used at all (no video driver).
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
