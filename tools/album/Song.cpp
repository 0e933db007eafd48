// Composition and mixing of one day's piece.
//   [1] day plan: style, key and mode per day, chord progressions
//   [2] form: sections over the bars
//   [3] parts: drums, bass, chords, melody, arpeggio as note events
//   [4] render: voices into buses, ducking, echo, room, fade
//   [5] master: loudness to the target, peaks under the ceiling
#include "Song.h"
#include "Styles.h"

#include <cstring>
#include <numeric>
#include <sstream>

namespace album {

namespace {

const char* const kNoteNames[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};

constexpr double kTail = 2.5;          // seconds of ring-out after the last bar
constexpr float kCeiling = 0.79f;      // -2 dBFS before encoding: mp3 overshoots by up to 1.5 dB
constexpr float kTargetRms = 0.27f;    // about -11.4 dBFS over the whole piece

char StepOf(const char* pattern, int i)
{
    return i >= 0 && size_t(i) < std::strlen(pattern) ? pattern[i] : '.';
}

// ---- [1] day plan ------------------------------------------------------------

// A seeded order of 0..count-1 repeated, never the same entry twice running.
int CycleEntry(uint64_t seed, int count, int index)
{
    CRandom rng(seed);
    std::vector<int> order;
    while (int(order.size()) <= index) {
        std::vector<int> round(count);
        std::iota(round.begin(), round.end(), 0);
        for (int i = count - 1; i > 0; --i)
            std::swap(round[i], round[rng.Int(0, i)]);
        if (!order.empty() && round[0] == order.back())
            std::swap(round[0], round[count - 1]);
        order.insert(order.end(), round.begin(), round.end());
    }
    return order[index];
}

uint64_t DaySeed(uint64_t seed, int day)
{
    CRandom rng(seed ^ (uint64_t(day) * 0xD1B54A32D192ED03ull));
    rng.Next();
    return rng.Next();
}

const std::vector<std::vector<int>> kBrightProgressions = {
    {0, 4, 5, 3}, {0, 5, 3, 4}, {0, 3, 5, 4}, {5, 3, 0, 4}, {0, 2, 3, 4},
    {1, 4, 0, 5}, {0, 6, 3, 0}, {3, 0, 4, 5}, {0, 3, 0, 4}};
const std::vector<std::vector<int>> kDarkProgressions = {
    {0, 5, 2, 6}, {0, 3, 4, 0}, {0, 6, 5, 6}, {0, 5, 3, 4}, {0, 2, 6, 3},
    {0, 3, 0, 3}, {0, 6, 5, 4}, {5, 6, 0, 0}, {0, 4, 5, 3}};

// Diminished and augmented triads make weak roots for these simple loops:
// move such a chord a third down until it is major or minor.
int UsableDegree(const SMode& mode, int degree)
{
    for (int k = 0; k < 7; ++k) {
        int fifth = (mode.m_Steps[(degree + 4) % 7] - mode.m_Steps[degree] + 12) % 12;
        if (fifth == 7)
            return degree;
        degree = (degree + 5) % 7;
    }
    return 0;
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Midi note of a scale degree (any integer) above `base` (the tonic's note).
int DegreeNote(const SMode& mode, int base, int degree)
{
    int octave = FloorDiv(degree, 7);
    return base + mode.m_Steps[degree - octave * 7] + 12 * octave;
}

int NoteAtOrAbove(int pitchClass, int low) { return low + ((pitchClass - low) % 12 + 12) % 12; }

// Nearest degree to `degree` that is a tone of the triad on `chord`.
int SnapToChord(int degree, int chord, bool rootOnly)
{
    for (int off = 0; off < 7; ++off) {
        for (int d : {degree - off, degree + off}) {
            int rel = ((d - chord) % 7 + 7) % 7;
            if (rel == 0 || (!rootOnly && (rel == 2 || rel == 4)))
                return d;
        }
    }
    return degree;
}

// ---- [2] form ------------------------------------------------------------------

enum class ESection { Full, Intro, A, B, Break, Outro };

struct SSection
{
    ESection m_Kind;
    int m_Start, m_Bars, m_Repeat;
};

const char* SectionName(ESection s)
{
    switch (s) {
    case ESection::Full: return "A";
    case ESection::Intro: return "intro";
    case ESection::A: return "A";
    case ESection::B: return "B";
    case ESection::Break: return "break";
    case ESection::Outro: return "outro";
    }
    return "?";
}

std::vector<SSection> MakeForm(int bars)
{
    std::vector<SSection> form;
    if (bars < 12) {
        form.push_back({ESection::Full, 0, bars, 0});
        return form;
    }
    int intro = bars >= 40 ? 8 : 4;
    int outro = 4;
    int mid = bars - intro - outro;
    std::vector<std::pair<ESection, int>> body;
    bool useA = true;
    while (mid >= 8) {
        body.push_back({useA ? ESection::A : ESection::B, 8});
        useA = !useA;
        mid -= 8;
    }
    if (mid > 0 && body.size() >= 2)
        body.insert(body.end() - 1, {ESection::Break, mid});
    else if (mid > 0)
        body.push_back({ESection::B, mid}); // too short for a break: a short B
    int start = 0;
    form.push_back({ESection::Intro, start, intro, 0});
    start += intro;
    int repeatA = 0, repeatB = 0;
    for (auto& [kind, n] : body) {
        int repeat = kind == ESection::A ? repeatA++ : kind == ESection::B ? repeatB++ : 0;
        form.push_back({kind, start, n, repeat});
        start += n;
    }
    form.push_back({ESection::Outro, start, outro, 0});
    return form;
}

// ---- [3] parts -----------------------------------------------------------------

struct SMotifNote
{
    int m_Step, m_Length, m_Degree;
};
using CMotif = std::vector<SMotifNote>;

int WalkDegree(CRandom& rng, int degree)
{
    double r = rng.Uniform();
    int move = r < 0.12 ? 0 : r < 0.6 ? 1 : r < 0.85 ? 2 : rng.Int(3, 4);
    int dir = rng.Chance(0.5) ? 1 : -1;
    if (degree > 6)
        dir = -1;
    else if (degree < -1)
        dir = 1;
    return std::clamp(degree + dir * move, -3, 9);
}

// Two bars of melody on a grid of `grid` steps per bar.
CMotif MakeMotif(CRandom& rng, int grid, float density, bool staccato)
{
    int total = grid * 2;
    int scale = 16 / grid;
    std::vector<int> onsets;
    for (int s = 0; s < total; ++s) {
        int pos = (s % grid) * scale;
        double p = pos % 8 == 0 ? 0.75 : pos % 4 == 0 ? 0.5 : pos % 2 == 0 ? 0.12 + 0.4 * density : 0.04 + 0.3 * density;
        if (s >= total - grid / 4)
            p *= 0.25; // breathe before the phrase repeats
        if (rng.Chance(p))
            onsets.push_back(s);
    }
    if (onsets.size() < 3)
        onsets = {0, grid / 2, grid, grid + grid / 2};
    CMotif motif;
    int degree = rng.Pick(std::vector<int>{0, 2, 4, 4, 7});
    for (size_t i = 0; i < onsets.size(); ++i) {
        int next = i + 1 < onsets.size() ? onsets[i + 1] : total;
        int length = std::min(next - onsets[i], i + 1 < onsets.size() ? grid / 2 : grid);
        if (staccato)
            length = std::min(length, 2);
        motif.push_back({onsets[i], std::max(length, 1), degree});
        degree = WalkDegree(rng, degree);
    }
    return motif;
}

// Same rhythm and opening, a new ending.
CMotif VaryEnding(const CMotif& motif, CRandom& rng)
{
    CMotif v = motif;
    size_t from = v.size() - std::max<size_t>(1, v.size() / 3);
    int degree = from > 0 ? v[from - 1].m_Degree : 2;
    for (size_t i = from; i < v.size(); ++i) {
        degree = WalkDegree(rng, degree);
        v[i].m_Degree = degree;
    }
    return v;
}

struct SComposer
{
    const SStyle& m_Style;
    const SMode& m_Mode;
    CRandom& m_Rng;
    std::vector<SEvent>& m_Events;
    int m_Root;
    double m_Beat, m_Bar, m_StepTime;
    float m_Swing;
    std::vector<int> m_ProgA, m_ProgB;
    int m_ChordBars;
    std::vector<int> m_Voicing; // last pad voicing, for smooth voice leading

    double StepStart(int bar, double step) const
    {
        double swing = (int(step) % 2 == 1) ? m_Swing : 0.0;
        return bar * m_Bar + (step + swing) * m_StepTime;
    }
    int ChordDegree(const SSection& s, int barInSection) const
    {
        const std::vector<int>& prog = s.m_Kind == ESection::B ? m_ProgB : m_ProgA;
        return prog[size_t(barInSection / m_ChordBars) % prog.size()];
    }
    void Add(EPart part, double time, float length, float note, float velocity, float pan)
    {
        m_Events.push_back({part, time, length, note, velocity, pan});
    }

    std::vector<int> ChordNotes(int degree, bool sevenths)
    {
        std::vector<int> pcs;
        for (int k = 0; k < (sevenths ? 4 : 3); ++k)
            pcs.push_back((m_Root + DegreeNote(m_Mode, 0, degree + 2 * k)) % 12);
        std::vector<int> best;
        int bestCost = 1 << 30;
        for (size_t inv = 0; inv < pcs.size(); ++inv) {
            std::vector<int> v;
            int note = NoteAtOrAbove(pcs[inv], 53);
            for (size_t k = 0; k < pcs.size(); ++k) {
                v.push_back(note);
                note = NoteAtOrAbove(pcs[(inv + k + 1) % pcs.size()], note + 1);
            }
            int cost = 0;
            if (m_Voicing.size() == v.size()) {
                for (size_t k = 0; k < v.size(); ++k)
                    cost += std::abs(v[k] - m_Voicing[k]);
            } else {
                cost = std::abs(v[0] - 57);
            }
            if (cost < bestCost) {
                bestCost = cost;
                best = v;
            }
        }
        m_Voicing = best;
        return best;
    }

    void Drums(int bar, const SSection& s, int barIn, bool fill, bool crash, const char* kick,
               const char* snare, const char* hat, const char* open, const char* shaker, bool toms)
    {
        bool intro = s.m_Kind == ESection::Intro, brk = s.m_Kind == ESection::Break;
        // Intros start with chords and hats; the kick joins after a bar or two.
        bool useKick = !brk && (!intro || barIn >= std::max(1, s.m_Bars / 4));
        bool useSnare = !brk && !intro;
        bool useHats = !brk || barIn >= s.m_Bars - 2;
        if (crash)
            Add(EPart::Crash, StepStart(bar, 0), 0.0f, 0.0f, 0.9f, -0.2f);
        for (int step = 0; step < 16; ++step) {
            double t = StepStart(bar, step);
            bool filling = fill && step >= 12;
            float accent = step % 4 == 0 ? 1.0f : 0.85f;
            char k = StepOf(kick, step);
            if (useKick && k != '.' && !filling)
                Add(EPart::Kick, t, 0.0f, 0.0f, k == 'x' ? 1.0f : 0.6f, 0.0f);
            char sn = StepOf(snare, step);
            if (useSnare && sn != '.' && !filling)
                Add(EPart::Snare, t, 0.0f, 0.0f, sn == 'x' ? 1.0f : 0.35f, 0.0f);
            if (filling && (useSnare || brk)) {
                float ramp = 0.45f + 0.15f * float(step - 12);
                if (toms)
                    Add(EPart::Tom, t, 0.0f, 2.2f - 0.35f * float(step - 12), ramp + 0.1f, 0.4f - 0.25f * float(step - 12));
                else
                    Add(EPart::Snare, t, 0.0f, 0.0f, ramp, 0.0f);
            }
            if (brk && barIn == s.m_Bars - 1 && !fill && step % 2 == 0)
                Add(EPart::Snare, t, 0.0f, 0.0f, 0.2f + 0.04f * float(step), 0.0f);
            char o = StepOf(open, step);
            bool openHit = useHats && o != '.' && !brk && !(intro && !useKick);
            if (openHit)
                Add(EPart::OpenHat, t, 0.0f, 0.0f, (o == 'x' ? 0.9f : 0.5f) * m_Rng.Range(0.85f, 1.0f), 0.3f);
            char h = StepOf(hat, step);
            if (useHats && h != '.' && !openHit) {
                double jitter = m_Rng.Range(-0.002f, 0.002f);
                float soft = brk || (intro && !useKick) ? 0.5f : 1.0f;
                float v = (h == 'x' ? 0.9f : 0.5f) * accent * m_Rng.Range(0.8f, 1.0f) * soft;
                Add(EPart::Hat, std::max(0.0, t + jitter), 0.0f, 0.0f, v, 0.25f);
            }
            char sh = StepOf(shaker, step);
            if (sh != '.' && !brk)
                Add(EPart::Shaker, t, 0.0f, 0.0f, (step % 2 ? 0.9f : 0.6f) * m_Rng.Range(0.8f, 1.0f), -0.35f);
        }
    }

    void Bass(int bar, int chordDegree, int nextDegree, const char* pattern)
    {
        int rootPc = (m_Root + m_Mode.m_Steps[chordDegree]) % 12;
        int rootNote = NoteAtOrAbove(rootPc, m_Style.m_BassOctave);
        int nextPc = (m_Root + m_Mode.m_Steps[nextDegree]) % 12;
        int nextNote = NoteAtOrAbove(nextPc, m_Style.m_BassOctave);
        for (int step = 0; step < 16; ++step) {
            char c = StepOf(pattern, step);
            if (c == '.' || c == '-')
                continue;
            int ties = 0;
            while (StepOf(pattern, step + 1 + ties) == '-')
                ++ties;
            int note = rootNote;
            if (c == 'o')
                note = rootNote + 12;
            else if (c == '5')
                note = rootNote + (DegreeNote(m_Mode, 0, chordDegree + 4) - DegreeNote(m_Mode, 0, chordDegree));
            else if (c == '3')
                note = rootNote + (DegreeNote(m_Mode, 0, chordDegree + 2) - DegreeNote(m_Mode, 0, chordDegree));
            else if (c == 'a') {
                int below = DegreeNote(m_Mode, 0, nextDegree - 1) - DegreeNote(m_Mode, 0, nextDegree);
                note = nextNote + below;
            }
            float length = float((1 + ties) * m_StepTime * (ties > 0 ? 0.95 : 0.75));
            float v = (step % 4 == 0 ? 1.0f : 0.85f) * m_Rng.Range(0.92f, 1.0f);
            Add(EPart::Bass, StepStart(bar, step), length, float(note), v, 0.0f);
        }
    }

    void Chords(int bar, int barIn, int chordDegree, const char* rhythm, float velocity)
    {
        bool chordStart = barIn % m_ChordBars == 0;
        std::vector<int> notes = ChordNotes(chordDegree, m_Style.m_Sevenths);
        float spread = notes.size() > 1 ? 0.8f / float(notes.size() - 1) : 0.0f;
        auto pan = [&](size_t k) { return -0.4f + spread * float(k); };
        if (m_Style.m_PadPlay == EPadPlay::Sustain) {
            if (!chordStart)
                return;
            float held = float(m_ChordBars * m_Bar - 0.03);
            for (size_t k = 0; k < notes.size(); ++k)
                Add(EPart::Pad, StepStart(bar, 0), held, float(notes[k]), velocity, pan(k));
            return;
        }
        float gate = m_Style.m_PadPlay == EPadPlay::Gated ? 0.8f : m_Style.m_PadPlay == EPadPlay::Skank ? 0.9f : 1.6f;
        for (int step = 0; step < 16; ++step) {
            if (StepOf(rhythm, step) == '.')
                continue;
            float v = velocity * (step % 4 == 0 ? 1.0f : 0.85f);
            for (size_t k = 0; k < notes.size(); ++k)
                Add(EPart::Pad, StepStart(bar, step), float(gate * m_StepTime), float(notes[k] + (m_Style.m_PadPlay == EPadPlay::Skank ? 12 : 0)), v, pan(k));
        }
    }

    void Arp(int bar, int chordDegree, int pattern)
    {
        std::vector<int> chord = ChordNotes(chordDegree, false);
        std::vector<int> seq;
        for (int n : chord)
            seq.push_back(n + 12);
        seq.push_back(chord[0] + 24);
        std::vector<int> order;
        if (pattern == 0)
            order = {0, 1, 2, 3};
        else if (pattern == 1)
            order = {0, 1, 2, 3, 2, 1};
        else
            order = {0, 2, 1, 3, 0, 3, 1, 2};
        int steps = m_Style.m_ArpSteps;
        double stepLen = 16.0 / steps;
        for (int i = 0; i < steps; ++i) {
            int note = seq[size_t(order[size_t(i) % order.size()]) % seq.size()];
            float v = (i % (steps / 4) == 0 ? 0.95f : 0.7f) * m_Rng.Range(0.9f, 1.0f);
            float pan = (i % 2 ? 0.35f : -0.35f);
            Add(EPart::Arp, StepStart(bar, i * stepLen), float(stepLen * m_StepTime * 0.8), float(note), v, pan);
        }
    }

    // One two-bar phrase of the melody starting at `bar`.
    void Phrase(int bar, const SSection& s, int barIn, const CMotif& motif, int shift, bool cadence,
                bool harmony, int homeNote)
    {
        int grid = m_Style.m_LeadGrid;
        double gridTime = m_Bar / grid;
        for (size_t i = 0; i < motif.size(); ++i) {
            const SMotifNote& n = motif[i];
            int barOff = n.m_Step / grid;
            int chord = ChordDegree(s, barIn + barOff);
            int pos16 = (n.m_Step % grid) * (16 / grid);
            bool last = i + 1 == motif.size();
            int degree = n.m_Degree + shift;
            int length = n.m_Length;
            if (cadence && last) {
                degree = SnapToChord(degree, chord, true);
                length = std::max(length, grid * 2 - n.m_Step - 1);
            } else if (pos16 % 4 == 0) {
                degree = SnapToChord(degree, chord, false);
            } else if (m_Style.m_Pentatonic) {
                int idx = ((degree % 7) + 7) % 7;
                bool avoid = m_Mode.m_Bright ? (idx == 3 || idx == 6) : (idx == 1 || idx == 5);
                if (avoid)
                    degree -= 1;
            }
            double t = StepStart(bar, pos16) + barOff * m_Bar;
            float held = float(length * gridTime * (m_Style.m_Staccato ? 0.55 : 0.92));
            float v = (pos16 % 4 == 0 ? 0.9f : 0.75f) * m_Rng.Range(0.92f, 1.0f);
            Add(EPart::Lead, t, held, float(DegreeNote(m_Mode, homeNote, degree)), v, 0.1f);
            if (harmony)
                Add(EPart::Harmony, t, held, float(DegreeNote(m_Mode, homeNote, degree - 2)), v * 0.7f, -0.3f);
        }
    }
};

} // namespace

// ---- composition ---------------------------------------------------------------

CSong::CSong(uint64_t seed, int day, double seconds)
{
    m_Info.m_Day = day;
    Compose(seed, seconds);
}

void CSong::Compose(uint64_t seed, double seconds)
{
    const int day = m_Info.m_Day;
    const SStyle& style = StyleAt(CycleEntry(seed * 31 + 7, StyleCount(), day - 1));
    CRandom rng(DaySeed(seed, day));
    m_NoiseSeed = uint32_t(rng.Next() | 1);
    const SMode& mode = ModeAt(rng.Pick(style.m_Modes));
    int root = CycleEntry(seed * 17 + 3, 12, day - 1);
    float bpm = std::round(rng.Range(style.m_BpmLo, style.m_BpmHi));
    m_Swing = rng.Range(style.m_SwingLo, style.m_SwingHi);

    m_Info.m_Style = style.m_Name;
    m_Info.m_Bpm = bpm;
    m_Info.m_Root = root;
    m_Info.m_Mode = mode.m_Name;

    double beat = 60.0 / bpm, bar = 4.0 * beat;
    int bars;
    double total;
    if (seconds > 0.0) {
        total = seconds;
        bars = std::max(1, int(std::ceil(seconds / bar)));
    } else {
        double target = rng.Range(62.0f, 116.0f);
        bars = std::max(16, int(std::lround((target - kTail) / bar / 4.0)) * 4);
        while (bars > 16 && bars * bar + kTail > 119.0)
            bars -= 4;
        while (bars * bar + kTail < 61.0)
            bars += 4;
        total = bars * bar + kTail;
    }
    m_Info.m_Bars = bars;
    m_Info.m_Frames = size_t(std::llround(total * kRate));
    m_Info.m_Seconds = double(m_Info.m_Frames) / kRate;

    // Voices and effects.
    MakeKit(style.m_Kit, style.m_Clap, rng, m_Voices);
    m_Voices.m_BassName = rng.Pick(style.m_BassPatches);
    m_Voices.m_PadName = rng.Pick(style.m_PadPatches);
    m_Voices.m_LeadName = rng.Pick(style.m_LeadPatches);
    m_Voices.m_ArpName = rng.Pick(style.m_ArpPatches);
    m_Voices.m_Bass = MakePatch(m_Voices.m_BassName, rng);
    m_Voices.m_Pad = MakePatch(m_Voices.m_PadName, rng);
    m_Voices.m_Lead = MakePatch(m_Voices.m_LeadName, rng);
    m_Voices.m_Arp = MakePatch(m_Voices.m_ArpName, rng);
    if (style.m_PadPlay == EPadPlay::Gated) {
        m_Voices.m_Pad.m_Amp.m_Attack = 0.003f;
        m_Voices.m_Pad.m_Amp.m_Release = 0.06f;
    }
    m_Info.m_Timbres = m_Voices.m_BassName + ", " + m_Voices.m_PadName + " chords, " +
                       m_Voices.m_LeadName + " melody";
    if (style.m_ArpSteps > 0)
        m_Info.m_Timbres += ", " + m_Voices.m_ArpName + " arpeggio";
    m_Duck = style.m_Duck;
    m_PadGain = style.m_PadPlay == EPadPlay::Skank ? 1.7f : style.m_PadPlay == EPadPlay::Stabs ? 1.4f
              : style.m_PadPlay == EPadPlay::Gated ? 1.3f : 1.0f;
    m_ReverbSize = style.m_ReverbSize;
    m_ReverbLevel = style.m_ReverbLevel;
    m_DelayLevel = style.m_DelayLevel;
    m_DelaySeconds = float(beat * rng.Pick(std::vector<double>{0.75, 0.75, 0.5, 1.5}));
    m_DelayFeedback = style.m_DelayLevel > 0.4f ? 0.55f : rng.Range(0.28f, 0.42f);

    // Harmony.
    const auto& pool = mode.m_Bright ? kBrightProgressions : kDarkProgressions;
    std::vector<int> progA = rng.Pick(pool), progB = rng.Pick(pool);
    for (int tries = 0; tries < 8 && progB == progA; ++tries)
        progB = rng.Pick(pool);
    for (int& d : progA)
        d = UsableDegree(mode, d);
    for (int& d : progB)
        d = UsableDegree(mode, d);
    int chordBars = (bpm >= 150.0f || rng.Chance(0.3)) ? 2 : 1;

    SComposer c{style, mode, rng, m_Events, root, beat, bar, beat / 4.0, m_Swing, progA, progB, chordBars, {}};

    // Per-song choices of pattern within the style.
    auto pick = [&](const std::vector<const char*>& v) -> const char* { return v.empty() ? "" : rng.Pick(v); };
    const char* kick = pick(style.m_Kick);
    const char* snare = pick(style.m_Snare);
    const char* hat = pick(style.m_Hat);
    const char* open = pick(style.m_OpenHat);
    const char* shaker = pick(style.m_Shaker);
    const char* bassA = pick(style.m_Bass);
    const char* bassB = pick(style.m_Bass);
    const char* padRhythm = pick(style.m_PadRhythm);
    bool toms = style.m_Kit != EKit::Club && rng.Chance(0.6);
    int arpPattern = rng.Int(0, 2);
    // Second choices: B sections may change the hats, every fourth bar the kick.
    const char* hatB = pick(style.m_Hat);
    const char* kickTurn = pick(style.m_Kick);

    // Melody: a motif per section kind, and their variations.
    int grid = style.m_LeadGrid;
    CMotif motifA = MakeMotif(rng, grid, style.m_LeadDensity, style.m_Staccato);
    CMotif motifA2 = VaryEnding(motifA, rng);
    CMotif motifB = MakeMotif(rng, grid, std::min(1.0f, style.m_LeadDensity * 1.2f), style.m_Staccato);
    CMotif motifB2 = VaryEnding(motifB, rng);
    int homeNote = NoteAtOrAbove(root, style.m_LeadCentre - 8);

    std::vector<SSection> form = MakeForm(bars);
    std::ostringstream formText;
    for (size_t i = 0; i < form.size(); ++i)
        formText << (i ? ", " : "") << SectionName(form[i].m_Kind) << ' ' << form[i].m_Bars;
    m_Info.m_Form = formText.str();

    for (size_t si = 0; si < form.size(); ++si) {
        const SSection& s = form[si];
        bool hasNext = si + 1 < form.size();
        ESection prevKind = si > 0 ? form[si - 1].m_Kind : ESection::Intro;
        for (int barIn = 0; barIn < s.m_Bars; ++barIn) {
            int bar = s.m_Start + barIn;
            int chord = c.ChordDegree(s, barIn);
            int next = barIn + 1 < s.m_Bars ? c.ChordDegree(s, barIn + 1)
                       : hasNext ? c.ChordDegree(form[si + 1], 0) : progA[0];
            bool lastBar = barIn == s.m_Bars - 1;
            bool main = s.m_Kind == ESection::A || s.m_Kind == ESection::B || s.m_Kind == ESection::Full;
            bool fill = lastBar && hasNext && (main || s.m_Kind == ESection::Intro || s.m_Kind == ESection::Break);
            bool crash = barIn == 0 && si > 0 && (main || s.m_Kind == ESection::Outro) && prevKind != s.m_Kind;
            const char* kickBar = main && barIn % 4 == 3 ? kickTurn : kick;
            const char* hatBar = s.m_Kind == ESection::B ? hatB : hat;
            c.Drums(bar, s, barIn, fill, crash, kickBar, snare, hatBar, open, shaker, toms);

            bool bass = s.m_Kind != ESection::Break &&
                        (s.m_Kind != ESection::Intro || barIn >= s.m_Bars / 2) &&
                        (s.m_Kind != ESection::Outro || barIn < s.m_Bars / 2);
            if (bass)
                c.Bass(bar, chord, next, s.m_Kind == ESection::B ? bassB : bassA);

            float padVelocity = s.m_Kind == ESection::Outro ? 0.8f : 0.9f;
            c.Chords(bar, barIn, chord, padRhythm, padVelocity);

            bool arp = style.m_ArpSteps > 0 &&
                       (s.m_Kind == ESection::B || s.m_Kind == ESection::Break || s.m_Kind == ESection::Full ||
                        (s.m_Kind == ESection::Intro && barIn < s.m_Bars / 2) || s.m_Kind == ESection::Outro || (s.m_Kind == ESection::A && s.m_Repeat > 0));
            if (arp)
                c.Arp(bar, chord, arpPattern);

            bool lead = s.m_Kind == ESection::A || s.m_Kind == ESection::B || s.m_Kind == ESection::Full;
            if (lead && barIn % 2 == 0) {
                int phrase = barIn / 2;
                int phrases = std::max(1, s.m_Bars / 2);
                bool isB = s.m_Kind == ESection::B;
                const CMotif& m = (phrase % 2 == 0) ? (isB ? motifB : motifA) : (isB ? motifB2 : motifA2);
                bool cadence = phrase == phrases - 1 && phrases > 1;
                int shift = (isB ? 2 : 0) + ((s.m_Repeat >= 2 && phrase == 2) ? 2 : 0);
                bool harmony = isB && s.m_Repeat >= 1;
                c.Phrase(bar, s, barIn, m, shift, cadence, harmony, homeNote);
            }
        }
    }

    // Fade over the outro's last two bars and the tail, or the last part of
    // a forced-length piece.
    if (seconds > 0.0)
        m_FadeStart = std::max(0.0, total - std::min(2.0, total * 0.25));
    else
        m_FadeStart = std::max(0.0, (bars - 2) * bar);
}

std::string CSong::Describe() const
{
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(1);
    out << "day " << m_Info.m_Day << ": " << m_Info.m_Style << ", " << int(m_Info.m_Bpm) << " BPM, "
        << kNoteNames[m_Info.m_Root] << ' ' << m_Info.m_Mode << ", " << m_Info.m_Seconds << " s, "
        << m_Info.m_Bars << " bars (" << m_Info.m_Form << "); " << m_Info.m_Timbres;
    return out.str();
}

// ---- [4] render ------------------------------------------------------------------

namespace {

// Drum hits differ only in level, so each is rendered once (a few variants
// of the noisy ones) and mixed in like a sample.
template <class F> std::vector<float> OneShot(F render)
{
    SBus bus;
    bus.Resize(size_t(2.5 * kRate), true);
    CVoiceWriter out(bus, bus, SRoute());
    render(out);
    size_t end = bus.m_L.size();
    while (end > 0 && bus.m_L[end - 1] == 0.0f)
        --end;
    bus.m_L.resize(end);
    return bus.m_L; // centre pan at unity gain: the left side is the mono hit
}

void AddShot(CVoiceWriter& out, size_t start, const std::vector<float>& shot, float velocity)
{
    for (size_t i = 0; i < shot.size(); ++i)
        out.Add(start + i, shot[i] * velocity);
}

} // namespace

void CSong::Render(std::vector<float>& left, std::vector<float>& right, SRenderSpace& space) const
{
    const size_t frames = m_Info.m_Frames;
    SBus& main = space.m_Main;
    SBus& duck = space.m_Duck;
    main.Resize(frames, true);
    const bool ducking = m_Duck > 0.0f;
    if (ducking)
        duck.Resize(frames, false);

    std::vector<std::vector<float>> kick, snare, hat, open, shaker, crash;
    kick.push_back(OneShot([&](CVoiceWriter& o) { RenderKick(o, 0, m_Voices.m_Kick, 1.0f, 1.0f); }));
    for (uint32_t v = 0; v < 4; ++v) {
        uint32_t seed = m_NoiseSeed * 7919u + v * 104729u + 1u;
        if (v < 3)
            snare.push_back(OneShot([&](CVoiceWriter& o) { RenderSnare(o, 0, m_Voices.m_Snare, 1.0f, seed); }));
        hat.push_back(OneShot([&](CVoiceWriter& o) { RenderHat(o, 0, m_Voices.m_Hat, 1.0f, false, seed); }));
        if (v < 2)
            open.push_back(OneShot([&](CVoiceWriter& o) { RenderHat(o, 0, m_Voices.m_Hat, 1.0f, true, seed); }));
        if (v < 3)
            shaker.push_back(OneShot([&](CVoiceWriter& o) { RenderShaker(o, 0, 1.0f, seed); }));
        if (v < 1)
            crash.push_back(OneShot([&](CVoiceWriter& o) { RenderCrash(o, 0, 1.0f, seed); }));
    }

    SKickPatch tom = m_Voices.m_Kick;
    tom.m_StartHz = 180.0f;
    tom.m_EndHz = 90.0f;
    tom.m_Decay = 0.22f;
    tom.m_Click = 0.2f;

    float rv = m_ReverbLevel, dl = m_DelayLevel;
    for (size_t i = 0; i < m_Events.size(); ++i) {
        const SEvent& e = m_Events[i];
        size_t start = size_t(std::llround(e.m_Time * kRate));
        if (start >= frames)
            continue;
        uint32_t seed = m_NoiseSeed ^ uint32_t(i * 2654435761u);
        SRoute route;
        route.m_Pan = e.m_Pan;
        bool toDuck = false;
        switch (e.m_Part) {
        case EPart::Kick: route.m_Gain = 0.32f; route.m_Pan = 0.0f; break;
        case EPart::Snare: route.m_Gain = 0.5f; route.m_Reverb = 0.35f * rv; break;
        case EPart::Hat: route.m_Gain = 0.3f; route.m_Reverb = 0.08f * rv; break;
        case EPart::OpenHat: route.m_Gain = 0.22f; route.m_Reverb = 0.12f * rv; break;
        case EPart::Shaker: route.m_Gain = 0.22f; route.m_Reverb = 0.1f * rv; break;
        case EPart::Crash: route.m_Gain = 0.2f; route.m_Reverb = 0.2f * rv; break;
        case EPart::Tom: route.m_Gain = 0.25f; route.m_Reverb = 0.25f * rv; break;
        case EPart::Bass: route.m_Gain = 0.36f; toDuck = true; break;
        case EPart::Pad: route.m_Gain = 0.16f * m_PadGain; route.m_Reverb = 0.4f * rv; toDuck = true; break;
        case EPart::Lead: route.m_Gain = 0.3f; route.m_Reverb = 0.3f * rv; route.m_Delay = dl; break;
        case EPart::Harmony: route.m_Gain = 0.18f; route.m_Reverb = 0.35f * rv; route.m_Delay = dl; break;
        case EPart::Arp: route.m_Gain = 0.25f; route.m_Reverb = 0.3f * rv; route.m_Delay = dl; toDuck = true; break;
        case EPart::Count: break;
        }
        CVoiceWriter out(toDuck && ducking ? duck : main, main, route);
        switch (e.m_Part) {
        case EPart::Kick: AddShot(out, start, kick[0], e.m_Velocity); break;
        case EPart::Tom: RenderKick(out, start, tom, e.m_Velocity, e.m_Note * 0.5f); break;
        case EPart::Snare: AddShot(out, start, snare[i % snare.size()], e.m_Velocity); break;
        case EPart::Hat: AddShot(out, start, hat[i % hat.size()], e.m_Velocity); break;
        case EPart::OpenHat: AddShot(out, start, open[i % open.size()], e.m_Velocity); break;
        case EPart::Shaker: AddShot(out, start, shaker[i % shaker.size()], e.m_Velocity); break;
        case EPart::Crash: AddShot(out, start, crash[0], e.m_Velocity); break;
        case EPart::Bass: RenderNote(out, start, e.m_Length, e.m_Note, e.m_Velocity, m_Voices.m_Bass, seed); break;
        case EPart::Pad: RenderNote(out, start, e.m_Length, e.m_Note, e.m_Velocity, m_Voices.m_Pad, seed); break;
        case EPart::Lead:
        case EPart::Harmony: RenderNote(out, start, e.m_Length, e.m_Note, e.m_Velocity, m_Voices.m_Lead, seed); break;
        case EPart::Arp: RenderNote(out, start, e.m_Length, e.m_Note, e.m_Velocity, m_Voices.m_Arp, seed); break;
        case EPart::Count: break;
        }
    }

    // Pump the ducked bus under each kick, the way a sidechain would.
    if (ducking) {
        std::vector<float>& gain = space.m_DuckGain;
        gain.assign(frames, 1.0f);
        for (const SEvent& e : m_Events) {
            if (e.m_Part != EPart::Kick)
                continue;
            size_t start = size_t(std::llround(e.m_Time * kRate));
            size_t len = size_t(0.35 * kRate);
            for (size_t i = 0; i < len && start + i < frames; ++i) {
                float t = float(i) / kRate;
                float g = 1.0f - m_Duck * e.m_Velocity * std::exp(-t / 0.1f) * std::fmin(1.0f, t / 0.004f);
                gain[start + i] = std::min(gain[start + i], g);
            }
        }
        for (size_t i = 0; i < frames; ++i) {
            main.m_L[i] += duck.m_L[i] * gain[i];
            main.m_R[i] += duck.m_R[i] * gain[i];
        }
    }

    // The echo also feeds the room, so repeats sit in the same space.
    ApplyDelay(main.m_Delay, main.m_L, main.m_R, main.m_Reverb, m_DelaySeconds, m_DelayFeedback, 0.8f,
               0.2f * m_ReverbLevel);
    ApplyReverb(main.m_Reverb, main.m_L, main.m_R, m_ReverbSize, 0.35f, 1.0f);

    // Low cut against DC and sub rumble, a top cut where the encoder would cut
    // anyway (what it removes after the limiter comes back as overshoot),
    // then the fade.
    CSvf topL, topR;
    topL.Set(15000.0f, 0.0f);
    topR.Set(15000.0f, 0.0f);
    const float hpCoef = std::exp(-2.0f * kPi * 25.0f / kRate);
    float xl = 0, yl = 0, xr = 0, yr = 0;
    const size_t fadeStart = size_t(m_FadeStart * kRate);
    const size_t fadeIn = size_t(0.004 * kRate);
    for (size_t i = 0; i < frames; ++i) {
        float l = main.m_L[i], r = main.m_R[i];
        yl = hpCoef * (yl + l - xl);
        xl = l;
        yr = hpCoef * (yr + r - xr);
        xr = r;
        float g = 1.0f;
        if (i >= fadeStart && frames > fadeStart) {
            float u = float(i - fadeStart) / float(frames - fadeStart);
            g = 0.5f + 0.5f * std::cos(kPi * u);
        }
        if (i < fadeIn)
            g *= float(i) / float(fadeIn);
        main.m_L[i] = topL.Process(yl) * g;
        main.m_R[i] = topR.Process(yr) * g;
    }

    // ---- [5] master ----
    auto rms = [&](const std::vector<float>& l, const std::vector<float>& r) {
        double sum = 0.0;
        for (size_t i = 0; i < l.size(); ++i)
            sum += double(l[i]) * l[i] + double(r[i]) * r[i];
        return l.empty() ? 0.0 : std::sqrt(sum / (2.0 * double(l.size())));
    };
    double level = rms(main.m_L, main.m_R);
    double gain = level > 1e-9 ? kTargetRms / level : 1.0;
    CLimiter& limiter = space.m_Limiter;
    for (int pass = 0; pass < 3; ++pass) {
        left = main.m_L;
        right = main.m_R;
        for (size_t i = 0; i < frames; ++i) {
            left[i] = float(left[i] * gain);
            right[i] = float(right[i] * gain);
        }
        limiter.Process(left, right, kCeiling, 0.08f);
        double got = rms(left, right);
        if (got < 1e-9 || std::fabs(got / kTargetRms - 1.0) < 0.02)
            break;
        gain *= std::min(2.0, kTargetRms / got);
    }
}

} // namespace album
