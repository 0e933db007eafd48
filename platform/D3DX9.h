#pragma once
// The D3DX 9 helpers the program uses: effects, textures decoded from PNG,
// the debug font, and the right-handed matrices. Main thread only.
//
// Effect source form (GLSL 3.30 in sections; this is what "Shader.fx" and the
// built-in 2D effect are written in):
//
//   @common                    GLSL shared by every stage: uniforms, helpers
//   @vertex NAME               a vertex function: GLSL with its own main()
//   @pixel NAME                a pixel function: GLSL with its own main() that
//                              writes the predeclared `out vec4 o_Color`
//   @technique NAME            a technique, followed by one line per pass:
//   pass PASS VERTEXNAME PIXELNAME
//   @sampler UNIFORM MIN MAG MIP ADDRESSU ADDRESSV
//                              sampler states of a sampler2D uniform;
//                              filters point|linear|none, address wrap|clamp|mirror
//
// Lines before the first section are ignored, as are blank lines and lines
// starting with // inside @technique and @sampler sections. Each pass is
// compiled and linked once when the effect is created; any failure fails the
// whole effect, with the compiler's log in the error buffer. The first
// technique is current after creation.
//
// Vertex inputs are bound by declaration usage: POSITION and POSITIONT at
// location 0, COLOR at 1 (a D3DCOLOR arrives as vec4(r, g, b, a) in 0..1),
// NORMAL at 2, TEXCOORD at 3: declare `layout(location = N) in ...`.
// Matrices are uploaded as the program holds them (row-major for row
// vectors), so shaders multiply `p * M` exactly as the Direct3D effects did.
// The layer adds the alpha test of the device's D3DRS_ALPHATESTENABLE /
// ALPHAREF / ALPHAFUNC states to every pixel function, and maps Direct3D's
// 0..w clip depth where the driver cannot.
#include <cstddef>
#include <cstdint>

#include <glm/glm.hpp>

#include "platform/D3D9.h"

using D3DXMATRIX = glm::mat4;   // GLM's storage of these is D3DX's row-major one
using D3DXVECTOR3 = glm::vec3;
using D3DXHANDLE = const char*;  // parameters and techniques by name
using HMODULE = void*;

constexpr DWORD D3DXSHADER_OPTIMIZATION_LEVEL3 = 0x8000;
constexpr DWORD D3DXFX_NOT_CLONEABLE = 0x0800;
constexpr DWORD D3DXSHADER_NO_PRESHADER = 0x0100;

class ID3DXBuffer
{
public:
    virtual void Release() = 0;
    virtual void* GetBufferPointer() = 0;
    virtual size_t GetBufferSize() = 0;
protected:
    virtual ~ID3DXBuffer() = default;
};

class ID3DXEffect
{
public:
    virtual void Release() = 0;
    // Unknown names are ignored (they fail with D3DERR_INVALIDCALL).
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DTexture9* texture) = 0;  // null: none
    virtual HRESULT SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;
protected:
    virtual ~ID3DXEffect() = default;
};

// Effects. `errors`, when not null, receives the compile log on failure.
HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* source, UINT length, const void* defines,
                         void* include, DWORD flags, void* pool, ID3DXEffect** effect, ID3DXBuffer** errors);
HRESULT D3DXCreateEffectFromResourceA(IDirect3DDevice9* device, HMODULE module, UINT resourceId,
                                      const void* defines, void* include, DWORD flags, void* pool,
                                      ID3DXEffect** effect, ID3DXBuffer** errors);
HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, const char* path, const void* defines, void* include,
                                  DWORD flags, void* pool, ID3DXEffect** effect, ID3DXBuffer** errors);

// Textures from PNG data: each side rounded up to a power of two by scaling
// (nearest texel), full mip chain. On any failure *texture is null.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, size_t size,
                                          IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice9* device, HMODULE module, UINT resourceId,
                                       IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture);

// Decodes PNG data into 32-bit ARGB texels (rows top to bottom). False on
// anything that is not a complete, valid PNG; never reads past `size`.
bool DecodePngArgb(const void* data, size_t size, uint32_t* width, uint32_t* height, uint32_t** argb);
void FreePngArgb(uint32_t* argb);

// The debug font.
constexpr UINT DEFAULT_CHARSET = 1;
constexpr UINT OUT_DEFAULT_PRECIS = 0;
constexpr UINT DEFAULT_QUALITY = 0;
constexpr UINT DEFAULT_PITCH = 0;
constexpr UINT FF_DONTCARE = 0;
constexpr UINT FW_BOLD = 700;

class ID3DXFont
{
public:
    virtual void Release() = 0;
    // Draws `count` characters (-1: up to the terminator) from the rectangle's
    // top-left, breaking lines at '\n', clipped to the rectangle. Format 0 only.
    // Returns the height of the drawn text in pixels. Allocates nothing after a
    // glyph's first use.
    virtual int DrawTextA(void* sprite, const char* text, int count, RECT* rect, DWORD format, D3DCOLOR color) = 0;
protected:
    virtual ~ID3DXFont() = default;
};

// Resolves `face` (with bold for weight >= 600) through fontconfig and
// rasterises glyphs with FreeType into one atlas texture.
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                        DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const char* face,
                        ID3DXFont** font);

// Matrices, as the published D3DX definitions.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf);
