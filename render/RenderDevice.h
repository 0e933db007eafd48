#pragma once
// The render device: the window and device, size settings, fixed render
// states, the eleven vertex formats, the built-in 2D effect with its
// orthographic matrix, and the end-of-frame fade and present.
// Main thread only.
#include <cstdint>

#include "platform/D3DX9.h"

class CShader;

struct CFontHolder
{
    ID3DXFont* m_Font = nullptr;
};

// Size settings.
extern float g_VirtualWidth, g_VirtualHeight;
extern float g_ScreenWidth, g_ScreenHeight;
extern float g_RenderWidth, g_RenderHeight;
extern float g_ScaleX, g_ScaleY;
extern int g_RequiredPixelShaderMajor;
extern int g_PixelShaderMajor;
extern bool g_Windowed;
extern bool g_VSync;
// The size the window opens at: the virtual size times g_StartScale (0: the
// desktop's scale factor), never larger than the work area; or, when
// g_StartWidth is set (a recording), the largest of the virtual aspect
// within g_StartWidth x g_StartHeight, and no smaller than the virtual size.
extern float g_StartScale;
extern int g_StartWidth, g_StartHeight;

enum VertexDecl
{
    VD_Pos,
    VD_PosCol,
    VD_PosTCol,
    VD_PosTex,
    VD_PosTTex,
    VD_PosColTex,
    VD_PosTColTex,
    VD_PosColNorm,
    VD_PosColNormTex,
    VD_PosNorm,
    VD_PosNormTex,
    VD_Count
};

// Device objects: null until CreateRenderDevice, null again after release.
extern IDirect3D9* g_D3D;
extern IDirect3DDevice9* g_Device;
extern HWND g_hWnd;
extern struct CFontHolder* g_Font;  // holder of the debug font
extern CShader* g_Effect2D;
extern D3DXMATRIX g_OrthoMatrix;
extern IDirect3DVertexDeclaration9* g_VertexDecls[VD_Count];

// Level 0..255 of the black overlay drawn by PresentFrame.
extern uint8_t g_ScreenFade;

// The element lists and strides of the eleven formats.
extern const D3DVERTEXELEMENT9* const g_VertexElements[VD_Count];
extern const unsigned g_VertexStrides[VD_Count];

extern const char g_Effect2DSource[];

bool CreateRenderDevice();
// Why the last CreateRenderDevice failed (empty when it did not).
const char* GetRenderDeviceError();
// Everything after the question: sizes, window, device, SetUpDevice. Needs
// g_D3D and the g_Windowed / g_VSync choice.
bool OpenRenderDevice();
// Steps after the device exists: capability check, debug font, render
// states, 2D effect, orthographic matrix, cursor, vertex declarations.
void SetUpDevice();
CShader* CreateEffectFromMemory(const char* source, unsigned length);
void PresentFrame();
// Window to full screen and back (F11): the same scaled picture as at start.
void ToggleFullScreen();
// The window's client space became width x height (WM_SIZE): remembered, and
// taken between frames by ApplyRenderSize, which draws from then on at that
// size (sizes, device, debug font, orthographic matrix).
void RequestRenderSize(int width, int height);
void ApplyRenderSize();
// One step bigger (+1) or smaller (-1): the next quarter of the virtual size,
// from half of it to what the work area holds.
void StepWindowSize(int direction);
// PresentFrame without the present: the finished frame stays in the back
// buffer, where a recording reads it.
void FinishFrame();
void ReleaseRenderDevice();
