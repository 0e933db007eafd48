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

// The registry holds whatever class objects the program was linked with.
CEffect* CreateEffect(int32_t classId, uint32_t layer, float lifetime)
{
    for (CEffectClass* c = CEffectClass::s_Head; c; c = c->m_Next)
    {
        if (c->GetId() != classId)
            continue;
        CEffect* effect = c->Create();
        effect->m_TimeLeft = lifetime;
        effect->m_ClassId = classId;
        effect->m_Layer = layer;
        return effect;
    }
    return nullptr;
}
