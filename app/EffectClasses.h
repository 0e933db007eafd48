#pragma once
#include "content/Effect.h"

class CLoading;
class CMusicDisk;

class CCLoading : public CEffectClassImpl<CLoading>
{
public:
    int32_t GetId() override;
    CFixedString GetName() override;
};

class CCMusicDisk : public CEffectClassImpl<CMusicDisk>
{
public:
    int32_t GetId() override;
    CFixedString GetName() override;
};

extern CCLoading g_CLoadingClass;
extern CCMusicDisk g_CMusicDiskClass;
