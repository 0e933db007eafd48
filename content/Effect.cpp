#include "content/Effect.h"

#include "content/EffectManager.h"

void CEffect::End()
{
    RemoveEffect(this);
}

void CEffect::CountDown(float dt)
{
    m_TimeLeft -= dt;
    if (m_TimeLeft <= 0.0f && !m_Ended)
    {
        m_Ended = true;
        End();
    }
}

void CEffect::Update(float dt)
{
    CountDown(dt);
}
