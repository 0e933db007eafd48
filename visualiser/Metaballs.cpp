// Ball strengths from the spectrum and ball positions on their paths. Every
// operation is one 32-bit float operation, rounded before the next, so the
// blob moves the same way on every machine.
#include "visualiser/Metaballs.h"

#include <cfloat>
#include <cmath>

#include "visualiser/IsoSurface.h"

static_assert(FLT_EVAL_METHOD == 0, "float expressions must round at every step");

uint32_t NextBallRandom(uint32_t& state)
{
    state = state * 214013u + 2531011u;
    return state >> 16;
}

void ComputeBallStrengths(const float* spectrum, CBall* const balls[16])
{
    if (spectrum == nullptr)
        return;
    for (int k = 0; k < 16; ++k)
    {
        float acc = 0.0f;
        for (int j = 0; j < 32; ++j)
            acc = acc + 16.0f * spectrum[32 * k + j];
        const float half = acc * 0.03125f + 1.0f;
        if (balls[k] != nullptr)
            balls[k]->m_Strength = half * 2.0f;
    }
}

void ComputeBallPathParams(CBallPath paths[16])
{
    uint32_t state = g_BallSeed;
    for (int i = 0; i < 16; ++i)
    {
        for (int a = 0; a < 3; ++a)
        {
            const float w = float(NextBallRandom(state)) * 0.5f / 65535.0f;
            paths[i].m_Freq[a] = w + 0.5f;
        }
        const float amp = float(NextBallRandom(state)) * 0.65f / 65535.0f;
        paths[i].m_Amp = amp + 0.1f;
    }
}

void ComputeBallPaths(double timeMs, CBall* const balls[16])
{
    CBallPath paths[16];
    ComputeBallPathParams(paths);

    float ti = float(timeMs) / 1000.0f;
    for (int i = 0; i < 16; ++i)
    {
        // x and z run on sines, y on a cosine; each ball 2 s ahead of the one before.
        const float sx = std::sin(paths[i].m_Freq[0] * ti);
        const float cy = std::cos(paths[i].m_Freq[1] * ti);
        const float sz = std::sin(paths[i].m_Freq[2] * ti);
        if (balls[i] != nullptr)
        {
            balls[i]->m_Pos[0] = paths[i].m_Amp * sx;
            balls[i]->m_Pos[1] = paths[i].m_Amp * cy;
            balls[i]->m_Pos[2] = paths[i].m_Amp * sz;
        }
        ti = ti + 2.0f;
    }
}
