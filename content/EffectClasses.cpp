// The class objects of the show's two screens, in one place so that they
// register in a fixed order: the loading screen first, then the music disk.
#include "content/EffectClasses.h"

#include "content/Loading.h"
#include "musicdisk/MusicDisk.h"

int32_t CCLoading::GetId() { return 0; }
CFixedString CCLoading::GetName() { return CFixedString("CLoading"); }
int32_t CCMusicDisk::GetId() { return 1; }
CFixedString CCMusicDisk::GetName() { return CFixedString("CMusicDisk"); }

CCLoading g_CLoadingClass;
CCMusicDisk g_CMusicDiskClass;

// Kept beside the class objects: whatever creates effects links them in,
// so the registry is never empty in a program built from the library.
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
