#include "platform/sound/SoundSpectrum.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>

struct CSpectrum::CState
{
    kiss_fftr_cfg m_Config = nullptr;
    float m_Window[s_Size];
    float m_Input[s_Size];
    kiss_fft_cpx m_Bins[s_Bins + 1];
    float m_Output[s_Bins];
    float m_Scale = 0.0f;
    float m_Gain[s_Bins];
};

CSpectrum::CSpectrum() : m_State(std::make_unique<CState>())
{
    m_State->m_Config = kiss_fftr_alloc(s_Size, 0, nullptr, nullptr);
    double sum = 0.0;
    for (int i = 0; i < s_Size; ++i)
    {
        // Periodic Hann: the window of spectral analysis.
        double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / s_Size);
        m_State->m_Window[i] = static_cast<float>(w);
        sum += w;
    }
    // Amplitude-normalised: a sine of amplitude A reads A at its bin...
    m_State->m_Scale = static_cast<float>(2.0 / sum);
    // ...tilted up by 3 dB per octave from bin 2 (86 Hz). Music falls off by
    // about that much, so without the tilt everything above the lowest 32
    // bins reads near zero and fifteen of the sixteen metaballs never move.
    // With it, mastered music gives 32-bin sums of about 0.5 to 4, the range
    // the visualiser is built for. Loud tones saturate softly towards 1
    // (tanh), so a full-scale sine still peaks at its own bin.
    for (int k = 0; k < s_Bins; ++k)
        m_State->m_Gain[k] = m_State->m_Scale * static_cast<float>(std::sqrt(std::max(k, 1) / 2.0));
}

CSpectrum::~CSpectrum()
{
    kiss_fftr_free(m_State->m_Config);
}

const float* CSpectrum::Compute(const float* samples)
{
    CState& s = *m_State;
    for (int i = 0; i < s_Size; ++i)
        s.m_Input[i] = samples[i] * s.m_Window[i];
    kiss_fftr(s.m_Config, s.m_Input, s.m_Bins);
    for (int k = 0; k < s_Bins; ++k)
    {
        float magnitude = std::sqrt(s.m_Bins[k].r * s.m_Bins[k].r + s.m_Bins[k].i * s.m_Bins[k].i) * s.m_Gain[k];
        s.m_Output[k] = std::tanh(magnitude);
    }
    return s.m_Output;
}
