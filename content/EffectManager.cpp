#include "content/EffectManager.h"

#include "content/Effect.h"
#include "frame/AppState.h"

CEffectManager g_EffectManager;

namespace {

// Deletes every queued effect, once each: an effect queued twice in one frame
// (ended twice) is deleted only while the manager still owns it.
void DeleteRemovals()
{
    for (CEffect* removed : g_EffectManager.m_Removals)
    {
        const size_t before = g_EffectManager.m_Running.size();
        g_EffectManager.m_Running.remove(removed);
        if (g_EffectManager.m_Running.size() != before)
            delete removed;
    }
    g_EffectManager.m_Removals.clear();
}

}  // namespace

void AddEffect(CEffect* effect)
{
    g_EffectManager.m_Running.push_back(effect);
    // list::sort is stable: equal layers keep their order of arrival.
    g_EffectManager.m_Running.sort([](const CEffect* a, const CEffect* b) { return a->m_Layer < b->m_Layer; });
}

void RemoveEffect(CEffect* effect)
{
    g_EffectManager.m_Removals.push_back(effect);
}

void UpdateEffects(float dt)
{
    for (CEffect* effect : g_EffectManager.m_Running)
    {
        effect->Update(dt);
        if (g_Drawing)
            effect->Render();
        for (CEffect* child : effect->m_Children)
        {
            child->Update(dt);
            if (g_Drawing)
                child->Render();
        }
    }
    for (CEffect* removed : g_EffectManager.m_Removals)
        for (CEffect* effect : g_EffectManager.m_Running)
            effect->m_Children.remove(removed);
    DeleteRemovals();
}

void RemoveAllEffects()
{
    for (CEffect* effect : g_EffectManager.m_Running)
        RemoveEffect(effect);
    DeleteRemovals();
}

bool IsLoadingActive()
{
    for (const CEffect* effect : g_EffectManager.m_Running)
        if (effect->m_ClassId == 0)
            return true;
    return false;
}
