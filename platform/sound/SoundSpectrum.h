#pragma once
// Inside platform/ only: the spectrum of 1024 mono samples, main thread.
// 512 magnitudes, bin k centred on k × 44100 / 1024 Hz, Hann-windowed and
// scaled by 2 / sum(window) so that a full-scale sine reads about 1.0 at its
// bin; clamped to 0..1.
#include <memory>

class CSpectrum
{
public:
    static constexpr int s_Size = 1024;
    static constexpr int s_Bins = s_Size / 2;

    CSpectrum();
    ~CSpectrum();
    CSpectrum(const CSpectrum&) = delete;
    CSpectrum& operator=(const CSpectrum&) = delete;

    // s_Size samples in; s_Bins magnitudes out, valid until the next call.
    const float* Compute(const float* samples);

private:
    struct CState;
    std::unique_ptr<CState> m_State;
};
