#include "support/VideoFixture.h"

#include <cstdlib>

#include "platform/Win32.h"

namespace {

// OpenGL on Mesa without X unless the caller chose a driver.
struct SOffscreen
{
    SOffscreen() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
} s_Offscreen;

LRESULT TestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const D3DVERTEXELEMENT9 s_TColTex[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 s_TCol[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 s_Pos[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    D3DDECL_END()};

}  // namespace

const char g_TestEffectSource[] = R"(
Anything before the first section is ignored.
@common
uniform mat4 g_OrthogonalMatrix;
uniform sampler2D g_Texture;
uniform float g_Level;

@vertex VS_Tex
layout(location = 0) in vec4 i_Pos;
layout(location = 1) in vec4 i_Color;
layout(location = 3) in vec2 i_Tex;
out vec4 v_Color;
out vec2 v_Tex;
void main()
{
    gl_Position = i_Pos * g_OrthogonalMatrix;
    v_Color = i_Color;
    v_Tex = i_Tex;
}

@pixel PS_Tex
in vec4 v_Color;
in vec2 v_Tex;
void main()
{
    o_Color = texture(g_Texture, v_Tex) * v_Color;
}

@vertex VS_Col
layout(location = 0) in vec4 i_Pos;
layout(location = 1) in vec4 i_Color;
out vec4 v_Color;
void main()
{
    gl_Position = i_Pos * g_OrthogonalMatrix;
    v_Color = i_Color;
}

@pixel PS_Col
in vec4 v_Color;
void main()
{
    o_Color = v_Color;
}

@vertex VS_Depth
layout(location = 0) in vec3 i_Pos;
void main()
{
    gl_Position = vec4(i_Pos, 1.0);
}

@pixel PS_Level
void main()
{
    o_Color = vec4(g_Level, 0.0, 0.0, 1.0);
}

@technique Tex
// one pass
pass Single_Pass VS_Tex PS_Tex

@technique Col
pass Single_Pass VS_Col PS_Col

@technique Depth
pass p0 VS_Depth PS_Level

@sampler g_Texture point point point wrap wrap
)";

void VideoTest::SetUp()
{
    WNDCLASSEXA wc;
    wc.lpfnWndProc = TestProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VideoTest";
    RegisterClassExA(&wc);
}

void VideoTest::Open(bool windowed)
{
    m_D3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(m_D3D, nullptr) << "no video driver (SDL_VIDEODRIVER=offscreen expected)";
    m_Window = CreateWindowExA(0, "VideoTest", "", WS_POPUP, 0, 0, Width, Height, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(m_Window, nullptr);
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = windowed ? TRUE : FALSE;
    pp.BackBufferWidth = windowed ? 0 : Width;
    pp.BackBufferHeight = windowed ? 0 : Height;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_Window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                  &pp, &m_Device),
              D3D_OK);
    ASSERT_NE(m_Device, nullptr);
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(m_Device, g_TestEffectSource, sizeof(g_TestEffectSource) - 1, nullptr,
                                        nullptr, 0, nullptr, &m_Effect, &errors);
    ASSERT_EQ(hr, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    ASSERT_EQ(m_Device->CreateVertexDeclaration(s_TColTex, &m_DeclTColTex), D3D_OK);
    ASSERT_EQ(m_Device->CreateVertexDeclaration(s_TCol, &m_DeclTCol), D3D_OK);
    ASSERT_EQ(m_Device->CreateVertexDeclaration(s_Pos, &m_DeclPos), D3D_OK);
    D3DXMatrixOrthoOffCenterRH(&m_Ortho, 0.0f, float(Width), float(Height), 0.0f, 0.0f, 1.0f);
    m_Effect->SetMatrix("g_OrthogonalMatrix", &m_Ortho);
    m_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    m_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void VideoTest::TearDown()
{
    for (IDirect3DVertexDeclaration9** d : {&m_DeclTColTex, &m_DeclTCol, &m_DeclPos})
        if (*d)
        {
            (*d)->Release();
            *d = nullptr;
        }
    if (m_Effect)
        m_Effect->Release();
    if (m_Device)
        m_Device->Release();
    if (m_D3D)
        m_D3D->Release();
    if (m_Window)
        DestroyWindow(m_Window);
    UnregisterClassA("VideoTest", GetModuleHandleA(nullptr));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
    }
}

std::vector<uint32_t> VideoTest::Read()
{
    std::vector<uint32_t> pixels(size_t(Width) * Height, 0);
    EXPECT_TRUE(m_Device->ReadPixels(pixels.data(), Width, Height));
    return pixels;
}

void VideoTest::DrawTexturedRect(float x, float y, float w, float h, IDirect3DTexture9* texture, uint32_t color)
{
    x -= 0.5f;
    y -= 0.5f;
    const SVertexTColTex v[4] = {{x, y + h, 0, 1, color, 0, 1},
                                 {x, y, 0, 1, color, 0, 0},
                                 {x + w, y + h, 0, 1, color, 1, 1},
                                 {x + w, y, 0, 1, color, 1, 0}};
    m_Device->SetVertexDeclaration(m_DeclTColTex);
    m_Effect->SetTechnique("Tex");
    m_Effect->SetTexture("g_Texture", texture);
    UINT passes = 0;
    ASSERT_EQ(m_Effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(passes, 1u);
    m_Effect->BeginPass(0);
    EXPECT_EQ(m_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SVertexTColTex)), D3D_OK);
    m_Effect->EndPass();
    m_Effect->End();
}

void VideoTest::DrawTriangle(const float (*xy)[2], uint32_t color)
{
    SVertexTCol v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = {xy[i][0], xy[i][1], 0, 1, color};
    m_Device->SetVertexDeclaration(m_DeclTCol);
    m_Effect->SetTechnique("Col");
    UINT passes = 0;
    m_Effect->Begin(&passes, 0);
    m_Effect->BeginPass(0);
    EXPECT_EQ(m_Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(SVertexTCol)), D3D_OK);
    m_Effect->EndPass();
    m_Effect->End();
}

void VideoTest::DrawDepthQuad(float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    const SVertexPos v[4] = {{x0, y0, z}, {x1, y0, z}, {x0, y1, z}, {x1, y1, z}};
    m_Device->SetVertexDeclaration(m_DeclPos);
    m_Effect->SetTechnique("Depth");
    m_Effect->SetFloat("g_Level", ((color >> 16) & 0xFF) / 255.0f);
    UINT passes = 0;
    m_Effect->Begin(&passes, 0);
    m_Effect->BeginPass(0);
    EXPECT_EQ(m_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SVertexPos)), D3D_OK);
    m_Effect->EndPass();
    m_Effect->End();
}

IDirect3DTexture9* VideoTest::MakeTexture(UINT w, UINT h, const std::vector<uint32_t>& texels)
{
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(m_Device->CreateTextureFromArgb(w, h, texels.data(), &t), D3D_OK);
    return t;
}
