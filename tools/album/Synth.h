#pragma once
// The album's small synthesiser: oscillators, envelopes, filters, drum and
// instrument voices, and the effects of the mix bus. Everything renders
// offline into float buffers at a fixed rate; nothing here keeps global
// state, so one song per thread renders the same bytes whatever the thread.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace album {

constexpr int kRate = 44100;
constexpr float kPi = 3.14159265358979f;

// Seeded generator (splitmix64): same seed, same numbers on every machine,
// unlike the standard distributions whose algorithms vary by library.
class CRandom
{
public:
    explicit CRandom(uint64_t seed) : m_State(seed) {}
    uint64_t Next()
    {
        uint64_t z = (m_State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    float Range(float lo, float hi) { return lo + float(Uniform()) * (hi - lo); }
    int Int(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }
    bool Chance(double p) { return Uniform() < p; }
    template <class T> const T& Pick(const std::vector<T>& v) { return v[Next() % v.size()]; }

private:
    uint64_t m_State;
};

// Cheap white noise for drum voices.
class CNoise
{
public:
    explicit CNoise(uint32_t seed) : m_State(seed ? seed : 0x1234567u) {}
    float Next()
    {
        m_State ^= m_State << 13;
        m_State ^= m_State >> 17;
        m_State ^= m_State << 5;
        return float(int32_t(m_State)) * (1.0f / 2147483648.0f);
    }

private:
    uint32_t m_State;
};

// Table sine of a phase in cycles [0, 1): cheaper than std::sin where a
// voice needs several per sample.
float FastSin(float cycles);

inline float MidiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }
inline float DbToGain(float db) { return std::pow(10.0f, db / 20.0f); }

// Band-limited step correction for saw and pulse oscillators.
inline float PolyBlep(float t, float dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

enum class EWave { Saw, Square, Triangle, Sine };

struct COscillator
{
    float m_Phase = 0.0f;
    float Step(EWave wave, float inc, float width)
    {
        float t = m_Phase;
        float out;
        switch (wave) {
        case EWave::Saw:
            out = 2.0f * t - 1.0f - PolyBlep(t, inc);
            break;
        case EWave::Square: {
            float t2 = t + 1.0f - width;
            if (t2 >= 1.0f)
                t2 -= 1.0f;
            out = (t < width ? 1.0f : -1.0f) + PolyBlep(t, inc) - PolyBlep(t2, inc);
            break;
        }
        case EWave::Triangle:
            out = 4.0f * std::fabs(t - 0.5f) - 1.0f;
            break;
        default:
            out = FastSin(t);
            break;
        }
        m_Phase += inc;
        if (m_Phase >= 1.0f)
            m_Phase -= 1.0f;
        return out;
    }
};

// Linear attack, exponential decay to sustain and release.
struct SAdsr
{
    float m_Attack = 0.005f, m_Decay = 0.2f, m_Sustain = 0.7f, m_Release = 0.1f;
    // Level at time t (seconds) for a note held for `held` seconds.
    float At(float t, float held) const
    {
        auto held_level = [&](float u) {
            if (u < m_Attack)
                return u / m_Attack;
            float d = (u - m_Attack) / std::max(m_Decay, 1e-4f);
            return m_Sustain + (1.0f - m_Sustain) * std::exp(-4.0f * d);
        };
        if (t < held)
            return held_level(t);
        float r = (t - held) / std::max(m_Release, 1e-4f);
        return held_level(held) * std::exp(-5.0f * r);
    }
};

// Topology-preserving state variable filter; stable for any cutoff below
// Nyquist, which the swept filters need.
struct CSvf
{
    float m_Ic1 = 0.0f, m_Ic2 = 0.0f;
    float m_G = 0.0f, m_K = 1.0f, m_A1 = 0.0f, m_A2 = 0.0f, m_A3 = 0.0f;
    void Set(float hz, float resonance)
    {
        hz = std::fmin(std::fmax(hz, 20.0f), kRate * 0.45f);
        m_G = std::tan(kPi * hz / kRate);
        m_K = 2.0f - 1.96f * std::fmin(std::fmax(resonance, 0.0f), 1.0f);
        m_A1 = 1.0f / (1.0f + m_G * (m_G + m_K));
        m_A2 = m_G * m_A1;
        m_A3 = m_G * m_A2;
    }
    // Returns low-pass; band and high through the out parameters.
    float Process(float v0, float* band = nullptr, float* high = nullptr)
    {
        float v3 = v0 - m_Ic2;
        float v1 = m_A1 * m_Ic1 + m_A2 * v3;
        float v2 = m_Ic2 + m_A2 * m_Ic1 + m_A3 * v3;
        m_Ic1 = 2.0f * v1 - m_Ic1;
        m_Ic2 = 2.0f * v2 - m_Ic2;
        if (band)
            *band = v1;
        if (high)
            *high = v0 - m_K * v1 - v2;
        return v2;
    }
};

// A stereo mix bus: dry pair plus mono sends to the reverb and the delay.
struct SBus
{
    std::vector<float> m_L, m_R, m_Reverb, m_Delay;
    void Resize(size_t n, bool withSends)
    {
        m_L.assign(n, 0.0f);
        m_R.assign(n, 0.0f);
        m_Reverb.assign(withSends ? n : 0, 0.0f);
        m_Delay.assign(withSends ? n : 0, 0.0f);
    }
    size_t Size() const { return m_L.size(); }
};

// Where one voice goes: its gain, pan (-1..1) and send levels.
struct SRoute
{
    float m_Gain = 1.0f, m_Pan = 0.0f, m_Reverb = 0.0f, m_Delay = 0.0f;
};

// Writes a mono voice signal with equal-power panning into the dry pair of
// one bus and the sends of another (a ducked bus shares the main sends).
class CVoiceWriter
{
public:
    CVoiceWriter(SBus& dry, SBus& sends, const SRoute& route);
    void Add(size_t index, float v)
    {
        if (index >= m_Size)
            return;
        m_Dry.m_L[index] += v * m_GainL;
        m_Dry.m_R[index] += v * m_GainR;
        m_Sends.m_Reverb[index] += v * m_SendReverb;
        m_Sends.m_Delay[index] += v * m_SendDelay;
    }
    size_t Size() const { return m_Size; }

private:
    SBus& m_Dry;
    SBus& m_Sends;
    size_t m_Size;
    float m_GainL, m_GainR, m_SendReverb, m_SendDelay;
};

// ---- drum voices -------------------------------------------------------

struct SKickPatch
{
    float m_StartHz = 160.0f, m_EndHz = 48.0f, m_PitchDecay = 0.035f, m_Decay = 0.32f;
    float m_Click = 0.3f, m_Drive = 1.5f;
};
struct SSnarePatch
{
    float m_ToneHz = 190.0f, m_Tone = 0.5f, m_NoiseHz = 3000.0f, m_NoiseDecay = 0.16f;
    float m_ToneDecay = 0.07f;
    bool m_Clap = false;
};
struct SHatPatch
{
    float m_CutoffHz = 8000.0f, m_ClosedDecay = 0.04f, m_OpenDecay = 0.3f;
    bool m_Metallic = false;
};

void RenderKick(CVoiceWriter& out, size_t start, const SKickPatch& p, float velocity, float pitchScale);
void RenderSnare(CVoiceWriter& out, size_t start, const SSnarePatch& p, float velocity, uint32_t seed);
void RenderHat(CVoiceWriter& out, size_t start, const SHatPatch& p, float velocity, bool open, uint32_t seed);
void RenderShaker(CVoiceWriter& out, size_t start, float velocity, uint32_t seed);
void RenderCrash(CVoiceWriter& out, size_t start, float velocity, uint32_t seed);

// ---- pitched voices ----------------------------------------------------

enum class EVoice { Subtractive, Fm, Pluck, Organ };

struct SPatch
{
    EVoice m_Kind = EVoice::Subtractive;
    EWave m_Wave = EWave::Saw;
    int m_Unison = 1;
    float m_Detune = 0.0f;      // cents spread across the unison voices
    float m_Width = 0.5f;       // pulse width
    float m_Sub = 0.0f;         // sine an octave below
    float m_Cutoff = 2000.0f, m_Resonance = 0.2f, m_EnvOctaves = 2.0f, m_KeyTrack = 0.5f;
    SAdsr m_Amp, m_FilterEnv;
    float m_VibratoHz = 5.0f, m_VibratoCents = 0.0f, m_VibratoDelay = 0.3f;
    float m_FmRatio = 2.0f, m_FmIndex = 2.0f, m_FmIndexDecay = 0.3f;
    float m_Damping = 0.5f;     // pluck brightness loss per period
    float m_Drive = 0.0f;       // soft saturation before the amp stage
    float m_Gain = 1.0f;
};

// Renders one note of `held` seconds (plus its release tail).
void RenderNote(CVoiceWriter& out, size_t start, float held, float note, float velocity,
                const SPatch& patch, uint32_t seed);

// ---- effects -----------------------------------------------------------

// Freeverb-style room: parallel combs, serial allpasses, fed a mono send.
void ApplyReverb(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r,
                 float size, float damping, float level);
// Ping-pong echo fed a mono send; delay in seconds, darkened feedback. The
// repeats go to l/r and, at `roomLevel`, to the reverb send `room`.
void ApplyDelay(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r,
                std::vector<float>& room, float seconds, float feedback, float level, float roomLevel);

// Look-ahead peak limiter: the output never exceeds `ceiling`, gain moves
// smoothly (a few milliseconds attack, `release` seconds back). Keeps its
// work buffers between calls.
class CLimiter
{
public:
    void Process(std::vector<float>& l, std::vector<float>& r, float ceiling, float release);

private:
    std::vector<float> m_Need, m_Ahead;
};

} // namespace album
