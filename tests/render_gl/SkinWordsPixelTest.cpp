// The skin's words on the real device. The day album's frame is the skin
// untouched. An album of its own changes only the three plates: TRACK on the
// knob (wider than DAY, centred), and on both lines its name and track count
// engraved where cairo's advances put them: the letters' ink spans the
// measured width from the line's start (left at 142 on top, centred on 400
// below), and each pixel is the plate with the sheet's letters laid over it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>

#include "audio/Album.h"
#include "content/ResourceManager.h"
#include "musicdisk/SkinWords.h"
#include "musicdisk/SkinWordsLayout.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/PngFiles.h"
#include "support/RealDevice.h"

namespace {

using SkinWords::SPlate;

int Channel(uint32_t p, int shift)
{
    return int(p >> shift & 0xFF);
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int s : {0, 8, 16})
        if (std::abs(Channel(a, s) - Channel(b, s)) > tolerance)
            return false;
    return true;
}

bool Inside(const SPlate& p, int x, int y)
{
    return x >= p.m_X && x < p.m_X + p.m_W && y >= p.m_Y && y < p.m_Y + p.m_H;
}

// The plate of words.png with the sheet's letters laid over it (straight
// alpha, "over"), as an 800 x 600 frame is indexed.
uint32_t Composite(const CDecoded& sheet, const SPlate& plate, const SSkinLineLayout& line, int x, int y)
{
    const uint32_t base = sheet.At(uint32_t(plate.m_SheetX + x - plate.m_X), uint32_t(plate.m_SheetY + y - plate.m_Y));
    float rgb[3] = {float(Channel(base, 16)), float(Channel(base, 8)), float(Channel(base, 0))};
    for (const STexturedRect& g : line.m_Glyphs)
    {
        const int gx = x - int(g.x), gy = y - int(g.y);
        if (gx < 0 || gy < 0 || gx >= int(g.w) || gy >= int(g.h))
            continue;
        const uint32_t t = sheet.At(uint32_t(g.u * SkinWords::SheetWidth) + uint32_t(gx),
                                    uint32_t(g.v * SkinWords::SheetHeight) + uint32_t(gy));
        const float a = float(t >> 24) / 255.0f;
        for (int c = 0; c < 3; ++c)
            rgb[c] = rgb[c] * (1.0f - a) + float(Channel(t, 16 - 8 * c)) * a;
    }
    return uint32_t(rgb[0] + 0.5f) << 16 | uint32_t(rgb[1] + 0.5f) << 8 | uint32_t(rgb[2] + 0.5f);
}

// The columns where the frame's plate differs from the bare plate: the ink's
// left and right ends (exclusive).
std::pair<int, int> InkExtent(const std::vector<uint32_t>& frame, const CDecoded& sheet, const SPlate& p)
{
    int left = 800, right = -1;
    for (int y = p.m_Y; y < p.m_Y + p.m_H; ++y)
        for (int x = p.m_X; x < p.m_X + p.m_W; ++x)
        {
            const uint32_t bare = sheet.At(uint32_t(p.m_SheetX + x - p.m_X), uint32_t(p.m_SheetY + y - p.m_Y));
            if (!Near(PixelAt(frame, x, y), bare, 6))
            {
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
        }
    return {left, right};
}

// The bright letters on the knob's dark glass, rows 400 to 412.
std::pair<int, int> KnobLetters(const std::vector<uint32_t>& frame)
{
    int left = 800, right = -1;
    for (int y = 400; y <= 412; ++y)
        for (int x = 340; x < 460; ++x)
            if (Channel(PixelAt(frame, x, y), 8) > 80)
            {
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
    return {left, right};
}

TEST(SkinWordsPixelTest, DayAlbumKeepsTheSkinAndAnOwnAlbumWearsItsNameCountAndTrack)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    float progress = 0.0f;
    while (!LoadNextResource(progress))
    {
    }
    const CTexture* interface = GetTexture(223);
    ASSERT_TRUE(interface && interface->IsValid());
    CDecoded sheet(ReadBytes(DataPath("words.png")));
    ASSERT_TRUE(sheet.m_Ok);

    auto frame = [&](bool words) {
        g_Device->BeginScene();
        g_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        DrawTexturedRect(0, 0, 1024, 1024, interface, ~0u, ~0u, ~0u, ~0u);
        if (words)
            DrawSkinWords();
        g_Device->EndScene();
        return ReadBackBuffer();
    };
    const std::vector<uint32_t> skin = frame(false);
    ASSERT_EQ(skin.size(), 800u * 600u);
    EXPECT_TRUE(frame(true) == skin) << "the day album's frame changed";
    const auto day = KnobLetters(skin);
    EXPECT_NEAR(day.second - day.first, 33, 3) << "DAY";

    CAlbum own;
    own.m_DayNames = false;
    own.m_Folder = "/music/harbour";
    for (int i = 0; i < 8; ++i)
        own.m_Tracks.push_back({"/music/harbour/" + std::to_string(i) + ".mp3", "T", "T", "A", "Harbour Lights"});
    ReplaceAlbum(std::move(own));
    const std::vector<uint32_t> words = frame(true);

    int outside = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (!Inside(SkinWords::TopPlate, x, y) && !Inside(SkinWords::BottomPlate, x, y) &&
                !Inside(SkinWords::KnobPlate, x, y))
                outside += PixelAt(words, x, y) != PixelAt(skin, x, y);
    EXPECT_EQ(outside, 0) << "pixels changed outside the plates";

    // TRACK: five letters where DAY had three, on the same middle.
    const auto track = KnobLetters(words);
    EXPECT_NEAR(track.second - track.first, 55, 3) << "TRACK";
    EXPECT_NEAR((track.first + track.second) * 0.5, 400.0, 1.5);

    const SSkinLineLayout top = LayOutSkinLine(ESkinLine::Top, "HARBOUR LIGHTS", 8);
    const SSkinLineLayout bottom = LayOutSkinLine(ESkinLine::Bottom, "HARBOUR LIGHTS", 8);
    EXPECT_EQ(top.m_Text, "HARBOUR LIGHTS  \xB7  8 TRACKS");
    EXPECT_EQ(bottom.m_Text, top.m_Text);
    using namespace SkinWords;
    for (const auto& [layout, plate, start, baseline, name] :
         {std::tuple{&top, &TopPlate, 142.0f, 35.0f, "top"},
          std::tuple{&bottom, &BottomPlate, 400.0f - bottom.m_Width * 0.5f, 530.0f, "bottom"}})
    {
        SCOPED_TRACE(name);
        // The measured width: each letter's advance and the spacing between.
        const SLine& line = layout == &top ? TopLine : BottomLine;
        const int firstLetterCell = layout == &top ? 0 : LetterCount;
        float width = line.m_Spacing * float(layout->m_Text.size() - 1);
        for (char c : layout->m_Text)
            width += line.m_Advances[std::string_view(Letters).find(c)];
        EXPECT_FLOAT_EQ(layout->m_Width, width);
        // Each letter from its own line's cells, the cell of that letter,
        // drawn at the quarter pixel nearest its pen; spaces draw nothing.
        float pen = start;
        size_t k = 0;
        for (char c : layout->m_Text)
        {
            const size_t letter = std::string_view(Letters).find(c);
            if (letter != 0 && k < layout->m_Glyphs.size())
            {
                const STexturedRect& g = layout->m_Glyphs[k++];
                const long col = std::lround(g.u * SheetWidth), row = std::lround(g.v * SheetHeight) - GlyphTop;
                EXPECT_EQ(col % CellWidth, 0);
                EXPECT_EQ(row % CellHeight, 0);
                const long cell = row / CellHeight * CellsPerRow + col / CellWidth;
                EXPECT_EQ(cell / Phases, firstLetterCell + long(letter)) << c;
                EXPECT_NEAR(g.x + CellPad + float(cell % Phases) / Phases, pen, 0.126f) << c;
                EXPECT_EQ(g.y, baseline - CellBaseline);
            }
            pen += line.m_Advances[letter] + line.m_Spacing;
        }
        EXPECT_EQ(k, layout->m_Glyphs.size());
        const auto ink = InkExtent(words, sheet, *plate);
        EXPECT_NEAR(ink.first, start, 1.5);
        EXPECT_NEAR(ink.second, start + width, 1.5);
        int wrong = 0;
        for (int y = plate->m_Y; y < plate->m_Y + plate->m_H; ++y)
            for (int x = plate->m_X; x < plate->m_X + plate->m_W; ++x)
                wrong += !Near(PixelAt(words, x, y), Composite(sheet, *plate, *layout, x, y), 2);
        EXPECT_EQ(wrong, 0);
    }
    CloseRealDevice();
    ResetProgramState();
}

// A name too long for its plate: the letters close up first, then the name
// is cut with "..." and the count stays whole; one track is "1 TRACK".
TEST(SkinWordsPixelTest, LongNamesCloseUpThenAreCut)
{
    const SSkinLineLayout one = LayOutSkinLine(ESkinLine::Bottom, "  SOLO  ", 1);
    EXPECT_EQ(one.m_Text, "SOLO  \xB7  1 TRACK");
    EXPECT_FLOAT_EQ(one.m_Spacing, SkinWords::BottomLine.m_Spacing);

    const std::string closer = "THE LONGER NAME OF AN ALBUM";
    const SSkinLineLayout closed = LayOutSkinLine(ESkinLine::Bottom, closer, 12);
    EXPECT_EQ(closed.m_Text, closer + "  \xB7  12 TRACKS");
    EXPECT_LT(closed.m_Spacing, SkinWords::BottomLine.m_Spacing);
    EXPECT_GT(closed.m_Spacing, SkinWords::BottomLine.m_Spacing * 0.5f);
    // Only as close as it must: the line still fills its plate.
    EXPECT_LE(closed.m_Width, float(SkinWords::BottomPlate.m_W));
    EXPECT_GT(closed.m_Width, float(SkinWords::BottomPlate.m_W - 16));

    const SSkinLineLayout cut = LayOutSkinLine(ESkinLine::Bottom, std::string(80, 'W'), 99);
    EXPECT_EQ(cut.m_Text.substr(cut.m_Text.size() - 17), "...  \xB7  99 TRACKS");
    EXPECT_GT(cut.m_Text.size(), 20u);
    EXPECT_LE(cut.m_Width, float(SkinWords::BottomPlate.m_W));
    EXPECT_GE(cut.m_Left, float(SkinWords::BottomPlate.m_X));
}

}  // namespace
