#include "platform/sound/SoundResampler.h"

#include <algorithm>
#include <cmath>

namespace
{
double BesselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 40; ++k)
    {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-12)
            break;
    }
    return sum;
}
}

void CResampler::Setup(int sourceRate, int targetRate)
{
    m_Source = sourceRate;
    m_Target = targetRate;
    Reset();
    if (IsPassThrough())
    {
        m_Kernel.clear();
        return;
    }
    // Cut-off a little under the lower Nyquist frequency of the two rates;
    // a Kaiser window (beta 7, about -70 dB) gives the transition band room
    // to end there.
    const double cutoff = std::min(1.0, static_cast<double>(targetRate) / sourceRate) * 0.91;
    const double beta = 7.0;
    const double norm = BesselI0(beta);
    const int taps = 2 * s_HalfTaps;
    m_Kernel.assign(static_cast<size_t>(s_Phases + 1) * taps, 0.0f);
    for (int p = 0; p <= s_Phases; ++p)
    {
        double frac = static_cast<double>(p) / s_Phases;
        double sum = 0.0;
        std::vector<double> row(taps);
        for (int t = 0; t < taps; ++t)
        {
            double x = (t - s_HalfTaps + 1) - frac; // distance of the tap from the output position
            double r = x / s_HalfTaps;
            double window = std::fabs(r) >= 1.0 ? 0.0 : BesselI0(beta * std::sqrt(1.0 - r * r)) / norm;
            double arg = M_PI * cutoff * x;
            double sinc = std::fabs(arg) < 1e-12 ? 1.0 : std::sin(arg) / arg;
            row[t] = cutoff * sinc * window;
            sum += row[t];
        }
        // Unity gain at DC for every phase: no ripple on held levels.
        for (int t = 0; t < taps; ++t)
            m_Kernel[static_cast<size_t>(p) * taps + t] = static_cast<float>(row[t] / sum);
    }
}

void CResampler::Reset()
{
    m_Input.clear();
    m_InputStart = 0;
    m_InputCount = 0;
    m_Output = 0;
    m_Ended = false;
}

int CResampler::InputWanted(int frames) const
{
    if (m_Ended)
        return 0;
    int64_t last = (m_Output + frames - 1) * m_Source / m_Target; // input position of the last wanted frame
    int64_t need = last + s_HalfTaps + 1 - m_InputCount;
    return need > 0 ? static_cast<int>(need) : 0;
}

void CResampler::Push(const float* stereo, int frames)
{
    if (frames <= 0)
        return;
    m_Input.insert(m_Input.end(), stereo, stereo + frames * 2);
    m_InputCount += frames;
}

float CResampler::Tap(int64_t index, int channel) const
{
    // Silence before the start and after the end of the run.
    if (index < 0 || index >= m_InputCount)
        return 0.0f;
    return m_Input[static_cast<size_t>(index - m_InputStart) * 2 + channel];
}

int CResampler::Pull(float* stereo, int maxFrames)
{
    const int taps = 2 * s_HalfTaps;
    int produced = 0;
    while (produced < maxFrames)
    {
        int64_t num = m_Output * m_Source;
        int64_t base = num / m_Target;
        if (m_Ended ? base >= m_InputCount : base + s_HalfTaps >= m_InputCount)
            break;
        // Phase of the output position between two input frames, with the
        // kernel rows on either side blended linearly.
        double phase = static_cast<double>(num % m_Target) / m_Target * s_Phases;
        int p = static_cast<int>(phase);
        float blend = static_cast<float>(phase - p);
        const float* k0 = &m_Kernel[static_cast<size_t>(p) * taps];
        const float* k1 = k0 + taps;
        float left = 0.0f, right = 0.0f;
        int64_t first = base - s_HalfTaps + 1;
        if (first >= m_InputStart && first + taps <= m_InputCount)
        {
            const float* in = &m_Input[static_cast<size_t>(first - m_InputStart) * 2];
            for (int t = 0; t < taps; ++t)
            {
                float k = k0[t] + (k1[t] - k0[t]) * blend;
                left += in[t * 2] * k;
                right += in[t * 2 + 1] * k;
            }
        }
        else
        {
            for (int t = 0; t < taps; ++t)
            {
                float k = k0[t] + (k1[t] - k0[t]) * blend;
                left += Tap(first + t, 0) * k;
                right += Tap(first + t, 1) * k;
            }
        }
        stereo[produced * 2] = left;
        stereo[produced * 2 + 1] = right;
        ++produced;
        ++m_Output;
    }
    // Drop input no later output frame reaches.
    int64_t keepFrom = (m_Output * m_Source) / m_Target - s_HalfTaps + 1;
    int64_t drop = std::min(keepFrom, m_InputCount) - m_InputStart;
    if (drop > 4096)
    {
        m_Input.erase(m_Input.begin(), m_Input.begin() + drop * 2);
        m_InputStart += drop;
    }
    return produced;
}

bool CResampler::IsFinished() const
{
    return m_Ended && (m_Output * m_Source) / m_Target >= m_InputCount;
}
