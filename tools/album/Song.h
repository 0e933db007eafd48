#pragma once
// One day's piece: composed from (seed, day) into note events, then rendered
// and mastered to a stereo float buffer. Pure computation, no files: each
// worker thread owns its own CSong.
#include "Synth.h"

#include <string>
#include <vector>

namespace album {

enum class EPart { Kick, Snare, Hat, OpenHat, Shaker, Crash, Tom, Bass, Pad, Lead, Harmony, Arp, Count };

struct SEvent
{
    EPart m_Part = EPart::Kick;
    double m_Time = 0.0;    // seconds from the start
    float m_Length = 0.0f;  // held seconds (pitched parts)
    float m_Note = 0.0f;    // midi note (pitched parts; tom pitch scale)
    float m_Velocity = 1.0f;
    float m_Pan = 0.0f;
};

// The style a day is written in: tempo range, modes, drum and bass
// patterns, how chords are played and which timbres fit.
struct SStyle;

struct SSongInfo
{
    int m_Day = 1;
    std::string m_Style;
    float m_Bpm = 120.0f;
    int m_Root = 0;         // pitch class, 0 = C
    std::string m_Mode;
    double m_Seconds = 0.0;
    size_t m_Frames = 0;    // exact length in samples per channel
    int m_Bars = 0;
    std::string m_Form;     // e.g. "intro 4, A 8, B 8, outro 4"
    std::string m_Timbres;  // bass / pad / lead / arp patch names
};

struct SVoices
{
    SKickPatch m_Kick;
    SSnarePatch m_Snare;
    SHatPatch m_Hat;
    SPatch m_Bass, m_Pad, m_Lead, m_Arp;
    std::string m_BassName, m_PadName, m_LeadName, m_ArpName;
};

// Buffers a worker keeps from one song to the next, so each piece does not
// fault in hundreds of megabytes of fresh pages.
struct SRenderSpace
{
    SBus m_Main, m_Duck;
    std::vector<float> m_DuckGain;
    CLimiter m_Limiter;
};

class CSong
{
public:
    // seconds <= 0 picks the day's own length (60 to 120 s).
    CSong(uint64_t seed, int day, double seconds);

    const SSongInfo& Info() const { return m_Info; }
    std::string Describe() const;
    const std::vector<SEvent>& Events() const { return m_Events; }

    // Renders and masters: peaks under the ceiling, loudness near the target.
    void Render(std::vector<float>& left, std::vector<float>& right, SRenderSpace& space) const;

private:
    void Compose(uint64_t seed, double seconds);

    SSongInfo m_Info;
    SVoices m_Voices;
    std::vector<SEvent> m_Events;
    float m_Swing = 0.0f;
    float m_Duck = 0.0f;
    float m_PadGain = 1.0f;    // short chord hits need more level than held pads
    float m_ReverbSize = 0.5f, m_ReverbLevel = 0.5f;
    float m_DelaySeconds = 0.3f, m_DelayFeedback = 0.35f, m_DelayLevel = 0.3f;
    double m_FadeStart = 0.0;  // seconds where the final fade begins
    uint32_t m_NoiseSeed = 1;
};

// Number of distinct styles; days cycle through them in a seeded order.
int StyleCount();

} // namespace album
