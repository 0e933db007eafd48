// The Direct3D 9 device of D3D9.h on OpenGL 3.3 core (libepoxy).
//
// Sections: children, textures, vertex declarations, the Direct3D object,
// the device (creation, render states, scenes and clears, draws, present and
// pacing, read-back).
//
// Direct3D conventions kept here rather than in the program: pre-transformed
// positions move by +0.5 pixel (Direct3D's pixel centres sit on integers),
// culling is by winding as seen on the screen, depth runs 0..1 (clip control
// or the effect layer's remap), the alpha test lives in every pixel shader.
#include <epoxy/gl.h>


#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

#include "platform/gl/GlDevice.h"

// ---------------------------------------------------------------- children

CGlChild::CGlChild(CGlDevice* device) : m_Device(device)
{
    if (m_Device)
        m_Device->AddChild(this);
}

CGlChild::~CGlChild()
{
    if (m_Device)
        m_Device->RemoveChild(this);
}

// ---------------------------------------------------------------- textures

namespace {

UINT MipLevels(UINT width, UINT height)
{
    UINT levels = 1;
    for (UINT s = std::max(width, height); s > 1; s >>= 1)
        ++levels;
    return levels;
}

UINT NextPowerOfTwo(UINT v)
{
    UINT p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

}  // namespace

CGlTexture::CGlTexture(CGlDevice* device, GLuint name, UINT width, UINT height, std::vector<uint32_t>&& level0)
    : CGlChild(device), m_Name(name), m_Width(width), m_Height(height), m_Levels(MipLevels(width, height)),
      m_Level0(std::move(level0))
{
}

CGlTexture::~CGlTexture()
{
    if (m_Device)
    {
        m_Device->TextureGone(this);
        m_Device->MakeCurrent();
        if (m_Name)
            glDeleteTextures(1, &m_Name);
    }
}

void CGlTexture::Release()
{
    delete this;
}

HRESULT CGlTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= m_Levels)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_A8R8G8B8;
    desc->Width = std::max(1u, m_Width >> level);
    desc->Height = std::max(1u, m_Height >> level);
    return D3D_OK;
}

HRESULT CGlTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const void* rect, DWORD flags)
{
    // Level 0 only: the program reads the top level, never the mip chain.
    if (!locked || level != 0 || rect)
        return D3DERR_INVALIDCALL;
    locked->Pitch = static_cast<int>(m_Width * 4);
    locked->pBits = m_Level0.data();
    return D3D_OK;
}

HRESULT CGlTexture::UnlockRect(UINT level)
{
    return level == 0 ? D3D_OK : D3DERR_INVALIDCALL;
}

// ---------------------------------------------------------------- vertex declarations

struct SGlAttribute
{
    GLuint m_Location;
    GLint m_Size;       // components, or GL_BGRA for a D3DCOLOR
    GLenum m_Type;
    GLboolean m_Normalised;
    uint16_t m_Offset;
};

class CGlVertexDecl final : public IDirect3DVertexDeclaration9, public CGlChild
{
public:
    CGlVertexDecl(CGlDevice* device, GLuint vao) : CGlChild(device), m_Vao(vao) {}
    void Release() override { delete this; }
    void OnDeviceGone() override { m_Vao = 0; }

    GLuint m_Vao;
    std::vector<SGlAttribute> m_Attributes;
    UINT m_MinStride = 0;         // bytes the elements need
    int m_PositionTOffset = -1;   // where x and y of a pre-transformed position sit
    UINT m_BoundStride = 0;       // stride the VAO's pointers were set for

private:
    ~CGlVertexDecl() override
    {
        if (m_Device)
        {
            m_Device->ForgetDecl(this);
            m_Device->MakeCurrent();
            if (m_Vao)
                glDeleteVertexArrays(1, &m_Vao);
        }
    }
};

// ---------------------------------------------------------------- the Direct3D object

namespace {

class CGlDirect3D final : public IDirect3D9
{
public:
    void Release() override { delete this; }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviour,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;

private:
    ~CGlDirect3D() override = default;
};

bool HasCoreContext()
{
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33)
        return false;
    GLint mask = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    return (mask & GL_CONTEXT_CORE_PROFILE_BIT) != 0;
}

HRESULT CGlDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviour,
                                  D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!params || adapter != D3DADAPTER_DEFAULT || !focusWindow ||
        (params->hDeviceWindow && params->hDeviceWindow != focusWindow))
        return D3DERR_INVALIDCALL;

    int width = 0, height = 0;
    SGlSurface* surface = GlWindow_Open(focusWindow, &width, &height);
    if (!surface)
        return E_FAIL;
    if (!HasCoreContext())
    {
        GlWindow_Close(surface);
        return E_FAIL;
    }
    if (!params->Windowed)
        GlWindow_SetFullScreen(surface, true);
    auto* d = new CGlDevice(surface, width, height, *params);
    if (!d->Init())
    {
        d->Release();
        return E_FAIL;
    }
    *device = d;
    return D3D_OK;
}

}  // namespace

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || !GlWindow_Init())
        return nullptr;
    return new CGlDirect3D();
}

// ---------------------------------------------------------------- the device: creation

CGlDevice::CGlDevice(SGlSurface* surface, int width, int height, const D3DPRESENT_PARAMETERS& params)
    : m_Surface(surface), m_Width(width), m_Height(height), m_FullScreen(!params.Windowed),
      m_Interval(params.PresentationInterval)
{
    // Direct3D's defaults.
    m_States[D3DRS_ZENABLE] = params.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    m_States[D3DRS_ZWRITEENABLE] = TRUE;
    m_States[D3DRS_ALPHATESTENABLE] = FALSE;
    m_States[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    m_States[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    m_States[D3DRS_CULLMODE] = D3DCULL_CCW;
    m_States[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    m_States[D3DRS_ALPHAREF] = 0;
    m_States[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    m_States[D3DRS_ALPHABLENDENABLE] = FALSE;
    m_States[D3DRS_LIGHTING] = TRUE;
    m_States[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    m_Scissor = RECT{0, 0, width, height};
}

bool CGlDevice::Init()
{
    MakeCurrent();
    m_HasClipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    if (m_HasClipControl)
        glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &m_MaxTextureSize);
    // Textures are made on the last unit, so that making one never disturbs
    // what the effect layer bound from unit 0 up.
    GLint units = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
    m_ScratchUnit = GL_TEXTURE0 + static_cast<GLenum>(std::max(units, 2) - 1);
    glActiveTexture(m_ScratchUnit);

    glFrontFace(GL_CCW);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (D3DRENDERSTATETYPE s : {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC, D3DRS_CULLMODE,
                                 D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_BLENDOP})
        ApplyState(s);

    m_VertexCapacity = 1u << 20;
    m_IndexCapacity = 1u << 18;
    glGenBuffers(1, &m_VertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, m_VertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_VertexCapacity), nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &m_IndexBuffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_IndexBuffer);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(m_IndexCapacity), nullptr, GL_STREAM_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);

    // What an unbound texture samples as: opaque black.
    const uint32_t black = 0xFF000000u;
    glGenTextures(1, &m_BlackTexture);
    glBindTexture(GL_TEXTURE_2D, m_BlackTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &black);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

    m_RefreshPeriod = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(GlWindow_RefreshPeriod(m_Surface)));
    // Immediate presents as fast as it can; every other interval waits for
    // the vertical blank.
    GlWindow_SetSwapInterval(m_Surface, m_Interval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    ChooseTarget();
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(m_States[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    return glGetError() == GL_NO_ERROR;
}

CGlDevice::~CGlDevice()
{
    MakeCurrent();
    // Children first: they forget their GL names while the context lives.
    std::vector<CGlChild*> children;
    children.swap(m_Children);
    for (CGlChild* c : children)
    {
        c->OnDeviceGone();
        c->m_Device = nullptr;
    }
    DropKept();
    DropFrame();
    if (m_VertexBuffer)
        glDeleteBuffers(1, &m_VertexBuffer);
    if (m_IndexBuffer)
        glDeleteBuffers(1, &m_IndexBuffer);
    if (m_BlackTexture)
        glDeleteTextures(1, &m_BlackTexture);
    GlWindow_Close(m_Surface);
}

void CGlDevice::Release()
{
    delete this;
}

void CGlDevice::MakeCurrent()
{
    GlWindow_MakeCurrent(m_Surface);
}

void CGlDevice::AddChild(CGlChild* child)
{
    m_Children.push_back(child);
}

void CGlDevice::RemoveChild(CGlChild* child)
{
    auto it = std::find(m_Children.begin(), m_Children.end(), child);
    if (it != m_Children.end())
        m_Children.erase(it);
}

void CGlDevice::TextureGone(CGlTexture* texture)
{
    for (CGlChild* c : m_Children)
        c->OnTextureGone(texture);
}

void CGlDevice::ForgetDecl(CGlVertexDecl* decl)
{
    if (m_Decl == decl)
        m_Decl = nullptr;
}

HRESULT CGlDevice::GetDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    // A 3.3 core context (the only kind a device is made on) runs GLSL 3.30,
    // which covers everything shader model 3 offers.
    caps->PixelShaderVersion = D3DPS_VERSION(3, 0);
    caps->VertexShaderVersion = 0xFFFE0000u | (3u << 8);
    return D3D_OK;
}

// ---------------------------------------------------------------- render states

namespace {

GLenum GlCompare(DWORD f)
{
    switch (f)
    {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum GlBlend(DWORD b)
{
    switch (b)
    {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    default: return GL_ONE_MINUS_DST_COLOR;
    }
}

GLenum GlBlendOp(DWORD op)
{
    switch (op)
    {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

}  // namespace

bool CGlDevice::ValidState(D3DRENDERSTATETYPE state, DWORD value) const
{
    switch (state)
    {
    case D3DRS_ZENABLE: return value <= D3DZB_TRUE;
    case D3DRS_CULLMODE: return value >= D3DCULL_NONE && value <= D3DCULL_CCW;
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAFUNC: return value >= D3DCMP_NEVER && value <= D3DCMP_ALWAYS;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: return value >= D3DBLEND_ZERO && value <= D3DBLEND_INVDESTCOLOR;
    case D3DRS_BLENDOP: return value >= D3DBLENDOP_ADD && value <= D3DBLENDOP_MAX;
    default: return true;
    }
}

void CGlDevice::ApplyState(D3DRENDERSTATETYPE state)
{
    const DWORD v = m_States[state];
    switch (state)
    {
    case D3DRS_ZENABLE:
        if (v)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_ZWRITEENABLE:
        glDepthMask(v ? GL_TRUE : GL_FALSE);
        break;
    case D3DRS_ZFUNC:
        glDepthFunc(GlCompare(v));
        break;
    case D3DRS_CULLMODE:
        // Front faces are counter-clockwise on the screen in GL's window
        // space; Direct3D names the winding it culls as seen on the screen.
        if (v == D3DCULL_NONE)
            glDisable(GL_CULL_FACE);
        else
        {
            glEnable(GL_CULL_FACE);
            glCullFace(v == D3DCULL_CW ? GL_BACK : GL_FRONT);
        }
        break;
    case D3DRS_ALPHABLENDENABLE:
        if (v)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        glBlendFunc(GlBlend(m_States[D3DRS_SRCBLEND]), GlBlend(m_States[D3DRS_DESTBLEND]));
        break;
    case D3DRS_BLENDOP:
        glBlendEquation(GlBlendOp(v));
        break;
    case D3DRS_SCISSORTESTENABLE:
        ApplyScissor();
        break;
    default:
        // Lighting and the alpha test: no fixed-function GL state; the alpha
        // test is applied by the pass program at each draw.
        break;
    }
}

HRESULT CGlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (static_cast<uint32_t>(state) >= m_States.size() || !ValidState(state, value))
        return D3DERR_INVALIDCALL;
    if (m_States[state] == value)
        return D3D_OK;
    m_States[state] = value;
    MakeCurrent();
    ApplyState(state);
    return D3D_OK;
}

HRESULT CGlDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (!value || static_cast<uint32_t>(state) >= m_States.size())
        return D3DERR_INVALIDCALL;
    *value = m_States[state];
    return D3D_OK;
}

// ---------------------------------------------------------------- vertex declarations

HRESULT CGlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl)
{
    if (!decl)
        return D3DERR_INVALIDCALL;
    *decl = nullptr;
    if (!elements)
        return D3DERR_INVALIDCALL;

    std::vector<SGlAttribute> attributes;
    UINT minStride = 0;
    int positionT = -1;
    bool used[4] = {};
    constexpr int MaxElements = 64;  // a list without its end marker stops here
    int i = 0;
    for (; i < MaxElements && elements[i].Stream != 0xFF; ++i)
    {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream != 0 || e.Method != D3DDECLMETHOD_DEFAULT || e.UsageIndex != 0)
            return D3DERR_INVALIDCALL;
        SGlAttribute a{};
        a.m_Offset = e.Offset;
        switch (e.Usage)
        {
        case D3DDECLUSAGE_POSITION:
        case D3DDECLUSAGE_POSITIONT: a.m_Location = 0; break;
        case D3DDECLUSAGE_COLOR: a.m_Location = 1; break;
        case D3DDECLUSAGE_NORMAL: a.m_Location = 2; break;
        case D3DDECLUSAGE_TEXCOORD: a.m_Location = 3; break;
        default: return D3DERR_INVALIDCALL;
        }
        UINT bytes = 0;
        switch (e.Type)
        {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_FLOAT2:
        case D3DDECLTYPE_FLOAT3:
        case D3DDECLTYPE_FLOAT4:
            a.m_Size = e.Type - D3DDECLTYPE_FLOAT1 + 1;
            a.m_Type = GL_FLOAT;
            a.m_Normalised = GL_FALSE;
            bytes = 4u * static_cast<UINT>(a.m_Size);
            break;
        case D3DDECLTYPE_D3DCOLOR:
            // ARGB in a little-endian word is B, G, R, A in memory.
            a.m_Size = GL_BGRA;
            a.m_Type = GL_UNSIGNED_BYTE;
            a.m_Normalised = GL_TRUE;
            bytes = 4;
            break;
        default:
            return D3DERR_INVALIDCALL;
        }
        if (used[a.m_Location])
            return D3DERR_INVALIDCALL;
        used[a.m_Location] = true;
        if (e.Usage == D3DDECLUSAGE_POSITIONT)
        {
            if (e.Type != D3DDECLTYPE_FLOAT4)
                return D3DERR_INVALIDCALL;
            positionT = e.Offset;
        }
        minStride = std::max(minStride, static_cast<UINT>(e.Offset) + bytes);
        attributes.push_back(a);
    }
    if (i == MaxElements || attributes.empty())
        return D3DERR_INVALIDCALL;

    MakeCurrent();
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    for (const SGlAttribute& a : attributes)
        glEnableVertexAttribArray(a.m_Location);
    glBindVertexArray(0);

    auto* d = new CGlVertexDecl(this, vao);
    d->m_Attributes = std::move(attributes);
    d->m_MinStride = minStride;
    d->m_PositionTOffset = positionT;
    *decl = d;
    return D3D_OK;
}

HRESULT CGlDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl)
{
    auto* d = dynamic_cast<CGlVertexDecl*>(decl);
    if (decl && (!d || d->m_Device != this))
        return D3DERR_INVALIDCALL;
    m_Decl = d;
    return D3D_OK;
}

// ---------------------------------------------------------------- scenes and clears

HRESULT CGlDevice::BeginScene()
{
    if (m_InScene)
        return D3DERR_INVALIDCALL;
    m_InScene = true;
    return D3D_OK;
}

HRESULT CGlDevice::EndScene()
{
    if (!m_InScene)
        return D3DERR_INVALIDCALL;
    m_InScene = false;
    return D3D_OK;
}

HRESULT CGlDevice::Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if ((flags & D3DCLEAR_STENCIL) || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) || (count && !rects))
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET)
    {
        glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                     (color >> 24) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER)
    {
        // Clears write depth whatever ZWRITEENABLE says.
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (mask)
    {
        // Clears ignore the scissor rectangle, as Direct3D's do.
        glDisable(GL_SCISSOR_TEST);
        if (count == 0)
            glClear(mask);
        else
        {
            // D3DRECT: x1, y1, x2, y2 with y downward.
            const auto* r = static_cast<const int32_t*>(rects);
            glEnable(GL_SCISSOR_TEST);
            for (DWORD i = 0; i < count; ++i, r += 4)
            {
                const int x1 = std::clamp(r[0], 0, m_Width), y1 = std::clamp(r[1], 0, m_Height);
                const int x2 = std::clamp(r[2], 0, m_Width), y2 = std::clamp(r[3], 0, m_Height);
                if (x2 <= x1 || y2 <= y1)
                    continue;
                glScissor(x1, m_Height - y2, x2 - x1, y2 - y1);
                glClear(mask);
            }
        }
        ApplyScissor();
    }
    if (flags & D3DCLEAR_ZBUFFER)
        glDepthMask(m_States[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    return D3D_OK;
}

// ---------------------------------------------------------------- draws

namespace {

bool PrimitiveShape(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, UINT* vertices)
{
    switch (type)
    {
    case D3DPT_POINTLIST: *mode = GL_POINTS; *vertices = primitives; return true;
    case D3DPT_LINELIST: *mode = GL_LINES; *vertices = primitives * 2; return true;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *vertices = primitives + 1; return true;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *vertices = primitives * 3; return true;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *vertices = primitives + 2; return true;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *vertices = primitives + 2; return true;
    default: return false;
    }
}

// Room for `bytes` in a streaming buffer, aligned to `align`: either after
// what this frame already wrote, or at 0 of a fresh store (orphaning the old
// one so the GPU keeps reading it undisturbed).
size_t Reserve(GLenum target, size_t* capacity, size_t* offset, size_t bytes, size_t align)
{
    size_t at = (*offset + align - 1) / align * align;
    if (bytes > *capacity)
    {
        while (*capacity < bytes)
            *capacity *= 2;
        glBufferData(target, static_cast<GLsizeiptr>(*capacity), nullptr, GL_STREAM_DRAW);
        at = 0;
    }
    else if (at + bytes > *capacity)
    {
        glBufferData(target, static_cast<GLsizeiptr>(*capacity), nullptr, GL_STREAM_DRAW);
        at = 0;
    }
    *offset = at + bytes;
    return at;
}

}  // namespace

HRESULT CGlDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride,
                        UINT firstVertex, UINT vertexCount, const uint16_t* indices)
{
    GLenum mode = 0;
    UINT drawCount = 0;
    if (!PrimitiveShape(type, primitiveCount, &mode, &drawCount) || !vertices || !m_Decl ||
        stride < m_Decl->m_MinStride || stride > 1024)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0)
        return D3D_OK;
    if (!indices)
        vertexCount = drawCount;
    if (vertexCount == 0 || vertexCount > (1u << 24) || drawCount > (1u << 26))
        return D3DERR_INVALIDCALL;
    if (indices)
        for (UINT i = 0; i < drawCount; ++i)
            if (indices[i] < firstVertex || indices[i] - firstVertex >= vertexCount)
                return D3DERR_INVALIDCALL;
    // Without a pass there is no program; Direct3D's fixed function has no
    // counterpart here.
    if (!m_Pass || !m_Pass->m_Program)
        return D3DERR_INVALIDCALL;

    MakeCurrent();
    CGlVertexDecl* decl = m_Decl;
    glBindVertexArray(decl->m_Vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_VertexBuffer);

    // Vertices go to a multiple of the stride, so the draw addresses them by
    // first vertex and the array pointers stay put between draws.
    const size_t bytes = size_t(vertexCount) * stride;
    const size_t at = Reserve(GL_ARRAY_BUFFER, &m_VertexCapacity, &m_VertexOffset, bytes, stride);
    auto* dst = static_cast<uint8_t*>(glMapBufferRange(
        GL_ARRAY_BUFFER, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes),
        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT));
    if (!dst)
        return E_FAIL;
    const auto* src = static_cast<const uint8_t*>(vertices) + size_t(firstVertex) * stride;
    if (decl->m_PositionTOffset < 0)
        std::memcpy(dst, src, bytes);
    else
    {
        // Direct3D's pixel centres are at integers, GL's at +0.5. An edge
        // that then falls exactly on a row of pixel centres is filled by
        // Direct3D when it is the top edge and by GL (whose y runs up) when
        // it is the bottom one: a hair less than half a pixel in y gives
        // Direct3D's rows. Texel centres stay well inside their texels.
        const int p = decl->m_PositionTOffset;
        for (UINT v = 0; v < vertexCount; ++v, src += stride, dst += stride)
        {
            std::memcpy(dst, src, stride);
            float xy[2];
            std::memcpy(xy, src + p, sizeof(xy));
            xy[0] += 0.5f;
            xy[1] += 0.5f - 1.0f / 64.0f;
            std::memcpy(dst + p, xy, sizeof(xy));
        }
    }
    glUnmapBuffer(GL_ARRAY_BUFFER);

    if (decl->m_BoundStride != stride)
    {
        for (const SGlAttribute& a : decl->m_Attributes)
            glVertexAttribPointer(a.m_Location, a.m_Size, a.m_Type, a.m_Normalised, static_cast<GLsizei>(stride),
                                  reinterpret_cast<const void*>(static_cast<uintptr_t>(a.m_Offset)));
        decl->m_BoundStride = stride;
    }

    // The alpha test of the current states.
    SGlPassProgram* pass = m_Pass;
    const int func = m_States[D3DRS_ALPHATESTENABLE] && m_States[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS
                         ? static_cast<int>(m_States[D3DRS_ALPHAFUNC])
                         : 0;
    const int ref = static_cast<int>(m_States[D3DRS_ALPHAREF] & 0xFF);
    if (pass->m_AlphaFunc != func && pass->m_AlphaFuncLocation >= 0)
        glUniform1i(pass->m_AlphaFuncLocation, func);
    if (pass->m_AlphaRef != ref && pass->m_AlphaRefLocation >= 0)
        glUniform1f(pass->m_AlphaRefLocation, static_cast<float>(ref));
    pass->m_AlphaFunc = func;
    pass->m_AlphaRef = ref;

    const GLint first = static_cast<GLint>(at / stride);
    if (!indices)
        glDrawArrays(mode, first, static_cast<GLsizei>(drawCount));
    else
    {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_IndexBuffer);
        const size_t ibytes = size_t(drawCount) * 2;
        const size_t iat = Reserve(GL_ELEMENT_ARRAY_BUFFER, &m_IndexCapacity, &m_IndexOffset, ibytes, 4);
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLintptr>(iat), static_cast<GLsizeiptr>(ibytes), indices);
        glDrawElementsBaseVertex(mode, static_cast<GLsizei>(drawCount), GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(static_cast<uintptr_t>(iat)),
                                 first - static_cast<GLint>(firstVertex));
    }
    glBindVertexArray(0);
    return D3D_OK;
}

HRESULT CGlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride)
{
    return Draw(type, primitiveCount, vertices, stride, 0, 0, nullptr);
}

HRESULT CGlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                          UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                          const void* vertices, UINT stride)
{
    if (!indices || indexFormat != D3DFMT_INDEX16)
        return D3DERR_INVALIDCALL;
    return Draw(type, primitiveCount, vertices, stride, minVertexIndex, numVertices,
                static_cast<const uint16_t*>(indices));
}

// ---------------------------------------------------------------- textures

HRESULT CGlDevice::CreateTextureFromArgb(UINT width, UINT height, const uint32_t* texels, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!texels || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    const UINT w = NextPowerOfTwo(width), h = NextPowerOfTwo(height);
    if (w > static_cast<UINT>(m_MaxTextureSize) || h > static_cast<UINT>(m_MaxTextureSize) || w < width ||
        h < height)
        return D3DERR_INVALIDCALL;

    // Scaled up by nearest texel, as the image loader of D3DX does it.
    std::vector<uint32_t> level0;
    try
    {
        level0.resize(size_t(w) * h);
    }
    catch (const std::bad_alloc&)
    {
        return E_FAIL;
    }
    for (UINT y = 0; y < h; ++y)
    {
        const uint32_t* srcRow = texels + size_t(uint64_t(y) * height / h) * width;
        uint32_t* dstRow = level0.data() + size_t(y) * w;
        if (w == width)
            std::memcpy(dstRow, srcRow, size_t(w) * 4);
        else
            for (UINT x = 0; x < w; ++x)
                dstRow[x] = srcRow[uint64_t(x) * width / w];
    }

    MakeCurrent();
    glActiveTexture(m_ScratchUnit);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, level0.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    if (glGetError() != GL_NO_ERROR)
    {
        glDeleteTextures(1, &name);
        return E_FAIL;
    }
    *texture = new CGlTexture(this, name, w, h, std::move(level0));
    return D3D_OK;
}

HRESULT CGlDevice::CreateEffect(const char* source, size_t length, DWORD flags, ID3DXEffect** effect, char* errors,
                                size_t errorsSize)
{
    MakeCurrent();
    return CreateGlEffect(this, source, length, effect, errors, errorsSize);
}

// ---------------------------------------------------------------- present and pacing

void CGlDevice::DropFrame()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (m_Frame)
        glDeleteFramebuffers(1, &m_Frame);
    if (m_FrameColor)
        glDeleteRenderbuffers(1, &m_FrameColor);
    if (m_FrameDepth)
        glDeleteRenderbuffers(1, &m_FrameDepth);
    m_Frame = m_FrameColor = m_FrameDepth = 0;
}

void CGlDevice::ChooseTarget()
{
    SGlView view;
    GlWindow_View(m_Surface, &view);
    const bool useFrame = m_FullScreen || view.m_DrawableWidth != m_Width || view.m_DrawableHeight != m_Height;
    if (useFrame && !m_Frame)
    {
        glGenFramebuffers(1, &m_Frame);
        glGenRenderbuffers(1, &m_FrameColor);
        glGenRenderbuffers(1, &m_FrameDepth);
        glBindRenderbuffer(GL_RENDERBUFFER, m_FrameColor);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_Width, m_Height);
        glBindRenderbuffer(GL_RENDERBUFFER, m_FrameDepth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, m_Width, m_Height);
        glBindFramebuffer(GL_FRAMEBUFFER, m_Frame);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_FrameColor);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_FrameDepth);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            DropFrame();
    }
    m_UseFrame = useFrame && m_Frame;
    BindTarget();
}

void CGlDevice::BindTarget()
{
    glBindFramebuffer(GL_FRAMEBUFFER, m_UseFrame ? m_Frame : 0);
    glViewport(0, 0, m_Width, m_Height);
}

void CGlDevice::Pace()
{
    if (m_Interval == D3DPRESENT_INTERVAL_IMMEDIATE)
        return;
    // Where the swap paced, it returned at the vertical blank and the deadline
    // is already here; where it returned at once (Xvfb, software drivers),
    // the rest of the refresh period is waited out.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    const auto tolerance = std::chrono::microseconds(1500);
    if (m_NextPresent == Clock::time_point() || now + tolerance >= m_NextPresent)
    {
        // First frame, on time or late: the next deadline counts from now.
        m_NextPresent = now + m_RefreshPeriod;
        return;
    }
    std::this_thread::sleep_until(m_NextPresent);
    m_NextPresent += m_RefreshPeriod;
}

HRESULT CGlDevice::Present(const void* src, const void* dst, HWND overrideWindow, const void* dirty)
{
    SGlView view;
    if (!GlWindow_View(m_Surface, &view))
        return E_FAIL;  // the window is gone: nothing to present into
    MakeCurrent();
    if (m_UseFrame)
    {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_Frame);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glViewport(0, 0, view.m_DrawableWidth, view.m_DrawableHeight);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        const int x0 = view.m_X;
        const int y0 = view.m_DrawableHeight - (view.m_Y + view.m_Height);
        const bool exact = view.m_Width == m_Width && view.m_Height == m_Height;
        glBlitFramebuffer(0, 0, m_Width, m_Height, x0, y0, x0 + view.m_Width, y0 + view.m_Height,
                          GL_COLOR_BUFFER_BIT, exact ? GL_NEAREST : GL_LINEAR);
    }
    GlWindow_Swap(m_Surface);
    Pace();
    // Full screen may have been granted or the drawable resized meanwhile.
    ChooseTarget();
    ApplyScissor();
    return D3D_OK;
}

HRESULT CGlDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (!params)
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    m_FullScreen = !params->Windowed;
    GlWindow_SetFullScreen(m_Surface, m_FullScreen);
    // As a windowed Direct3D back buffer takes the client's size: a window
    // sized by its edges has a new one.
    int width = m_Width, height = m_Height;
    if (GlWindow_ClientSize(m_Surface, &width, &height) && (width != m_Width || height != m_Height))
    {
        DropFrame();
        DropKept();
        m_Width = width;
        m_Height = height;
        m_Scissor = RECT{0, 0, width, height};
    }
    ChooseTarget();
    ApplyScissor();
    return D3D_OK;
}

HRESULT CGlDevice::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = D3DVIEWPORT9{0, 0, static_cast<DWORD>(m_Width), static_cast<DWORD>(m_Height), 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT CGlDevice::SetScissorRect(const RECT* rect)
{
    if (!rect || rect->right < rect->left || rect->bottom < rect->top)
        return D3DERR_INVALIDCALL;
    m_Scissor = *rect;
    MakeCurrent();
    ApplyScissor();
    return D3D_OK;
}

void CGlDevice::ApplyScissor()
{
    // GL counts rows from the bottom.
    glScissor(m_Scissor.left, m_Height - m_Scissor.bottom, m_Scissor.right - m_Scissor.left,
              m_Scissor.bottom - m_Scissor.top);
    if (m_States[D3DRS_SCISSORTESTENABLE])
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
}

bool CGlDevice::ReadPixels(uint32_t* argb, UINT width, UINT height)
{
    if (!argb || width != static_cast<UINT>(m_Width) || height != static_cast<UINT>(m_Height))
        return false;
    MakeCurrent();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_UseFrame ? m_Frame : 0);
    glReadPixels(0, 0, m_Width, m_Height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    BindTarget();
    if (glGetError() != GL_NO_ERROR)
        return false;
    // GL's rows run bottom to top; the frame on screen has no alpha.
    for (UINT y = 0; y < height / 2; ++y)
        std::swap_ranges(argb + size_t(y) * width, argb + size_t(y + 1) * width,
                         argb + size_t(height - 1 - y) * width);
    for (size_t i = 0, n = size_t(width) * height; i < n; ++i)
        argb[i] |= 0xFF000000u;
    return true;
}
