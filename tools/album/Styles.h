#pragma once
// The album's styles and timbres (internal to the composer).
// Patterns are one bar of sixteenth steps: 'x' hit, 'o' soft hit, '.' rest.
// Bass patterns also say which note: 'x' root, 'o' octave, '5' fifth,
// '3' third, 'a' approach to the next chord, '-' hold the previous note.
#include "Song.h"

namespace album {

enum class EPadPlay { Sustain, Stabs, Gated, Skank };
enum class EKit { Club, Acoustic, Chip };

struct SStyle
{
    const char* m_Name;
    float m_BpmLo, m_BpmHi;
    std::vector<int> m_Modes;
    float m_SwingLo, m_SwingHi;
    EKit m_Kit;
    bool m_Clap;
    std::vector<const char*> m_Kick, m_Snare, m_Hat, m_OpenHat, m_Shaker, m_Bass;
    EPadPlay m_PadPlay;
    std::vector<const char*> m_PadRhythm;
    bool m_Sevenths;
    float m_LeadDensity;
    int m_LeadCentre;   // midi note the melody moves around
    int m_LeadGrid;     // melody steps per bar: 16 or 8 (half-time feel)
    bool m_Staccato;
    bool m_Pentatonic;
    int m_ArpSteps;     // arp notes per bar (0: no arp)
    int m_BassOctave;   // midi note of the lowest bass root
    std::vector<const char*> m_BassPatches, m_PadPatches, m_LeadPatches, m_ArpPatches;
    float m_ReverbSize, m_ReverbLevel, m_DelayLevel, m_Duck;
};

const SStyle& StyleAt(int index);

struct SMode
{
    const char* m_Name;
    int m_Steps[7];
    bool m_Bright;
};
const SMode& ModeAt(int index);

// Builds a named patch with seeded variations of its parameters.
SPatch MakePatch(const std::string& name, CRandom& rng);
void MakeKit(EKit kit, bool clap, CRandom& rng, SVoices& voices);

} // namespace album
