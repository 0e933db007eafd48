#pragma once
// An album of its own wears its own words where the skin prints the day
// album's: its name and track count on the top band's small line and on the
// plate under the knob's ORBA, TRACK where the knob says DAY. Each is drawn
// from words.png: the bare plate over the printed words, then the letters,
// engraved as the skin engraves them. The day album keeps the skin as it is.
#include <string>
#include <vector>

#include "render/Draw2D.h"

enum class ESkinLine { Top, Bottom };

// A line laid out: its letters as rectangles of words.png, and its extent
// on the screen as cairo measures it (letter spacing between letters only).
struct SSkinLineLayout
{
    std::vector<STexturedRect> m_Glyphs;
    float m_Left = 0.0f;
    float m_Width = 0.0f;
    float m_Spacing = 0.0f;
    std::string m_Text;  // as drawn; '\xB7' is the middle dot
};

// "NAME  · 8 TRACKS" (or "1 TRACK") for a name already in the ticker's
// letters. Too wide for its plate, the letters close up to half their
// spacing, then the name is cut short with "...".
SSkinLineLayout LayOutSkinLine(ESkinLine line, const std::string& name, int trackCount);

// Draws the words over the skin when the album is not the one the skin
// was printed for. Main thread only.
void DrawSkinWords();
