// Rectangles of the back buffer's colour kept for frames to come: copied
// into a texture of the target's own layout and copied back, so that both
// copies are plain memory copies. For parts of a frame that never change.
#include <epoxy/gl.h>

#include <algorithm>

#include "platform/gl/GlDevice.h"

void CGlDevice::DropKept()
{
    if (m_Keep)
        glDeleteFramebuffers(1, &m_Keep);
    if (m_KeepColor)
        glDeleteTextures(1, &m_KeepColor);
    m_Keep = m_KeepColor = 0;
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
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
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
        // A window's colour is BGRA, the off-screen frame's RGBA: the texture
        // takes the target's layout from the data it is described with.
        glGenTextures(1, &m_KeepColor);
        glActiveTexture(m_ScratchUnit);
        glBindTexture(GL_TEXTURE_2D, m_KeepColor);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, m_Width, m_Height, 0, m_UseFrame ? GL_RGBA : GL_BGRA,
                     m_UseFrame ? GL_UNSIGNED_BYTE : GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        glGenFramebuffers(1, &m_Keep);
        glBindFramebuffer(GL_FRAMEBUFFER, m_Keep);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_KeepColor, 0);
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
