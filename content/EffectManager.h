#pragma once
// Owns the running effects, updates and renders them in layer order once per
// frame, and deletes ended ones at the end of that frame's update.
// Main thread only.
#include <list>

class CEffect;

class CEffectManager
{
public:
    std::list<CEffect*> m_Running;   // owned, sorted by layer (stable)
    std::list<CEffect*> m_Removals;  // queued for deletion this frame
};

extern CEffectManager g_EffectManager;

void AddEffect(CEffect* effect);
void RemoveEffect(CEffect* effect);
void UpdateEffects(float dt);
void RemoveAllEffects();
bool IsLoadingActive();
