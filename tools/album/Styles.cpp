#include "Styles.h"

namespace album {

namespace {

const SMode kModes[] = {
    {"major", {0, 2, 4, 5, 7, 9, 11}, true},
    {"dorian", {0, 2, 3, 5, 7, 9, 10}, false},
    {"phrygian", {0, 1, 3, 5, 7, 8, 10}, false},
    {"lydian", {0, 2, 4, 6, 7, 9, 11}, true},
    {"mixolydian", {0, 2, 4, 5, 7, 9, 10}, true},
    {"minor", {0, 2, 3, 5, 7, 8, 10}, false},
    {"harmonic minor", {0, 2, 3, 5, 7, 8, 11}, false},
};

enum { Major, Dorian, Phrygian, Lydian, Mixolydian, Minor, HarmonicMinor };

// clang-format off
const SStyle kStyles[] = {
    {"deep house", 118, 124, {Dorian, Minor, Mixolydian}, 0.04f, 0.12f, EKit::Club, true,
     {"x...x...x...x..."},
     {"....x.......x..."},
     {"o..oo..oo..oo..o", "o..o...oo..o...o"},
     {"..x...x...x...x."},
     {"oooooooooooooooo"},
     {"..x-..x-..x-..x-", "..x-..x-..x-.5o.", "x-.x..o.x-.5..o."},
     EPadPlay::Stabs, {"..x..x....x..x..", "x..x..x...x..x..", "...x..x....x..x."},
     true, 0.45f, 72, 16, false, true, 16, 33,
     {"pluck bass", "fm bass"}, {"e-piano", "organ", "stab"}, {"bell", "pluck lead", "flute"}, {"pluck", "bell arp"},
     0.6f, 0.45f, 0.25f, 0.35f},

    {"synthwave", 96, 112, {Minor, Dorian, Major}, 0.0f, 0.0f, EKit::Club, false,
     {"x.......x.......", "x.......x.x....."},
     {"....x.......x..."},
     {"x.o.x.o.x.o.x.o.", "xoxoxoxoxoxoxoxo"},
     {},
     {},
     {"x-x-x-x-x-x-x-o-", "x-x-o-x-x-x-o-x-", "xxxxxxxxxxxxxxxx"},
     EPadPlay::Sustain, {},
     false, 0.45f, 74, 16, false, false, 16, 33,
     {"pluck bass", "reese bass"}, {"supersaw", "strings"}, {"saw lead", "square lead"}, {"saw arp", "square arp"},
     0.85f, 0.6f, 0.3f, 0.15f},

    {"lo-fi hip-hop", 78, 92, {Dorian, Minor, Mixolydian}, 0.2f, 0.3f, EKit::Acoustic, false,
     {"x.....x...x.....", "x......xx.x.....", "x.....x..x......"},
     {"....x.......x...", "....x.......x..o"},
     {"x.x.x.x.x.x.x.xo", "x.xox.x.x.xox.x."},
     {},
     {},
     {"x-----.x--.x----", "x--------.x--5--", "x---.--3x-----a-"},
     EPadPlay::Sustain, {},
     true, 0.35f, 72, 16, false, true, 0, 33,
     {"sub bass"}, {"e-piano", "warm pad"}, {"flute", "bell"}, {"bell arp"},
     0.55f, 0.45f, 0.2f, 0.0f},

    {"techno", 126, 134, {Phrygian, Minor}, 0.0f, 0.04f, EKit::Club, true,
     {"x...x...x...x..."},
     {"....x.......x...", "............x..."},
     {"o..oo..oo..oo..o", "oxooxoooxoooxooo"},
     {"..x...x...x...x."},
     {},
     {"..xx..xx..xx..xx", "..x-..x-..xx..x-", ".xx..xx..xx..xx."},
     EPadPlay::Sustain, {},
     false, 0.8f, 62, 16, true, false, 0, 31,
     {"pluck bass", "fm bass"}, {"strings", "warm pad"}, {"acid"}, {"bell arp"},
     0.5f, 0.4f, 0.35f, 0.4f},

    {"drum and bass", 164, 174, {Minor, Dorian}, 0.0f, 0.03f, EKit::Acoustic, false,
     {"x.........x.....", "x.........xx....", "x.x.......x....."},
     {"....x..o....x.o.", "....x.......x..o"},
     {"x.x.x.x.x.x.x.x."},
     {},
     {"oooooooooooooooo"},
     {"x-------x-------", "x-----x-x-------", "x-------a-------"},
     EPadPlay::Sustain, {},
     false, 0.35f, 74, 8, false, false, 0, 29,
     {"reese bass"}, {"warm pad", "strings"}, {"bell", "pluck lead", "flute"}, {"bell arp"},
     0.9f, 0.55f, 0.3f, 0.2f},

    {"chiptune", 140, 160, {Major, Lydian, Mixolydian}, 0.0f, 0.0f, EKit::Chip, false,
     {"x.......x.x.....", "x...x...x...x..."},
     {"....x.......x...", "....x.......x.x."},
     {"x.x.x.x.x.x.x.x."},
     {},
     {},
     {"x-o-x-o-x-o-x-o-", "x-x-o-x-5-x-o-x-"},
     EPadPlay::Stabs, {"x...x...x...x...", "x..x..x.x..x..x."},
     false, 0.6f, 76, 16, true, false, 16, 45,
     {"triangle bass"}, {"square pad"}, {"square lead"}, {"square arp"},
     0.3f, 0.2f, 0.15f, 0.0f},

    {"trance", 134, 140, {Minor, HarmonicMinor, Phrygian}, 0.0f, 0.0f, EKit::Club, true,
     {"x...x...x...x..."},
     {"....x.......x..."},
     {"xx.xxx.xxx.xxx.x", "x..ox..ox..ox..o"},
     {"..x...x...x...x."},
     {},
     {".xxx.xxx.xxx.xxx", "..x-..x-..x-..x-"},
     EPadPlay::Gated, {"x.xx.xx.x.xx.x.x", "xx.xx.xx.xx.x.xx"},
     false, 0.5f, 76, 16, false, false, 16, 33,
     {"pluck bass"}, {"supersaw"}, {"saw lead", "supersaw lead"}, {"pluck", "saw arp"},
     0.8f, 0.55f, 0.35f, 0.5f},

    {"disco funk", 112, 122, {Dorian, Mixolydian}, 0.05f, 0.1f, EKit::Acoustic, false,
     {"x...x...x...x..."},
     {"....x.......x..."},
     {"xo.oxo.oxo.oxo.o"},
     {"..x...x...x...x."},
     {},
     {"x-o-x-o-x-o-x-o-", "x.o.x.ox.5o.x.oa", "x.ox.5o.x.ox.5oa"},
     EPadPlay::Stabs, {"..x.x..x..x.x..x", ".x..x.x..x..x.x."},
     true, 0.6f, 72, 16, true, true, 0, 33,
     {"pluck bass", "fm bass"}, {"clav", "organ"}, {"brass", "square lead"}, {"pluck"},
     0.5f, 0.4f, 0.2f, 0.15f},

    {"dub", 70, 80, {Minor, Dorian, Mixolydian}, 0.12f, 0.22f, EKit::Acoustic, false,
     {"........x.......", "x.......x......."},
     {"........x.......", "........x.....o."},
     {"x.x.x.x.x.x.x.x.", "x.xox.x.x.xox.xo"},
     {},
     {},
     {"x---..5-x-..a---", "x-.x5-..o-.x5-a-", "x---x-5-.-x-a---"},
     EPadPlay::Skank, {"..x...x...x...x.", "..x...x...x..xx."},
     false, 0.35f, 70, 16, false, true, 0, 33,
     {"sub bass"}, {"organ", "clav"}, {"melodica", "flute"}, {"bell arp"},
     0.75f, 0.5f, 0.45f, 0.0f},

    {"chillwave", 88, 104, {Lydian, Major, Mixolydian}, 0.0f, 0.08f, EKit::Club, true,
     {"x.......x..x....", "x.......x......."},
     {"....x.......x..."},
     {"..x...x...x...x."},
     {},
     {"oooooooooooooooo"},
     {"x-------x---x---", "x-------x-5-a---"},
     EPadPlay::Sustain, {},
     true, 0.4f, 76, 16, false, true, 8, 33,
     {"sub bass", "pluck bass"}, {"warm pad", "strings"}, {"bell", "flute"}, {"bell arp", "pluck"},
     0.9f, 0.6f, 0.4f, 0.3f},

    {"electro pop", 120, 130, {Minor, Major, Dorian}, 0.0f, 0.02f, EKit::Club, true,
     {"x.....x...x.....", "x..x..x...x....."},
     {"....x.......x..."},
     {"xoxoxoxoxoxoxoxo"},
     {},
     {},
     {"x.xo.xx.x.xo.x5.", "x-.xx-.xx-.xx-.x", "x.o.x.5.x.o.x.5."},
     EPadPlay::Sustain, {},
     false, 0.6f, 74, 16, true, false, 8, 33,
     {"fm bass", "pluck bass"}, {"strings", "supersaw"}, {"square lead", "saw lead"}, {"square arp"},
     0.6f, 0.45f, 0.3f, 0.25f},
};
// clang-format on

SAdsr Adsr(float a, float d, float s, float r)
{
    SAdsr e;
    e.m_Attack = a;
    e.m_Decay = d;
    e.m_Sustain = s;
    e.m_Release = r;
    return e;
}

} // namespace

int StyleCount() { return int(sizeof(kStyles) / sizeof(kStyles[0])); }
const SStyle& StyleAt(int index) { return kStyles[index % StyleCount()]; }
const SMode& ModeAt(int index) { return kModes[index % 7]; }

SPatch MakePatch(const std::string& name, CRandom& rng)
{
    SPatch p;
    auto jitter = [&](float v, float amount) { return v * rng.Range(1.0f - amount, 1.0f + amount); };
    if (name == "sub bass") {
        p.m_Wave = EWave::Triangle;
        p.m_Sub = 0.8f;
        p.m_Cutoff = jitter(300.0f, 0.2f);
        p.m_EnvOctaves = 1.0f;
        p.m_Amp = Adsr(0.005f, 0.4f, 0.8f, 0.12f);
        p.m_FilterEnv = Adsr(0.002f, 0.15f, 0.2f, 0.1f);
        p.m_Gain = 1.1f;
    } else if (name == "pluck bass") {
        p.m_Wave = rng.Chance(0.5) ? EWave::Saw : EWave::Square;
        p.m_Sub = 0.5f;
        p.m_Cutoff = jitter(260.0f, 0.25f);
        p.m_Resonance = jitter(0.35f, 0.3f);
        p.m_EnvOctaves = jitter(2.5f, 0.2f);
        p.m_Amp = Adsr(0.003f, 0.25f, 0.55f, 0.08f);
        p.m_FilterEnv = Adsr(0.002f, jitter(0.14f, 0.3f), 0.1f, 0.1f);
        p.m_Drive = 0.6f;
        p.m_Gain = 0.8f;
    } else if (name == "fm bass") {
        p.m_Kind = EVoice::Fm;
        p.m_FmRatio = rng.Chance(0.5) ? 1.0f : 2.0f;
        p.m_FmIndex = jitter(3.0f, 0.25f);
        p.m_FmIndexDecay = jitter(0.12f, 0.3f);
        p.m_Sub = 0.6f;
        p.m_Amp = Adsr(0.003f, 0.3f, 0.6f, 0.08f);
        p.m_Gain = 0.7f;
    } else if (name == "reese bass") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 3;
        p.m_Detune = jitter(22.0f, 0.3f);
        p.m_Sub = 0.9f;
        p.m_Cutoff = jitter(380.0f, 0.2f);
        p.m_Resonance = 0.3f;
        p.m_EnvOctaves = 1.0f;
        p.m_Amp = Adsr(0.01f, 0.5f, 0.9f, 0.15f);
        p.m_FilterEnv = Adsr(0.3f, 0.8f, 0.4f, 0.2f);
        p.m_Drive = 0.8f;
        p.m_Gain = 0.85f;
    } else if (name == "triangle bass") {
        p.m_Wave = EWave::Triangle;
        p.m_Cutoff = 6000.0f;
        p.m_EnvOctaves = 0.0f;
        p.m_Amp = Adsr(0.002f, 0.1f, 0.9f, 0.03f);
        p.m_Gain = 1.0f;
    } else if (name == "supersaw") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 5;
        p.m_Detune = jitter(28.0f, 0.25f);
        p.m_Cutoff = jitter(1500.0f, 0.25f);
        p.m_KeyTrack = 0.3f;
        p.m_EnvOctaves = 0.6f;
        p.m_Amp = Adsr(jitter(0.08f, 0.5f), 0.4f, 0.85f, 0.35f);
        p.m_FilterEnv = Adsr(0.2f, 0.8f, 0.5f, 0.4f);
        p.m_Gain = 0.55f;
    } else if (name == "strings") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 3;
        p.m_Detune = jitter(14.0f, 0.3f);
        p.m_Cutoff = jitter(1100.0f, 0.3f);
        p.m_KeyTrack = 0.3f;
        p.m_EnvOctaves = 0.5f;
        p.m_Amp = Adsr(jitter(0.5f, 0.3f), 0.5f, 0.9f, jitter(0.7f, 0.3f));
        p.m_FilterEnv = Adsr(0.6f, 1.0f, 0.6f, 0.6f);
        p.m_VibratoCents = 6.0f;
        p.m_VibratoHz = 4.5f;
        p.m_Gain = 0.6f;
    } else if (name == "warm pad") {
        p.m_Wave = EWave::Triangle;
        p.m_Unison = 3;
        p.m_Detune = jitter(10.0f, 0.3f);
        p.m_Cutoff = jitter(1400.0f, 0.3f);
        p.m_EnvOctaves = 0.5f;
        p.m_Amp = Adsr(jitter(0.9f, 0.3f), 0.8f, 0.85f, jitter(1.0f, 0.3f));
        p.m_FilterEnv = Adsr(0.8f, 1.0f, 0.5f, 0.8f);
        p.m_Gain = 0.9f;
    } else if (name == "e-piano") {
        p.m_Kind = EVoice::Fm;
        p.m_FmRatio = 1.0f;
        p.m_FmIndex = jitter(2.0f, 0.25f);
        p.m_FmIndexDecay = jitter(0.5f, 0.3f);
        p.m_Amp = Adsr(0.002f, jitter(1.2f, 0.3f), 0.35f, 0.3f);
        p.m_Gain = 0.75f;
    } else if (name == "organ") {
        p.m_Kind = EVoice::Organ;
        p.m_Sub = rng.Range(0.3f, 0.7f);
        p.m_Width = rng.Range(0.2f, 0.6f);
        p.m_VibratoHz = rng.Range(5.0f, 6.5f);
        p.m_Amp = Adsr(0.004f, 0.3f, 0.8f, 0.06f);
        p.m_Gain = 0.75f;
    } else if (name == "stab") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 3;
        p.m_Detune = 12.0f;
        p.m_Cutoff = jitter(700.0f, 0.2f);
        p.m_Resonance = 0.3f;
        p.m_EnvOctaves = 2.5f;
        p.m_Amp = Adsr(0.003f, 0.25f, 0.3f, 0.12f);
        p.m_FilterEnv = Adsr(0.002f, 0.12f, 0.1f, 0.1f);
        p.m_Gain = 1.0f;
    } else if (name == "clav") {
        p.m_Wave = EWave::Square;
        p.m_Width = 0.2f;
        p.m_Cutoff = jitter(900.0f, 0.2f);
        p.m_Resonance = 0.4f;
        p.m_EnvOctaves = 2.5f;
        p.m_Amp = Adsr(0.002f, 0.18f, 0.2f, 0.06f);
        p.m_FilterEnv = Adsr(0.001f, 0.08f, 0.1f, 0.05f);
        p.m_Gain = 0.6f;
    } else if (name == "square pad") {
        p.m_Wave = EWave::Square;
        p.m_Width = 0.5f;
        p.m_Cutoff = 5000.0f;
        p.m_EnvOctaves = 0.0f;
        p.m_Amp = Adsr(0.003f, 0.15f, 0.5f, 0.05f);
        p.m_Gain = 0.45f;
    } else if (name == "saw lead") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 2;
        p.m_Detune = jitter(9.0f, 0.3f);
        p.m_Cutoff = jitter(1700.0f, 0.25f);
        p.m_Resonance = 0.25f;
        p.m_EnvOctaves = 1.2f;
        p.m_Amp = Adsr(0.01f, 0.3f, 0.8f, 0.18f);
        p.m_FilterEnv = Adsr(0.01f, 0.3f, 0.4f, 0.2f);
        p.m_VibratoCents = 18.0f;
        p.m_VibratoHz = 5.5f;
        p.m_Gain = 0.55f;
    } else if (name == "supersaw lead") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 4;
        p.m_Detune = jitter(16.0f, 0.3f);
        p.m_Cutoff = jitter(2200.0f, 0.2f);
        p.m_EnvOctaves = 0.8f;
        p.m_Amp = Adsr(0.01f, 0.3f, 0.85f, 0.25f);
        p.m_FilterEnv = Adsr(0.02f, 0.4f, 0.5f, 0.3f);
        p.m_VibratoCents = 12.0f;
        p.m_Gain = 0.55f;
    } else if (name == "square lead") {
        p.m_Wave = EWave::Square;
        p.m_Width = rng.Chance(0.5) ? 0.25f : 0.125f;
        p.m_Cutoff = jitter(3000.0f, 0.2f);
        p.m_EnvOctaves = 0.8f;
        p.m_Amp = Adsr(0.005f, 0.2f, 0.75f, 0.1f);
        p.m_FilterEnv = Adsr(0.005f, 0.2f, 0.5f, 0.1f);
        p.m_VibratoCents = 22.0f;
        p.m_VibratoHz = 6.0f;
        p.m_VibratoDelay = 0.15f;
        p.m_Gain = 0.7f;
    } else if (name == "bell") {
        p.m_Kind = EVoice::Fm;
        p.m_FmRatio = rng.Chance(0.5) ? 3.5f : 2.0f;
        p.m_FmIndex = jitter(3.5f, 0.25f);
        p.m_FmIndexDecay = jitter(0.35f, 0.3f);
        p.m_Amp = Adsr(0.002f, jitter(0.8f, 0.3f), 0.25f, 0.6f);
        p.m_Gain = 0.6f;
    } else if (name == "pluck lead") {
        p.m_Kind = EVoice::Pluck;
        p.m_Damping = jitter(0.3f, 0.3f);
        p.m_Amp = Adsr(0.001f, 0.1f, 1.0f, 0.15f);
        p.m_Gain = 0.8f;
    } else if (name == "flute") {
        p.m_Wave = EWave::Triangle;
        p.m_Sub = 0.0f;
        p.m_Cutoff = jitter(2500.0f, 0.2f);
        p.m_EnvOctaves = 0.3f;
        p.m_Amp = Adsr(0.05f, 0.3f, 0.85f, 0.2f);
        p.m_FilterEnv = Adsr(0.05f, 0.3f, 0.7f, 0.2f);
        p.m_VibratoCents = 20.0f;
        p.m_VibratoHz = 5.0f;
        p.m_Gain = 0.85f;
    } else if (name == "melodica") {
        p.m_Wave = EWave::Square;
        p.m_Width = 0.35f;
        p.m_Cutoff = jitter(1600.0f, 0.2f);
        p.m_EnvOctaves = 0.5f;
        p.m_Amp = Adsr(0.03f, 0.3f, 0.85f, 0.12f);
        p.m_FilterEnv = Adsr(0.03f, 0.3f, 0.6f, 0.1f);
        p.m_VibratoCents = 14.0f;
        p.m_VibratoHz = 5.0f;
        p.m_Gain = 0.5f;
    } else if (name == "brass") {
        p.m_Wave = EWave::Saw;
        p.m_Unison = 2;
        p.m_Detune = 7.0f;
        p.m_Cutoff = jitter(700.0f, 0.2f);
        p.m_EnvOctaves = 2.0f;
        p.m_Amp = Adsr(0.02f, 0.3f, 0.8f, 0.12f);
        p.m_FilterEnv = Adsr(0.06f, 0.3f, 0.5f, 0.15f);
        p.m_VibratoCents = 10.0f;
        p.m_Gain = 0.55f;
    } else if (name == "acid") {
        p.m_Wave = EWave::Saw;
        p.m_Cutoff = jitter(350.0f, 0.25f);
        p.m_Resonance = jitter(0.82f, 0.08f);
        p.m_EnvOctaves = jitter(3.2f, 0.2f);
        p.m_KeyTrack = 0.3f;
        p.m_Amp = Adsr(0.003f, 0.2f, 0.7f, 0.05f);
        p.m_FilterEnv = Adsr(0.002f, jitter(0.16f, 0.3f), 0.05f, 0.05f);
        p.m_Drive = 1.5f;
        p.m_Gain = 0.8f;
    } else if (name == "pluck") {
        p.m_Kind = EVoice::Pluck;
        p.m_Damping = jitter(0.45f, 0.1f);
        p.m_Amp = Adsr(0.001f, 0.1f, 1.0f, 0.08f);
        p.m_Gain = 0.8f;
    } else if (name == "bell arp") {
        p.m_Kind = EVoice::Fm;
        p.m_FmRatio = 4.0f;
        p.m_FmIndex = jitter(2.2f, 0.25f);
        p.m_FmIndexDecay = 0.12f;
        p.m_Amp = Adsr(0.002f, 0.35f, 0.1f, 0.3f);
        p.m_Gain = 0.6f;
    } else if (name == "saw arp") {
        p.m_Wave = EWave::Saw;
        p.m_Cutoff = jitter(600.0f, 0.25f);
        p.m_Resonance = 0.35f;
        p.m_EnvOctaves = 2.5f;
        p.m_Amp = Adsr(0.002f, 0.15f, 0.2f, 0.08f);
        p.m_FilterEnv = Adsr(0.001f, 0.1f, 0.1f, 0.08f);
        p.m_Gain = 0.55f;
    } else { // "square arp"
        p.m_Wave = EWave::Square;
        p.m_Width = 0.5f;
        p.m_Cutoff = 4000.0f;
        p.m_EnvOctaves = 0.5f;
        p.m_Amp = Adsr(0.002f, 0.1f, 0.3f, 0.04f);
        p.m_Gain = 0.35f;
    }
    return p;
}

void MakeKit(EKit kit, bool clap, CRandom& rng, SVoices& v)
{
    switch (kit) {
    case EKit::Club:
        v.m_Kick.m_StartHz = rng.Range(130.0f, 170.0f);
        v.m_Kick.m_EndHz = rng.Range(44.0f, 54.0f);
        v.m_Kick.m_PitchDecay = rng.Range(0.03f, 0.05f);
        v.m_Kick.m_Decay = rng.Range(0.25f, 0.4f);
        v.m_Kick.m_Click = rng.Range(0.15f, 0.35f);
        v.m_Kick.m_Drive = rng.Range(1.2f, 2.2f);
        v.m_Hat.m_CutoffHz = rng.Range(7000.0f, 9500.0f);
        v.m_Hat.m_Metallic = rng.Chance(0.5);
        break;
    case EKit::Acoustic:
        v.m_Kick.m_StartHz = rng.Range(110.0f, 140.0f);
        v.m_Kick.m_EndHz = rng.Range(50.0f, 60.0f);
        v.m_Kick.m_PitchDecay = rng.Range(0.02f, 0.03f);
        v.m_Kick.m_Decay = rng.Range(0.16f, 0.24f);
        v.m_Kick.m_Click = rng.Range(0.4f, 0.6f);
        v.m_Kick.m_Drive = rng.Range(1.0f, 1.6f);
        v.m_Snare.m_ToneHz = rng.Range(170.0f, 220.0f);
        v.m_Snare.m_NoiseHz = rng.Range(2500.0f, 4500.0f);
        v.m_Snare.m_NoiseDecay = rng.Range(0.12f, 0.2f);
        v.m_Hat.m_CutoffHz = rng.Range(6500.0f, 8500.0f);
        v.m_Hat.m_Metallic = true;
        break;
    case EKit::Chip:
        v.m_Kick.m_StartHz = 220.0f;
        v.m_Kick.m_EndHz = 60.0f;
        v.m_Kick.m_PitchDecay = 0.02f;
        v.m_Kick.m_Decay = 0.1f;
        v.m_Kick.m_Click = 0.0f;
        v.m_Kick.m_Drive = 3.0f;
        v.m_Snare.m_Tone = 0.2f;
        v.m_Snare.m_NoiseHz = 5000.0f;
        v.m_Snare.m_NoiseDecay = 0.09f;
        v.m_Hat.m_CutoffHz = 9000.0f;
        v.m_Hat.m_ClosedDecay = 0.02f;
        break;
    }
    v.m_Snare.m_Clap = clap;
    if (clap) {
        v.m_Snare.m_Tone = 0.0f;
        v.m_Snare.m_NoiseHz = rng.Range(1100.0f, 1600.0f);
        v.m_Snare.m_NoiseDecay = rng.Range(0.1f, 0.18f);
    }
    v.m_Hat.m_OpenDecay = rng.Range(0.18f, 0.32f);
}

} // namespace album
