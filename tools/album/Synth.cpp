#include "Synth.h"

#include <array>
#include <deque>

namespace album {

namespace {

constexpr int kSineTable = 4096;

struct CSineTable
{
    std::array<float, kSineTable + 1> m_Values;
    CSineTable()
    {
        for (int i = 0; i <= kSineTable; ++i)
            m_Values[i] = float(std::sin(2.0 * 3.14159265358979323846 * i / kSineTable));
    }
};

const CSineTable& SineTable()
{
    static const CSineTable s_Table;
    return s_Table;
}

// Envelopes and filter coefficients move in blocks this long; the amp is
// interpolated inside a block so it never steps audibly.
constexpr int kBlock = 32;

// Pade approximation of tanh, exact enough for saturation and much cheaper.
inline float FastTanh(float x)
{
    x = std::fmin(std::fmax(x, -3.0f), 3.0f);
    float x2 = x * x;
    return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

inline float SoftClip(float x, float drive)
{
    if (drive <= 0.0f)
        return x;
    return x * (1.0f + drive) / (1.0f + drive * std::fabs(x));
}

size_t Samples(float seconds) { return size_t(std::max(seconds, 0.0f) * kRate); }

} // namespace

float FastSin(float cycles)
{
    float t = cycles - std::floor(cycles);
    float x = t * kSineTable;
    int i = int(x);
    if (i >= kSineTable)
        i = kSineTable - 1;
    float f = x - float(i);
    const auto& v = SineTable().m_Values;
    return v[i] + (v[i + 1] - v[i]) * f;
}

CVoiceWriter::CVoiceWriter(SBus& dry, SBus& sends, const SRoute& route)
    : m_Dry(dry), m_Sends(sends), m_Size(std::min(dry.Size(), sends.m_Reverb.size()))
{
    float pan = std::fmin(std::fmax(route.m_Pan, -1.0f), 1.0f);
    float angle = (pan + 1.0f) * 0.25f * kPi;
    // Equal power, normalised so the centre keeps unity on each side.
    m_GainL = route.m_Gain * std::cos(angle) * 1.41421356f;
    m_GainR = route.m_Gain * std::sin(angle) * 1.41421356f;
    m_SendReverb = route.m_Gain * route.m_Reverb;
    m_SendDelay = route.m_Gain * route.m_Delay;
}

// ---- drums ---------------------------------------------------------------

void RenderKick(CVoiceWriter& out, size_t start, const SKickPatch& p, float velocity, float pitchScale)
{
    size_t len = Samples(p.m_Decay * 4.0f);
    float phase = 0.0f;
    float norm = 1.0f / FastTanh(std::max(p.m_Drive, 0.1f));
    CNoise noise(0x9E37u);
    CSvf click;
    click.Set(3500.0f, 0.1f);
    // Envelopes as per-sample ratios: same curves as exp(-t/decay), far cheaper.
    const float pitchStep = std::exp(-1.0f / (p.m_PitchDecay * kRate));
    const float ampStep = std::exp(-1.0f / (p.m_Decay * kRate));
    const size_t clickLen = Samples(0.006f);
    float pitchEnv = 1.0f, amp = 1.0f;
    for (size_t i = 0; i < len; ++i) {
        float hz = (p.m_EndHz + (p.m_StartHz - p.m_EndHz) * pitchEnv) * pitchScale;
        pitchEnv *= pitchStep;
        phase += hz / kRate;
        if (phase >= 1.0f)
            phase -= 1.0f;
        float body = FastTanh(FastSin(phase) * amp * p.m_Drive) * norm;
        amp *= ampStep;
        float c = 0.0f;
        if (i < clickLen) {
            float band;
            click.Process(noise.Next(), &band);
            c = band * p.m_Click * (1.0f - float(i) / float(clickLen)) * 3.0f;
        }
        // A few samples of fade-in keep the start from clicking harder than meant.
        float fade = i < 16 ? float(i) / 16.0f : 1.0f;
        out.Add(start + i, (body + c) * velocity * fade);
    }
}

void RenderSnare(CVoiceWriter& out, size_t start, const SSnarePatch& p, float velocity, uint32_t seed)
{
    size_t len = Samples(std::max(p.m_NoiseDecay, p.m_ToneDecay) * 5.0f + (p.m_Clap ? 0.033f : 0.0f));
    CNoise noise(seed);
    CSvf band;
    band.Set(p.m_NoiseHz, 0.25f);
    CSvf high;
    high.Set(p.m_NoiseHz * 0.5f, 0.0f);
    float phase1 = 0.0f, phase2 = 0.0f;
    const float noiseStep = std::exp(-1.0f / (p.m_NoiseDecay * kRate));
    const float toneStep = std::exp(-1.0f / (p.m_ToneDecay * kRate));
    const float slapStep = std::exp(-1.0f / (0.004f * kRate));
    const size_t slap = Samples(0.011f), slaps = 3 * slap;
    float noiseEnv = 1.0f, toneEnv = 1.0f;
    for (size_t i = 0; i < len; ++i) {
        float n = noise.Next();
        float bp, hp;
        band.Process(n, &bp);
        high.Process(n, nullptr, &hp);
        float env;
        if (p.m_Clap && i < slaps) {
            // Three quick slaps, then the room of the clap.
            if (i % slap == 0)
                noiseEnv = 1.0f;
            env = noiseEnv;
            noiseEnv *= slapStep;
            if (i + 1 == slaps)
                noiseEnv = 1.0f;
        } else {
            env = noiseEnv;
            noiseEnv *= noiseStep;
        }
        float noisy = (bp * 1.6f + hp * 0.6f) * env;
        phase1 += p.m_ToneHz / kRate;
        phase2 += p.m_ToneHz * 1.73f / kRate;
        float tone = (FastSin(phase1) + 0.5f * FastSin(phase2)) * toneEnv * p.m_Tone;
        toneEnv *= toneStep;
        float fade = i < 8 ? float(i) / 8.0f : 1.0f;
        out.Add(start + i, (noisy + tone) * velocity * fade);
    }
}

void RenderHat(CVoiceWriter& out, size_t start, const SHatPatch& p, float velocity, bool open, uint32_t seed)
{
    float decay = open ? p.m_OpenDecay : p.m_ClosedDecay;
    size_t len = Samples(decay * 5.0f);
    CNoise noise(seed);
    const float step = std::exp(-1.0f / (decay * kRate));
    float env = 1.0f;
    CSvf hp;
    hp.Set(p.m_CutoffHz, 0.15f);
    // Six detuned squares, the classic metallic cymbal partials.
    static const float kRatios[6] = {1.0f, 1.4828f, 1.8043f, 2.5341f, 2.6633f, 3.8919f};
    float phases[6] = {0, 0.13f, 0.27f, 0.41f, 0.59f, 0.73f};
    for (size_t i = 0; i < len; ++i) {
        float src = noise.Next();
        if (p.m_Metallic) {
            float m = 0.0f;
            for (int k = 0; k < 6; ++k) {
                phases[k] += 205.3f * 1.6f * kRatios[k] / kRate;
                if (phases[k] >= 1.0f)
                    phases[k] -= 1.0f;
                m += phases[k] < 0.5f ? 1.0f : -1.0f;
            }
            src = src * 0.4f + m * 0.18f;
        }
        float high;
        hp.Process(src, nullptr, &high);
        out.Add(start + i, high * env * velocity);
        env *= step;
    }
}

void RenderShaker(CVoiceWriter& out, size_t start, float velocity, uint32_t seed)
{
    size_t len = Samples(0.12f);
    CNoise noise(seed);
    CSvf band;
    band.Set(6500.0f, 0.3f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float env = t < 0.012f ? t / 0.012f : std::exp(-(t - 0.012f) / 0.03f);
        float bp;
        band.Process(noise.Next(), &bp);
        out.Add(start + i, bp * env * velocity * 1.5f);
    }
}

void RenderCrash(CVoiceWriter& out, size_t start, float velocity, uint32_t seed)
{
    SHatPatch p;
    p.m_CutoffHz = 4500.0f;
    p.m_OpenDecay = 0.9f;
    p.m_Metallic = true;
    RenderHat(out, start, p, velocity, true, seed);
}

// ---- pitched voices --------------------------------------------------------

namespace {

void RenderSubtractive(CVoiceWriter& out, size_t start, float held, float note, float velocity,
                       const SPatch& p, uint32_t seed)
{
    size_t len = Samples(held + p.m_Amp.m_Release * 1.4f);
    float hz = MidiToHz(note);
    int unison = std::max(1, std::min(p.m_Unison, 7));
    std::array<COscillator, 7> osc;
    std::array<float, 7> ratio;
    CNoise rnd(seed);
    for (int u = 0; u < unison; ++u) {
        float spread = unison > 1 ? (float(u) / float(unison - 1) - 0.5f) * 2.0f : 0.0f;
        ratio[u] = std::exp2(spread * p.m_Detune / 1200.0f);
        osc[u].m_Phase = unison > 1 ? rnd.Next() * 0.5f + 0.5f : 0.0f;
    }
    COscillator sub;
    CSvf filter;
    float base = p.m_Cutoff * std::exp2(p.m_KeyTrack * (note - 60.0f) / 12.0f) * (0.55f + 0.45f * velocity);
    float gain = velocity * p.m_Gain / std::sqrt(float(unison));
    for (size_t b = 0; b < len; b += kBlock) {
        float t0 = float(b) / kRate;
        float t1 = float(b + kBlock) / kRate;
        float a0 = p.m_Amp.At(t0, held), a1 = p.m_Amp.At(t1, held);
        float fenv = p.m_FilterEnv.At(t0, held);
        filter.Set(base * std::exp2(p.m_EnvOctaves * fenv), p.m_Resonance);
        float vib = 1.0f;
        if (p.m_VibratoCents > 0.0f && t0 > p.m_VibratoDelay) {
            float depth = std::fmin((t0 - p.m_VibratoDelay) / 0.4f, 1.0f) * p.m_VibratoCents;
            vib = std::exp2(depth * FastSin(t0 * p.m_VibratoHz) / 1200.0f);
        }
        float inc = hz * vib / kRate;
        size_t end = std::min(len, b + kBlock);
        for (size_t i = b; i < end; ++i) {
            float s = 0.0f;
            for (int u = 0; u < unison; ++u)
                s += osc[u].Step(p.m_Wave, inc * ratio[u], p.m_Width);
            if (p.m_Sub > 0.0f)
                s += p.m_Sub * sub.Step(EWave::Sine, inc * 0.5f, 0.5f);
            float y = filter.Process(s);
            y = SoftClip(y, p.m_Drive);
            float a = a0 + (a1 - a0) * float(i - b) / kBlock;
            out.Add(start + i, y * a * gain);
        }
    }
}

void RenderFm(CVoiceWriter& out, size_t start, float held, float note, float velocity, const SPatch& p)
{
    size_t len = Samples(held + p.m_Amp.m_Release * 1.4f);
    float hz = MidiToHz(note);
    float pc = 0.0f, pm = 0.0f;
    float incC = hz / kRate, incM = hz * p.m_FmRatio / kRate;
    float gain = velocity * p.m_Gain;
    for (size_t b = 0; b < len; b += kBlock) {
        float t0 = float(b) / kRate;
        float t1 = float(b + kBlock) / kRate;
        float a0 = p.m_Amp.At(t0, held), a1 = p.m_Amp.At(t1, held);
        float index = p.m_FmIndex * (0.2f + 0.8f * std::exp(-t0 / p.m_FmIndexDecay)) * (0.5f + 0.5f * velocity);
        size_t end = std::min(len, b + kBlock);
        for (size_t i = b; i < end; ++i) {
            float m = FastSin(pm) * index / (2.0f * kPi);
            float y = FastSin(pc + m);
            if (p.m_Sub > 0.0f)
                y += p.m_Sub * FastSin(pc * 0.5f);
            pc += incC;
            pm += incM;
            if (pc >= 2.0f)
                pc -= 2.0f; // the sub runs at half rate, so wrap on two cycles
            if (pm >= 1.0f)
                pm -= 1.0f;
            float a = a0 + (a1 - a0) * float(i - b) / kBlock;
            out.Add(start + i, y * a * gain);
        }
    }
}

void RenderPluck(CVoiceWriter& out, size_t start, float held, float note, float velocity,
                 const SPatch& p, uint32_t seed)
{
    float hz = MidiToHz(note);
    float period = float(kRate) / hz;
    size_t size = size_t(period) + 2;
    std::vector<float> line(size);
    CNoise noise(seed);
    CSvf excite;
    excite.Set(std::min(hz * (3.0f + 10.0f * velocity), 12000.0f), 0.0f);
    for (size_t i = 0; i < size; ++i)
        line[i] = excite.Process(noise.Next());
    size_t len = Samples(held + p.m_Amp.m_Release * 1.4f);
    float frac = period - std::floor(period);
    size_t delay = size_t(period);
    size_t w = 0;
    float prev = 0.0f;
    float s = std::fmin(std::fmax(p.m_Damping, 0.0f), 0.5f);
    float gain = velocity * p.m_Gain * 1.5f;
    for (size_t i = 0; i < len; ++i) {
        size_t r0 = (w + size - delay) % size;
        size_t r1 = (r0 + size - 1) % size;
        float x = line[r0] + (line[r1] - line[r0]) * frac;
        float y = (1.0f - s) * x + s * prev;
        prev = x;
        line[w] = y * 0.998f;
        w = (w + 1) % size;
        float t = float(i) / kRate;
        float a = t < held ? 1.0f : std::exp(-5.0f * (t - held) / std::max(p.m_Amp.m_Release, 1e-3f));
        float fade = i < 32 ? float(i) / 32.0f : 1.0f;
        out.Add(start + i, y * a * gain * fade);
    }
}

void RenderOrgan(CVoiceWriter& out, size_t start, float held, float note, float velocity, const SPatch& p)
{
    size_t len = Samples(held + p.m_Amp.m_Release * 1.4f);
    float hz = MidiToHz(note);
    const float levels[4] = {p.m_Sub, 1.0f, 0.45f, 0.2f * p.m_Width * 2.0f};
    const float mult[4] = {0.5f, 1.0f, 2.0f, 3.0f};
    float phases[4] = {0, 0, 0, 0};
    float gain = velocity * p.m_Gain * 0.6f;
    for (size_t b = 0; b < len; b += kBlock) {
        float t0 = float(b) / kRate;
        float t1 = float(b + kBlock) / kRate;
        float a0 = p.m_Amp.At(t0, held), a1 = p.m_Amp.At(t1, held);
        float trem = 1.0f + 0.12f * FastSin(t0 * p.m_VibratoHz);
        size_t end = std::min(len, b + kBlock);
        for (size_t i = b; i < end; ++i) {
            float y = 0.0f;
            for (int k = 0; k < 4; ++k) {
                y += levels[k] * FastSin(phases[k]);
                phases[k] += hz * mult[k] / kRate;
                if (phases[k] >= 1.0f)
                    phases[k] -= 1.0f;
            }
            float a = a0 + (a1 - a0) * float(i - b) / kBlock;
            out.Add(start + i, y * a * gain * trem);
        }
    }
}

} // namespace

void RenderNote(CVoiceWriter& out, size_t start, float held, float note, float velocity,
                const SPatch& patch, uint32_t seed)
{
    if (start >= out.Size() || held <= 0.0f)
        return;
    switch (patch.m_Kind) {
    case EVoice::Subtractive:
        RenderSubtractive(out, start, held, note, velocity, patch, seed);
        break;
    case EVoice::Fm:
        RenderFm(out, start, held, note, velocity, patch);
        break;
    case EVoice::Pluck:
        RenderPluck(out, start, held, note, velocity, patch, seed);
        break;
    case EVoice::Organ:
        RenderOrgan(out, start, held, note, velocity, patch);
        break;
    }
}

// ---- effects -----------------------------------------------------------------

namespace {

struct CComb
{
    std::vector<float> m_Buffer;
    size_t m_Index = 0;
    float m_Store = 0.0f;
    explicit CComb(size_t n) : m_Buffer(n, 0.0f) {}
    float Process(float in, float feedback, float damp)
    {
        float out = m_Buffer[m_Index];
        m_Store = out * (1.0f - damp) + m_Store * damp;
        m_Buffer[m_Index] = in + m_Store * feedback;
        if (++m_Index >= m_Buffer.size())
            m_Index = 0;
        return out;
    }
};

struct CAllpass
{
    std::vector<float> m_Buffer;
    size_t m_Index = 0;
    explicit CAllpass(size_t n) : m_Buffer(n, 0.0f) {}
    float Process(float in)
    {
        float b = m_Buffer[m_Index];
        float out = b - in;
        m_Buffer[m_Index] = in + b * 0.5f;
        if (++m_Index >= m_Buffer.size())
            m_Index = 0;
        return out;
    }
};

} // namespace

void ApplyReverb(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r,
                 float size, float damping, float level)
{
    static const size_t kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t kAllpasses[4] = {556, 441, 341, 225};
    const size_t spread = 23;
    std::vector<CComb> combL, combR;
    std::vector<CAllpass> apL, apR;
    for (size_t c : kCombs) {
        combL.emplace_back(c);
        combR.emplace_back(c + spread);
    }
    for (size_t a : kAllpasses) {
        apL.emplace_back(a);
        apR.emplace_back(a + spread);
    }
    // A short pre-delay keeps the dry attack clear of the wash.
    const size_t predelay = size_t(0.02f * kRate);
    float feedback = 0.7f + 0.28f * size;
    CSvf lowcut;
    lowcut.Set(250.0f, 0.0f);
    for (size_t i = 0; i < l.size(); ++i) {
        float in = i >= predelay ? send[i - predelay] : 0.0f;
        float hp;
        lowcut.Process(in, nullptr, &hp);
        in = hp * 0.03f;
        float ol = 0.0f, orr = 0.0f;
        for (size_t c = 0; c < 8; ++c) {
            ol += combL[c].Process(in, feedback, damping);
            orr += combR[c].Process(in, feedback, damping);
        }
        for (size_t a = 0; a < 4; ++a) {
            ol = apL[a].Process(ol);
            orr = apR[a].Process(orr);
        }
        l[i] += ol * level;
        r[i] += orr * level;
    }
}

void ApplyDelay(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r,
                std::vector<float>& room, float seconds, float feedback, float level, float roomLevel)
{
    size_t n = std::max<size_t>(1, size_t(seconds * kRate));
    std::vector<float> bl(n, 0.0f), br(n, 0.0f);
    CSvf toneL, toneR;
    toneL.Set(3500.0f, 0.0f);
    toneR.Set(3500.0f, 0.0f);
    size_t w = 0;
    for (size_t i = 0; i < l.size(); ++i) {
        float outL = bl[w], outR = br[w];
        bl[w] = send[i] + feedback * toneR.Process(outR);
        br[w] = feedback * toneL.Process(outL);
        if (++w >= n)
            w = 0;
        l[i] += outL * level;
        r[i] += outR * level;
        room[i] += (outL + outR) * roomLevel;
    }
}

void CLimiter::Process(std::vector<float>& l, std::vector<float>& r, float ceiling, float release)
{
    const size_t n = l.size();
    if (n == 0)
        return;
    const size_t look = size_t(0.003f * kRate);
    // Gain each sample needs on its own.
    std::vector<float>& need = m_Need;
    need.resize(n);
    for (size_t i = 0; i < n; ++i) {
        float peak = std::max(std::fabs(l[i]), std::fabs(r[i]));
        need[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Minimum over the next `look` samples (monotonic queue).
    std::vector<float>& ahead = m_Ahead;
    ahead.resize(n);
    std::deque<size_t> q;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t last = std::min(n - 1, i + look);
        for (; next <= last; ++next) {
            while (!q.empty() && need[q.back()] >= need[next])
                q.pop_back();
            q.push_back(next);
        }
        while (q.front() < i)
            q.pop_front();
        ahead[i] = need[q.front()];
    }
    // Instant attack, exponential release; then a box average over the
    // look-ahead window, which smooths the attack yet stays at or below
    // what every sample needs (each term already covers the sample).
    float coef = 1.0f - std::exp(-1.0f / (release * kRate));
    float g = 1.0f;
    for (size_t i = 0; i < n; ++i) {
        g = std::min(ahead[i], g + (1.0f - g) * coef);
        ahead[i] = g;
    }
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sum += ahead[i];
        if (i > look)
            sum -= ahead[i - look - 1];
        // Before the start the gain counts as one.
        double missing = i < look ? double(look - i) : 0.0;
        float gain = float((sum + missing) / double(look + 1));
        gain = std::min(gain, need[i]);
        l[i] *= gain;
        r[i] *= gain;
    }
}

} // namespace album
