// Rectangles of the back buffer kept for frames to come: colour and depth
// copied into a frame of their own and copied back, as memory copies where
// the formats agree. For parts of a frame that never change.
#include <epoxy/gl.h>

#include <algorithm>

#include "platform/gl/GlDevice.h"

namespace {

// Bits of one buffer of the default framebuffer; 0 where it has none (asking
// a missing buffer its size is an error).
GLint AttachmentBits(GLenum attachment, GLenum pname)
{
    GLint type = GL_NONE, bits = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                          &type);
    if (type != GL_NONE)
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment, pname, &bits);
    return bits;
}

// The depth format of the framebuffer bound for drawing, so that depth can
// be copied to and from it.
GLenum TargetDepthFormat(bool useFrame)
{
    if (useFrame)
        return GL_DEPTH_COMPONENT16;  // as the off-screen frame makes it
    const GLint depth = AttachmentBits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE);
    const GLint stencil = AttachmentBits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE);
    if (depth == 24)
        return stencil == 8 ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24;
    if (depth == 32)
        return stencil == 8 ? GL_DEPTH32F_STENCIL8 : GL_DEPTH_COMPONENT32F;
    return depth == 16 ? GL_DEPTH_COMPONENT16 : GL_NONE;
}

}  // namespace

void CGlDevice::DropKept()
{
    if (m_Keep)
        glDeleteFramebuffers(1, &m_Keep);
    if (m_KeepColor)
        glDeleteRenderbuffers(1, &m_KeepColor);
    if (m_KeepDepth)
        glDeleteRenderbuffers(1, &m_KeepDepth);
    m_Keep = m_KeepColor = m_KeepDepth = 0;
    m_Kept = false;
}

bool CGlDevice::CopyRects(GLuint from, GLuint to, const RECT* rects, DWORD count)
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glDisable(GL_SCISSOR_TEST);  // a blit obeys it
    for (DWORD i = 0; i < count; ++i)
    {
        const RECT& r = rects[i];
        const int x0 = std::clamp(r.left, 0, m_Width), x1 = std::clamp(r.right, 0, m_Width);
        const int y0 = std::clamp(r.top, 0, m_Height), y1 = std::clamp(r.bottom, 0, m_Height);
        if (x1 <= x0 || y1 <= y0)
            continue;
        // GL counts rows from the bottom.
        glBlitFramebuffer(x0, m_Height - y1, x1, m_Height - y0, x0, m_Height - y1, x1, m_Height - y0,
                          GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    }
    const bool ok = glGetError() == GL_NO_ERROR;
    BindTarget();
    ApplyScissor();
    return ok;
}

HRESULT CGlDevice::KeepRects(const RECT* rects, DWORD count)
{
    if (count && !rects)
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    const GLuint target = m_UseFrame ? m_Frame : 0;
    if (!m_Keep || m_KeepTarget != target)
    {
        DropKept();
        const GLenum depth = TargetDepthFormat(m_UseFrame);
        if (depth == GL_NONE)
            return E_FAIL;
        glGenFramebuffers(1, &m_Keep);
        glGenRenderbuffers(1, &m_KeepColor);
        glGenRenderbuffers(1, &m_KeepDepth);
        glBindRenderbuffer(GL_RENDERBUFFER, m_KeepColor);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_Width, m_Height);
        glBindRenderbuffer(GL_RENDERBUFFER, m_KeepDepth);
        glRenderbufferStorage(GL_RENDERBUFFER, depth, m_Width, m_Height);
        glBindFramebuffer(GL_FRAMEBUFFER, m_Keep);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_KeepColor);
        const GLenum point = depth == GL_DEPTH24_STENCIL8 || depth == GL_DEPTH32F_STENCIL8
                                 ? GL_DEPTH_STENCIL_ATTACHMENT
                                 : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, point, GL_RENDERBUFFER, m_KeepDepth);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindTarget();
        if (!complete)
        {
            DropKept();
            return E_FAIL;
        }
        m_KeepTarget = target;
    }
    m_Kept = CopyRects(target, m_Keep, rects, count);
    return m_Kept ? D3D_OK : E_FAIL;
}

HRESULT CGlDevice::RestoreRects(const RECT* rects, DWORD count)
{
    if (count && !rects)
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    const GLuint target = m_UseFrame ? m_Frame : 0;
    // Kept from another target (full screen came or went): keep again.
    if (!m_Kept || m_KeepTarget != target)
        return E_FAIL;
    return CopyRects(m_Keep, target, rects, count) ? D3D_OK : E_FAIL;
}
