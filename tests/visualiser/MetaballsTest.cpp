// The metaballs: the fixed random paths, their positions over time, and the
// strengths taken from the spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "visualiser/IsoSurface.h"
#include "visualiser/Metaballs.h"

namespace {

struct CBalls
{
    CBalls()
    {
        for (int i = 0; i < 16; ++i)
            m_Slots[i] = &m_Balls[i];
    }
    CBall m_Balls[16] = {};
    CBall* m_Slots[16];
};

} // namespace

TEST(Metaballs, GeneratorDrawsTheHigh16BitsFromTheFixedSeed)
{
    uint32_t state = g_BallSeed;
    const uint32_t expected[8] = {63920, 36374, 1568, 40258, 48463, 49981, 64478, 48303};
    for (uint32_t e : expected)
        EXPECT_EQ(NextBallRandom(state), e);
}

TEST(Metaballs, PathParametersFromTheSeed)
{
    CBallPath paths[16];
    ComputeBallPathParams(paths);
    EXPECT_NEAR(paths[0].m_Freq[0], 0.987678f, 1e-6);
    EXPECT_NEAR(paths[0].m_Freq[1], 0.777516f, 1e-6);
    EXPECT_NEAR(paths[0].m_Freq[2], 0.511963f, 1e-6);
    EXPECT_NEAR(paths[0].m_Amp, 0.499293f, 1e-6);
    EXPECT_NEAR(paths[1].m_Freq[0], 0.869749f, 1e-6);
    EXPECT_NEAR(paths[1].m_Freq[1], 0.881331f, 1e-6);
    EXPECT_NEAR(paths[1].m_Freq[2], 0.991936f, 1e-6);
    EXPECT_NEAR(paths[1].m_Amp, 0.579087f, 1e-6);
    EXPECT_NEAR(paths[15].m_Freq[0], 0.882200f, 1e-6);
    EXPECT_NEAR(paths[15].m_Freq[1], 0.567468f, 1e-6);
    EXPECT_NEAR(paths[15].m_Freq[2], 0.851911f, 1e-6);
    EXPECT_NEAR(paths[15].m_Amp, 0.446825f, 1e-6);
    for (const CBallPath& p : paths)
    {
        for (float w : p.m_Freq)
        {
            EXPECT_GE(w, 0.5f);
            EXPECT_LE(w, 1.0f);
        }
        EXPECT_GE(p.m_Amp, 0.1f);
        EXPECT_LE(p.m_Amp, 0.75f);
    }
}

TEST(Metaballs, PositionsAtTimeZero)
{
    CBalls balls;
    ComputeBallPaths(0.0, balls.m_Slots);
    EXPECT_EQ(balls.m_Balls[0].m_Pos[0], 0.0f);
    EXPECT_NEAR(balls.m_Balls[0].m_Pos[1], 0.499293f, 1e-6);
    EXPECT_EQ(balls.m_Balls[0].m_Pos[2], 0.0f);
    // Ball 1 runs on its own time of 2 s.
    EXPECT_NEAR(balls.m_Balls[1].m_Pos[0], 0.570866f, 2e-6);
    EXPECT_NEAR(balls.m_Balls[1].m_Pos[1], -0.110426f, 2e-6);
    EXPECT_NEAR(balls.m_Balls[1].m_Pos[2], 0.530380f, 2e-6);
}

TEST(Metaballs, PathsStayInsideTheInnerCubeAndRepeatForTheSameTime)
{
    for (double t = 0.0; t < 200000.0; t += 333.3)
    {
        CBalls a, b;
        ComputeBallPaths(t, a.m_Slots);
        ComputeBallPaths(t, b.m_Slots);
        for (int i = 0; i < 16; ++i)
            for (int k = 0; k < 3; ++k)
            {
                ASSERT_LE(std::fabs(a.m_Balls[i].m_Pos[k]), 0.75f);
                ASSERT_EQ(a.m_Balls[i].m_Pos[k], b.m_Balls[i].m_Pos[k]);
            }
    }
}

TEST(Metaballs, PathsMoveWithTheClock)
{
    CBalls a, b;
    ComputeBallPaths(1000.0, a.m_Slots);
    ComputeBallPaths(1100.0, b.m_Slots);
    for (int i = 0; i < 16; ++i)
        EXPECT_NE(a.m_Balls[i].m_Pos[0], b.m_Balls[i].m_Pos[0]) << i;
    // The clock in milliseconds becomes seconds: ball 0 at 2000 ms sits where
    // its path puts it at 2 s.
    CBallPath paths[16];
    ComputeBallPathParams(paths);
    CBalls c;
    ComputeBallPaths(2000.0, c.m_Slots);
    EXPECT_EQ(c.m_Balls[0].m_Pos[0], paths[0].m_Amp * std::sin(paths[0].m_Freq[0] * 2.0f));
    EXPECT_EQ(c.m_Balls[0].m_Pos[1], paths[0].m_Amp * std::cos(paths[0].m_Freq[1] * 2.0f));
}

TEST(Metaballs, SilenceGivesStrengthTwo)
{
    std::vector<float> spectrum(512, 0.0f);
    CBalls balls;
    ComputeBallStrengths(spectrum.data(), balls.m_Slots);
    for (const CBall& b : balls.m_Balls)
        EXPECT_EQ(b.m_Strength, 2.0f);
}

TEST(Metaballs, AFullBandGivesStrengthThirtyFourToItsBall)
{
    for (int band = 0; band < 16; ++band)
    {
        std::vector<float> spectrum(512, 0.0f);
        for (int j = 0; j < 32; ++j)
            spectrum[size_t(32 * band + j)] = 1.0f;
        CBalls balls;
        ComputeBallStrengths(spectrum.data(), balls.m_Slots);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(balls.m_Balls[k].m_Strength, k == band ? 34.0f : 2.0f) << band << " " << k;
    }
}

TEST(Metaballs, StrengthIsTwoPlusTheBandSum)
{
    std::vector<float> spectrum(512);
    for (size_t i = 0; i < spectrum.size(); ++i)
        spectrum[i] = float((i * 37) % 101) / 100.0f;
    CBalls balls;
    ComputeBallStrengths(spectrum.data(), balls.m_Slots);
    for (int k = 0; k < 16; ++k)
    {
        double sum = 0.0;
        for (int j = 0; j < 32; ++j)
            sum += spectrum[size_t(32 * k + j)];
        EXPECT_NEAR(balls.m_Balls[k].m_Strength, 2.0 + sum, 1e-4) << k;
    }
}

TEST(Metaballs, NoSpectrumKeepsTheStrengthsAndNullSlotsAreSkipped)
{
    CBalls balls;
    for (int i = 0; i < 16; ++i)
        balls.m_Balls[i].m_Strength = float(i) + 0.5f;
    ComputeBallStrengths(nullptr, balls.m_Slots);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(balls.m_Balls[i].m_Strength, float(i) + 0.5f);

    std::vector<float> spectrum(512, 0.25f);
    balls.m_Slots[3] = nullptr;
    ComputeBallStrengths(spectrum.data(), balls.m_Slots);
    ComputeBallPaths(500.0, balls.m_Slots);
    EXPECT_EQ(balls.m_Balls[3].m_Strength, 3.5f);
    EXPECT_EQ(balls.m_Balls[4].m_Strength, 10.0f);
}
