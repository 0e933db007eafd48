// The per-frame update against the sound library and the show clock; kept
// apart so that the metaball arithmetic links without them.
#include "frame/Timer.h"
#include "platform/FMOD.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

void UpdateMetaballs(CBall* const balls[16], CIsoSurface* isoSurface)
{
    if (balls == nullptr)
        return;
    ComputeBallStrengths(FSOUND_DSP_GetSpectrum(), balls);
    ComputeBallPaths(g_TimeMs, balls);
    if (isoSurface != nullptr)
        isoSurface->BuildMesh();
}
