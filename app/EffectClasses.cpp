// The class objects of the show's two screens, in one place so that they
// register in a fixed order: the loading screen first, then the music disk.
// They live with the application, the one folder that sees both screens; the
// build links this folder whole, so nothing needs to name them.
#include "app/EffectClasses.h"

#include "content/Loading.h"
#include "musicdisk/MusicDisk.h"

int32_t CCLoading::GetId() { return 0; }
CFixedString CCLoading::GetName() { return CFixedString("CLoading"); }
int32_t CCMusicDisk::GetId() { return 1; }
CFixedString CCMusicDisk::GetName() { return CFixedString("CMusicDisk"); }

CCLoading g_CLoadingClass;
CCMusicDisk g_CMusicDiskClass;
