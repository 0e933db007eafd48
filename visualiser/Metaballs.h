#pragma once
// Sixteen balls on fixed paths whose strengths follow the spectrum.
// Main thread only.
#include <cstdint>

class CIsoSurface;
struct CBall;

// Writes the balls from the frame's spectrum (512 values, or null to keep
// their strengths) and the show clock, then rebuilds the mesh.
void UpdateMetaballs(CBall* const balls[16], CIsoSurface* isoSurface, const float* spectrum);

// The parts of an update, for callers that bring their own spectrum and clock.
// Null entries of `balls` are skipped.

// Ball k's strength = 2 + the sum of the 32 values of band k (512 in all).
// A null spectrum leaves every strength as it was.
void ComputeBallStrengths(const float* spectrum, CBall* const balls[16]);
// Ball positions on their fixed paths at the show time in milliseconds.
void ComputeBallPaths(double timeMs, CBall* const balls[16]);

// One ball's path: angular frequencies (radians per second) along x, y, z
// and the amplitude, drawn from the fixed seed.
struct CBallPath
{
    float m_Freq[3];
    float m_Amp;
};
void ComputeBallPathParams(CBallPath paths[16]);

// The path generator: state = state x 214013 + 2531011, the draw its high 16 bits.
constexpr uint32_t g_BallSeed = 0x72378592u;
uint32_t NextBallRandom(uint32_t& state);
