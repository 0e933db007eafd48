#include "content/Loading.h"

#include <algorithm>

#include "frame/Timer.h"
#include "content/EffectManager.h"
#include "content/ResourceManager.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"

int32_t CLoading::s_FrameCount = 0;

CLoading::CLoading()
{
    m_Picture = LoadTexture(LoadingPictureId, CFixedString(""));
}

CLoading::~CLoading()
{
    // The picture is the screen's own, not the resource manager's.
    delete m_Picture;
}

void CLoading::End()
{
    m_Ended = true;
}

void CLoading::Update(float dt)
{
    CountDown(dt);
    if (m_Ended)
    {
        m_Fade = std::min(m_Fade + dt, 1.0f);
        if (m_Fade == 1.0f)
            RemoveEffect(this);
    }
    else
    {
        m_Fade = std::max(m_Fade - dt, 0.0f);
        if (m_Fade == 0.0f)
        {
            ++s_FrameCount;
            if (s_FrameCount % 16 == 0 && LoadNextResource(m_Progress))
                End();
            g_Timer.Reset();
        }
    }
    g_ScreenFade = static_cast<uint8_t>(static_cast<int>(m_Fade * 255.0f));
}

void CLoading::Render()
{
    if (g_Device)
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 0.0f, 0);
    DrawTexturedRect(0.0f, 0.0f, static_cast<float>(m_Picture->m_Width), static_cast<float>(m_Picture->m_Height),
                     m_Picture, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    DrawRect(42.0f, 522.0f, 718.0f * m_Progress, 5.0f, 0x60FFFFFF, 0x60FFFFFF, 0x60FFFFFF, 0x60FFFFFF);
}
