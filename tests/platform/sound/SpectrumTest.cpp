// The spectrum and the master volume on the real sound library.
#include "support/SoundFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace
{
FSOUND_STREAM* PlayFile(const char* name, int loopCount)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(TestFile(name).m_Path.c_str(), FSOUND_2D, 0, 0);
    if (stream)
    {
        FSOUND_Stream_SetLoopCount(stream, loopCount);
        FSOUND_Stream_Play(0, stream);
    }
    return stream;
}

std::vector<float> Spectrum()
{
    float* spectrum = FSOUND_DSP_GetSpectrum();
    return spectrum ? std::vector<float>(spectrum, spectrum + 512) : std::vector<float>();
}

float Peak(const std::vector<float>& samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

std::vector<float> DrainCapture()
{
    std::vector<float> all, block(4096 * 2);
    while (int n = FSOUND_Test_ReadOutput(block.data(), 4096))
        all.insert(all.end(), block.begin(), block.begin() + n * 2);
    return all;
}

class SpectrumTest : public SilentSoundTest
{
protected:
    void SetUp() override
    {
        SilentSoundTest::SetUp();
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    }
};
}

TEST_F(SpectrumTest, IsNullWhileTheFFTUnitIsInactive)
{
    FSOUND_DSPUNIT* unit = FSOUND_DSP_GetFFTUnit();
    ASSERT_NE(unit, nullptr);
    FSOUND_DSP_SetActive(unit, 0);
    EXPECT_EQ(FSOUND_DSP_GetSpectrum(), nullptr);
    FSOUND_DSP_SetActive(unit, 1);
    std::vector<float> quiet = Spectrum();
    ASSERT_EQ(quiet.size(), 512u);
    // Nothing playing: nothing to see.
    EXPECT_EQ(*std::max_element(quiet.begin(), quiet.end()), 0.0f);
    FSOUND_DSP_SetActive(unit, 0);
    EXPECT_EQ(FSOUND_DSP_GetSpectrum(), nullptr);
}

TEST_F(SpectrumTest, FullScaleSinePeaksAtItsBinNearOne)
{
    // 1 kHz lies at bin 23.2 of a 1024-point FFT at 44100 Hz.
    FSOUND_STREAM* stream = PlayFile("sine1k.wav", -1);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 200; }, 3.0));
    std::vector<float> spectrum = Spectrum();
    ASSERT_EQ(spectrum.size(), 512u);
    int peakBin = static_cast<int>(std::max_element(spectrum.begin(), spectrum.end()) - spectrum.begin());
    EXPECT_EQ(peakBin, 23);
    EXPECT_GT(spectrum[23], 0.85f);
    EXPECT_LE(spectrum[23], 1.0f);
    for (int k = 0; k < 512; ++k)
    {
        if (std::abs(k - 23) > 4)
        {
            EXPECT_LT(spectrum[k], 0.01f) << "bin " << k;
        }
    }
    FSOUND_Stream_Close(stream);

    // Exactly on bin 23 the Hann window loses nothing: full scale reads 1.
    stream = PlayFile("sine_bin23.wav", -1);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 200; }, 3.0));
    spectrum = Spectrum();
    EXPECT_NEAR(spectrum[23], 1.0f, 0.005f);
    EXPECT_LT(spectrum[30], 1e-3f);
    FSOUND_Stream_Close(stream);

    // A quiet one shows the scale: amplitude A reads tanh(A x sqrt(k / 2)) at
    // bin k (3 dB per octave, softly saturated), the window's neighbours half
    // the amplitude at their own bins.
    stream = PlayFile("sine_bin23_quiet.wav", -1);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 200; }, 3.0));
    spectrum = Spectrum();
    EXPECT_NEAR(spectrum[23], std::tanh(0.05f * std::sqrt(23.0f / 2)), 0.002f);
    EXPECT_NEAR(spectrum[22], std::tanh(0.025f * std::sqrt(22.0f / 2)), 0.002f);
    EXPECT_NEAR(spectrum[24], std::tanh(0.025f * std::sqrt(24.0f / 2)), 0.002f);
    FSOUND_Stream_Close(stream);
}

TEST_F(SpectrumTest, SilenceGivesZeros)
{
    FSOUND_STREAM* stream = PlayFile("silence.wav", 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 200; }, 3.0));
    std::vector<float> spectrum = Spectrum();
    ASSERT_EQ(spectrum.size(), 512u);
    EXPECT_LT(*std::max_element(spectrum.begin(), spectrum.end()), 1e-6f);
    FSOUND_Stream_Close(stream);
}

TEST_F(SpectrumTest, MasterVolumeScalesTheOutputOnACubicCurveButNotTheSpectrum)
{
    FSOUND_Test_CaptureOutput(44100);
    FSOUND_SetSFXMasterVolume(0);
    FSOUND_STREAM* stream = PlayFile("sine_bin23.wav", -1);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 200; }, 3.0));
    std::vector<float> out = DrainCapture();
    ASSERT_GT(out.size(), 4096u);
    EXPECT_EQ(Peak(out), 0.0f);
    // The visualiser keeps moving when the volume is down: the spectrum is
    // of the mix before the master volume.
    EXPECT_NEAR(Spectrum()[23], 1.0f, 0.005f);

    for (int volume : {128, 255, 64})
    {
        FSOUND_SetSFXMasterVolume(volume);
        SleepMs(60);
        DrainCapture(); // what was mixed before the change
        SleepMs(60);
        float expected = std::pow(volume / 255.0f, 3.0f);
        EXPECT_NEAR(Peak(DrainCapture()), expected, 0.001f) << "volume " << volume;
    }
    FSOUND_Stream_Close(stream);
}

TEST_F(SpectrumTest, ShowsAClickOnlyOnceTheListenerHasHeardIt)
{
    FSOUND_STREAM* stream = PlayFile("click.wav", 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Test_StreamStartFrame(stream) >= 0; }, 2.0));
    const int64_t click = FSOUND_Test_StreamStartFrame(stream) + 13230;
    bool seenEarly = false, seenCentred = false;
    double end = NowSeconds() + 1.0;
    while (NowSeconds() < end)
    {
        int64_t before = FSOUND_Test_HeardFrame();
        std::vector<float> spectrum = Spectrum();
        int64_t after = FSOUND_Test_HeardFrame();
        float sum = std::accumulate(spectrum.begin(), spectrum.end(), 0.0f);
        if (after <= click && sum > 1e-6f)
            seenEarly = true;
        // The click in the middle half of the window: weight at least 0.5,
        // so every bin reads at least 0.5 × 2/512 before the tilt.
        if (before >= click + 256 && after <= click + 768)
        {
            seenCentred = true;
            EXPECT_GT(spectrum[2], 0.5f * 2 / 512 * 0.99f);
            EXPECT_GT(spectrum[400], std::tanh(0.5f * 2 / 512 * std::sqrt(200.0f)) * 0.99f);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    EXPECT_FALSE(seenEarly);
    EXPECT_TRUE(seenCentred);
    FSOUND_Stream_Close(stream);
}

TEST_F(SpectrumTest, MusicLikeSignalGivesBandSumsInTheVisualisersRange)
{
    // Each metaball swells by the sum of its 32 bins and fills the cube at a
    // strength of 14 (a sum of 12): a mastered mix should mostly read 0.5
    // to 4 per band. The signal: kick, bass, chords and hi-hat, peak 0.95.
    FSOUND_STREAM* stream = PlayFile("music.wav", -1);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 100; }, 3.0));
    std::vector<std::vector<float>> sums(16);
    double end = NowSeconds() + 2.0;
    while (NowSeconds() < end)
    {
        std::vector<float> spectrum = Spectrum();
        for (int band = 0; band < 16; ++band)
            sums[band].push_back(std::accumulate(spectrum.begin() + band * 32, spectrum.begin() + band * 32 + 32, 0.0f));
        SleepMs(25);
    }
    int inRange = 0, total = 0;
    float loudest = 0;
    std::printf("band  median   max  (music-like signal, %zu spectra)\n", sums[0].size());
    for (int band = 0; band < 16; ++band)
    {
        std::vector<float> s = sums[band];
        std::sort(s.begin(), s.end());
        std::printf("%4d  %6.3f %6.3f\n", band, s[s.size() / 2], s.back());
        loudest = std::max(loudest, s.back());
        for (float v : s)
        {
            inRange += v >= 0.5f && v <= 4.0f;
            ++total;
        }
    }
    std::printf("in 0.5..4: %d of %d\n", inRange, total);
    // With the 3 dB per octave tilt every band moves within the
    // visualiser's range, and the blob never fills the cube.
    EXPECT_LT(loudest, 12.0f);
    for (int band = 0; band < 16; ++band)
    {
        std::vector<float> s = sums[band];
        std::sort(s.begin(), s.end());
        EXPECT_GT(s[s.size() * 9 / 10], 0.5f) << "band " << band;
        // The lowest band carries kick and bass and reads a little higher.
        EXPECT_LT(s[s.size() / 2], band == 0 ? 8.0f : 4.0f) << "band " << band;
    }
    EXPECT_GT(inRange, total / 3);
    FSOUND_Stream_Close(stream);
}
