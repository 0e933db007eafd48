#pragma once
// Sixteen balls on fixed paths whose strengths follow the spectrum.
class CIsoSurface;
struct CBall;

// Writes the balls from the spectrum and the show clock, then rebuilds the mesh.
void UpdateMetaballs(CBall* const balls[16], CIsoSurface* isoSurface);
