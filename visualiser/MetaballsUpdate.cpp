// The per-frame update against the show clock; kept apart so that the
// metaball arithmetic links without it.
#include "frame/Timer.h"
#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

void UpdateMetaballs(CBall* const balls[16], CIsoSurface* isoSurface, const float* spectrum)
{
    if (balls == nullptr)
        return;
    ComputeBallStrengths(spectrum, balls);
    ComputeBallPaths(g_TimeMs, balls);
    if (isoSurface != nullptr)
        isoSurface->BuildMesh();
}
