#include "render/RenderDevice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "frame/AppState.h"
#include "frame/Report.h"
#include "render/DebugText.h"
#include "render/DrawTiles.h"
#include "render/Draw2D.h"
#include "render/Shader.h"

float g_VirtualWidth = 800.0f, g_VirtualHeight = 600.0f;
float g_ScreenWidth = 800.0f, g_ScreenHeight = 600.0f;
float g_RenderWidth = 0.0f, g_RenderHeight = 0.0f;
float g_ScaleX = g_ScreenWidth / g_VirtualWidth;
float g_ScaleY = g_ScreenHeight / g_VirtualHeight;
int g_RequiredPixelShaderMajor = 2;
int g_PixelShaderMajor = 0;
bool g_Windowed = true;
bool g_VSync = false;
float g_StartScale = 0.0f;
int g_StartWidth = 0, g_StartHeight = 0;

IDirect3D9* g_D3D = nullptr;
IDirect3DDevice9* g_Device = nullptr;
HWND g_hWnd = nullptr;
CFontHolder* g_Font = nullptr;
CShader* g_Effect2D = nullptr;
D3DXMATRIX g_OrthoMatrix{1.0f};
IDirect3DVertexDeclaration9* g_VertexDecls[VD_Count] = {};
uint8_t g_ScreenFade = 0;

namespace {

const char* s_Error = "";
int s_AskedWidth = 0, s_AskedHeight = 0;  // by WM_SIZE, not yet taken

constexpr float SizeStep = 0.25f;
constexpr float SmallestScale = 0.5f;

constexpr uint8_t F2 = D3DDECLTYPE_FLOAT2, F3 = D3DDECLTYPE_FLOAT3, F4 = D3DDECLTYPE_FLOAT4, C = D3DDECLTYPE_D3DCOLOR;
constexpr uint8_t P = D3DDECLUSAGE_POSITION, PT = D3DDECLUSAGE_POSITIONT, N = D3DDECLUSAGE_NORMAL,
                  T = D3DDECLUSAGE_TEXCOORD, COL = D3DDECLUSAGE_COLOR;
constexpr uint8_t M = D3DDECLMETHOD_DEFAULT;

const D3DVERTEXELEMENT9 s_Pos[] = {{0, 0, F3, M, P, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosCol[] = {{0, 0, F3, M, P, 0}, {0, 12, C, M, COL, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosTCol[] = {{0, 0, F4, M, PT, 0}, {0, 16, C, M, COL, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosTex[] = {{0, 0, F3, M, P, 0}, {0, 12, F2, M, T, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosTTex[] = {{0, 0, F4, M, PT, 0}, {0, 16, F2, M, T, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosColTex[] = {{0, 0, F3, M, P, 0}, {0, 12, C, M, COL, 0}, {0, 16, F2, M, T, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosTColTex[] = {{0, 0, F4, M, PT, 0}, {0, 16, C, M, COL, 0}, {0, 20, F2, M, T, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosColNorm[] = {{0, 0, F3, M, P, 0}, {0, 12, C, M, COL, 0}, {0, 16, F3, M, N, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosColNormTex[] = {{0, 0, F3, M, P, 0}, {0, 12, C, M, COL, 0}, {0, 16, F3, M, N, 0},
                                             {0, 28, F2, M, T, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosNorm[] = {{0, 0, F3, M, P, 0}, {0, 12, F3, M, N, 0}, D3DDECL_END()};
const D3DVERTEXELEMENT9 s_PosNormTex[] = {{0, 0, F3, M, P, 0}, {0, 12, F3, M, N, 0}, {0, 24, F2, M, T, 0}, D3DDECL_END()};

template <class T>
void ReleaseAndClear(T*& p)
{
    if (p)
    {
        p->Release();
        p = nullptr;
    }
}

}  // namespace

const D3DVERTEXELEMENT9* const g_VertexElements[VD_Count] = {
    s_Pos, s_PosCol, s_PosTCol, s_PosTex, s_PosTTex, s_PosColTex,
    s_PosTColTex, s_PosColNorm, s_PosColNormTex, s_PosNorm, s_PosNormTex};
const unsigned g_VertexStrides[VD_Count] = {12, 16, 20, 20, 24, 24, 28, 28, 36, 24, 32};

const char* GetRenderDeviceError()
{
    return s_Error;
}

void SetUpDevice()
{
    D3DCAPS9 caps;
    g_Device->GetDeviceCaps(&caps);
    g_PixelShaderMajor = static_cast<int>((caps.PixelShaderVersion >> 8) & 0xFF);
    if (g_PixelShaderMajor < g_RequiredPixelShaderMajor)
        MessageBoxA(nullptr, "This code won't run on your GPU", "", MB_ICONWARNING);

    g_Font = CreateDebugFont();

    g_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    g_Device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    g_Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    g_Device->SetRenderState(D3DRS_ALPHAREF, 1);
    g_Device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    g_Device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    g_Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    g_Effect2D = CreateEffectFromMemory(g_Effect2DSource, static_cast<unsigned>(std::strlen(g_Effect2DSource)));
    D3DXMatrixOrthoOffCenterRH(&g_OrthoMatrix, 0.0f, g_RenderWidth, g_RenderHeight, 0.0f, 0.0f, 1.0f);
    ShowCursor(FALSE);

    for (int i = 0; i < VD_Count; ++i)
    {
        IDirect3DVertexDeclaration9* decl = nullptr;
        if (SUCCEEDED(g_Device->CreateVertexDeclaration(g_VertexElements[i], &decl)))
            g_VertexDecls[i] = decl;
        else
            g_VertexDecls[i] = nullptr;
    }
}

bool CreateRenderDevice()
{
    s_Error = "";
    g_D3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!g_D3D)
    {
        s_Error = "no display could be opened";
        return false;
    }
    if (!g_App->Configure(GetModuleHandleA(nullptr)))
    {
        ReleaseAndClear(g_D3D);
        s_Error = "start-up was cancelled";
        return false;
    }
    return OpenRenderDevice();
}

namespace {

// The presentation the size settings and the window choice ask for; x and y
// receive where a window goes.
D3DPRESENT_PARAMETERS PresentParameters(int* x, int* y)
{
    const int width = static_cast<int>(g_ScreenWidth);
    const int height = static_cast<int>(g_ScreenHeight);
    D3DPRESENT_PARAMETERS pp;
    *x = 0;
    *y = 0;
    if (g_Windowed)
    {
        pp.Windowed = TRUE;
        pp.BackBufferFormat = D3DFMT_UNKNOWN;
        // A screen smaller than the window keeps the window's top-left corner
        // on screen rather than pushing it off to the left or top.
        *x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        *y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        if (*x < 0)
            *x = 0;
        if (*y < 0)
            *y = 0;
    }
    else
    {
        pp.Windowed = FALSE;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.BackBufferCount = 1;
        pp.FullScreen_RefreshRateInHz = 60;
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
    }
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.MultiSampleQuality = 0;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    pp.PresentationInterval = g_VSync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

}  // namespace

namespace {

// Width x height of the virtual aspect at `scale`, within maxWidth x maxHeight
// where those are known (> 0).
void ScaledSize(float scale, int maxWidth, int maxHeight, int* width, int* height)
{
    *width = static_cast<int>(g_VirtualWidth * scale + 0.5f);
    *height = static_cast<int>(g_VirtualHeight * scale + 0.5f);
    if (maxWidth > 0 && maxHeight > 0 && (*width > maxWidth || *height > maxHeight))
    {
        const float fit = std::min(maxWidth / g_VirtualWidth, maxHeight / g_VirtualHeight);
        *width = std::min(static_cast<int>(g_VirtualWidth * fit), maxWidth);
        *height = std::min(static_cast<int>(g_VirtualHeight * fit), maxHeight);
    }
}

void ChooseStartSize()
{
    int width = 0, height = 0;
    if (g_StartWidth > 0 && g_StartHeight > 0)
    {
        // Smaller than the virtual size the picture is better drawn whole
        // and scaled down than drawn with too few pixels.
        ScaledSize(1e6f, g_StartWidth, g_StartHeight, &width, &height);
        if (width < g_VirtualWidth || height < g_VirtualHeight)
            ScaledSize(1.0f, 0, 0, &width, &height);
    }
    else
    {
        int areaWidth = 0, areaHeight = 0;
        if (!GetWorkAreaSize(&areaWidth, &areaHeight))
            areaWidth = areaHeight = 0;
        const float scale = g_StartScale > 0.0f ? g_StartScale : static_cast<float>(GetDesktopScale());
        ScaledSize(scale, areaWidth, areaHeight, &width, &height);
    }
    g_ScreenWidth = static_cast<float>(width);
    g_ScreenHeight = static_cast<float>(height);
}

// The sizes follow the device's client space.
void TakeDeviceSize()
{
    D3DVIEWPORT9 viewport;
    if (!g_Device || FAILED(g_Device->GetViewport(&viewport)))
        return;
    g_ScreenWidth = g_RenderWidth = static_cast<float>(viewport.Width);
    g_ScreenHeight = g_RenderHeight = static_cast<float>(viewport.Height);
    g_ScaleX = g_ScreenWidth / g_VirtualWidth;
    g_ScaleY = g_RenderHeight / g_VirtualHeight;
}

// After a reset: the sizes of the client space it took, with what is drawn
// at them.
void TakeResetSize()
{
    const float width = g_ScreenWidth, height = g_ScreenHeight;
    TakeDeviceSize();
    if (width != g_ScreenWidth || height != g_ScreenHeight)
    {
        D3DXMatrixOrthoOffCenterRH(&g_OrthoMatrix, 0.0f, g_RenderWidth, g_RenderHeight, 0.0f, 0.0f, 1.0f);
        // The debug text is drawn at the new size's own pixels.
        if (g_Font)
        {
            ReleaseAndClear(g_Font->m_Font);
            delete g_Font;
        }
        g_Font = CreateDebugFont();
    }
    // Another target, or the old one's contents gone: keep the skin anew.
    ForgetKeptLayers();
}

}  // namespace

bool OpenRenderDevice()
{
    ChooseStartSize();
    g_RenderWidth = g_ScreenWidth;
    g_RenderHeight = g_ScreenHeight;
    g_ScaleX = g_ScreenWidth / g_VirtualWidth;
    g_ScaleY = g_RenderHeight / g_VirtualHeight;

    const int width = static_cast<int>(g_ScreenWidth);
    const int height = static_cast<int>(g_ScreenHeight);
    int x = 0, y = 0;
    D3DPRESENT_PARAMETERS pp = PresentParameters(&x, &y);

    // The title and class are what task switchers and docks show.
    g_hWnd = CreateWindowExA(0, "Demo", "ORBA", WS_POPUP | WS_THICKFRAME, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!g_hWnd)
    {
        s_Error = "the window could not be created";
        return false;
    }
    ShowWindow(g_hWnd, SW_HIDE);
    UpdateWindow(g_hWnd);

    if (FAILED(g_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g_hWnd, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                   &pp, &g_Device)) || !g_Device)
    {
        g_Device = nullptr;
        s_Error = "no OpenGL 3.3 core context could be created";
        return false;
    }

    // The window may have opened at a remembered size.
    TakeDeviceSize();
    SetUpDevice();
    return true;
}

void ToggleFullScreen()
{
    if (!g_Device)
        return;
    g_Windowed = !g_Windowed;
    int x = 0, y = 0;
    D3DPRESENT_PARAMETERS pp = PresentParameters(&x, &y);
    if (FAILED(g_Device->Reset(&pp)))
        g_Windowed = !g_Windowed;
    TakeResetSize();
}

void RequestRenderSize(int width, int height)
{
    s_AskedWidth = width;
    s_AskedHeight = height;
}

void ApplyRenderSize()
{
    if (!g_Device || s_AskedWidth <= 0 || s_AskedHeight <= 0 ||
        (s_AskedWidth == static_cast<int>(g_ScreenWidth) && s_AskedHeight == static_cast<int>(g_ScreenHeight)))
        return;
    s_AskedWidth = s_AskedHeight = 0;
    int x = 0, y = 0;
    D3DPRESENT_PARAMETERS pp = PresentParameters(&x, &y);
    if (SUCCEEDED(g_Device->Reset(&pp)))
        TakeResetSize();
}

void StepWindowSize(int direction)
{
    if (!g_Device || !g_Windowed || direction == 0)
        return;
    // Quarter steps from the size there is, so that an odd size from the
    // edges comes back onto the steps.
    const float now = g_ScreenWidth / g_VirtualWidth / SizeStep;
    const float steps = direction > 0 ? std::floor(now + 1e-3f) + 1.0f : std::ceil(now - 1e-3f) - 1.0f;
    const float scale = std::max(steps * SizeStep, SmallestScale);
    int areaWidth = 0, areaHeight = 0;
    if (!GetWorkAreaSize(&areaWidth, &areaHeight))
        areaWidth = areaHeight = 0;
    int width = 0, height = 0;
    ScaledSize(scale, areaWidth, areaHeight, &width, &height);
    SetWindowPos(g_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

CShader* CreateEffectFromMemory(const char* source, unsigned length)
{
    CShader* shader = new CShader;
    ID3DXBuffer* errors = nullptr;
    D3DXCreateEffect(g_Device, source, length, nullptr, nullptr, D3DXSHADER_OPTIMIZATION_LEVEL3, nullptr,
                     &shader->m_Effect, &errors);
    if (!shader->m_Effect)
        ReportFailure("effect", "built-in: %s",
                      errors ? static_cast<const char*>(errors->GetBufferPointer()) : "cannot be made");
    if (errors)
        errors->Release();
    return shader;
}

void PresentFrame()
{
    if (!g_Device)
        return;
    FinishFrame();
    g_Device->Present(nullptr, nullptr, nullptr, nullptr);
}

void FinishFrame()
{
    if (!g_Device)
        return;
    // The line flush runs after the application's scene has ended; bracket it.
    if (g_LineVertexCount >= 2)
    {
        g_Device->BeginScene();
        FlushLines();
        g_Device->EndScene();
    }
    if (g_ScreenFade != 0)
    {
        g_Device->BeginScene();
        DrawScreenRect(0.0f, 0.0f, g_ScreenWidth, g_ScreenHeight, static_cast<uint32_t>(g_ScreenFade) << 24);
        g_Device->EndScene();
    }
}

void ReleaseRenderDevice()
{
    for (auto& decl : g_VertexDecls)
        ReleaseAndClear(decl);
    if (g_Font)
    {
        ReleaseAndClear(g_Font->m_Font);
        delete g_Font;
        g_Font = nullptr;
    }
    if (g_Effect2D)
    {
        delete g_Effect2D;  // releases its effect
        g_Effect2D = nullptr;
    }
    ReleaseAndClear(g_Device);
    ReleaseAndClear(g_D3D);
    // The window goes with the device: nothing draws into it any more.
    if (g_hWnd)
    {
        DestroyWindow(g_hWnd);
        g_hWnd = nullptr;
    }
}
