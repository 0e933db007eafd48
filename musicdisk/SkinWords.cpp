#include "musicdisk/SkinWords.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/Album.h"
#include "content/ResourceIds.h"
#include "content/ResourceManager.h"
#include "musicdisk/SkinWordsLayout.h"
#include "musicdisk/TextFold.h"

namespace {

using namespace SkinWords;

// Each line as the skin sets it: its letters, where it starts (its left end,
// or its middle when centred), its baseline and the room its plate gives.
struct SLineSetting
{
    const SLine* m_Line;
    int m_FirstCell;
    float m_X, m_Baseline;
    bool m_Centred;
    float m_MaxWidth;
};
const SLineSetting s_Settings[2] = {
    {&TopLine, 0, 142.0f, 35.0f, false, float(TopPlate.m_X + TopPlate.m_W - 142 - 4)},
    {&BottomLine, LetterCount * Phases, 400.0f, 530.0f, true, float(BottomPlate.m_W - 8)},
};

int LetterIndex(char c)
{
    const char* at = std::strchr(Letters, c);
    return c != '\0' && at ? int(at - Letters) : 0;  // anything else is a space
}

float Width(const SLine& line, const std::string& text, float spacing)
{
    float w = 0.0f;
    for (char c : text)
        w += line.m_Advances[LetterIndex(c)];
    return text.empty() ? 0.0f : w + spacing * float(text.size() - 1);
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

STexturedRect SheetRect(const SPlate& p)
{
    return {float(p.m_X), float(p.m_Y), float(p.m_W), float(p.m_H), float(p.m_SheetX) / SheetWidth,
            float(p.m_SheetY) / SheetHeight, float(p.m_W) / SheetWidth, float(p.m_H) / SheetHeight};
}

}  // namespace

SSkinLineLayout LayOutSkinLine(ESkinLine which, const std::string& name, int trackCount)
{
    const SLineSetting& s = s_Settings[int(which)];
    const SLine& line = *s.m_Line;
    char count[32];
    std::snprintf(count, sizeof(count), trackCount == 1 ? "%d TRACK" : "%d TRACKS", trackCount);
    std::string shown = Trimmed(name);
    auto compose = [&](const std::string& n) { return n.empty() ? std::string(count) : n + "  \xB7  " + count; };

    SSkinLineLayout layout;
    layout.m_Text = compose(shown);
    layout.m_Spacing = line.m_Spacing;
    if (Width(line, layout.m_Text, line.m_Spacing) > s.m_MaxWidth)
    {
        // Closer letters first; at half spacing, a shorter name.
        const float least = line.m_Spacing * 0.5f;
        const float sum = Width(line, layout.m_Text, 0.0f);
        const float gaps = float(layout.m_Text.size() - 1);
        if (sum + least * gaps <= s.m_MaxWidth)
            layout.m_Spacing = (s.m_MaxWidth - sum) / gaps;
        else
        {
            layout.m_Spacing = least;
            while (!shown.empty() && Width(line, layout.m_Text, least) > s.m_MaxWidth)
            {
                shown.pop_back();
                shown = Trimmed(shown);
                layout.m_Text = compose(shown.empty() ? shown : shown + "...");
            }
        }
    }
    layout.m_Width = Width(line, layout.m_Text, layout.m_Spacing);
    layout.m_Left = s.m_Centred ? s.m_X - layout.m_Width * 0.5f : s.m_X;

    float pen = layout.m_Left;
    for (char c : layout.m_Text)
    {
        const int letter = LetterIndex(c);
        // The cell drawn nearest the pen's quarter pixel.
        int x = int(std::floor(pen));
        int phase = int(std::lround((pen - float(x)) * Phases));
        if (phase == Phases)
        {
            ++x;
            phase = 0;
        }
        if (letter != 0)
        {
            const int cell = s.m_FirstCell + letter * Phases + phase;
            const float u = float(cell % CellsPerRow * CellWidth), v = float(GlyphTop + cell / CellsPerRow * CellHeight);
            layout.m_Glyphs.push_back({float(x - CellPad), s.m_Baseline - CellBaseline, float(CellWidth),
                                       float(CellHeight), u / SheetWidth, v / SheetHeight,
                                       float(CellWidth) / SheetWidth, float(CellHeight) / SheetHeight});
        }
        pen += line.m_Advances[letter] + layout.m_Spacing;
    }
    return layout;
}

void DrawSkinWords()
{
    if (g_Album.WearsTheSkinsWords())
        return;
    // Laid out once an album: folding a name is not a per-frame cost.
    static int s_Serial = -1;
    static std::vector<STexturedRect> s_Rects;
    if (s_Serial != g_AlbumSerial || s_Rects.empty())
    {
        s_Serial = g_AlbumSerial;
        s_Rects = {SheetRect(TopPlate), SheetRect(BottomPlate), SheetRect(KnobPlate)};
        const std::string name = FoldToFont(g_Album.Name());
        for (ESkinLine line : {ESkinLine::Top, ESkinLine::Bottom})
        {
            const SSkinLineLayout layout = LayOutSkinLine(line, name, g_Album.Count());
            s_Rects.insert(s_Rects.end(), layout.m_Glyphs.begin(), layout.m_Glyphs.end());
        }
    }
    CTexture*& words = GetTexture(WordsId);
    if (!words)
    {
        CFixedString path(s_DataPath);
        path.Append("words.png");
        words = LoadTexture(WordsId, path);
    }
    // Plates first, then the letters on them, in one draw.
    DrawTexturedRectsUV(words, s_Rects.data(), int(s_Rects.size()), 0xFFFFFFFF);
}
