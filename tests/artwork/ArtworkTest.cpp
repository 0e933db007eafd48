// The committed images of Data/: forms, and the layout the screens rely on.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/PngFiles.h"

namespace {

struct SHeader
{
    uint32_t m_Width = 0, m_Height = 0;
    int m_Depth = -1, m_Colour = -1;
};

// The IHDR fields read straight from the file's bytes.
SHeader ReadHeader(const std::vector<unsigned char>& png)
{
    SHeader h;
    if (png.size() < 33 || std::string(png.begin() + 12, png.begin() + 16) != "IHDR")
        return h;
    auto be = [&](size_t o) {
        return uint32_t(png[o]) << 24 | uint32_t(png[o + 1]) << 16 | uint32_t(png[o + 2]) << 8 | png[o + 3];
    };
    h.m_Width = be(16);
    h.m_Height = be(20);
    h.m_Depth = png[24];
    h.m_Colour = png[25];
    return h;
}

class CArtwork : public ::testing::Test
{
protected:
    static const CDecoded& Image(const char* name)
    {
        static std::map<std::string, CDecoded> s_Cache;
        auto it = s_Cache.find(name);
        if (it == s_Cache.end())
        {
            it = s_Cache.try_emplace(name).first;
            std::vector<unsigned char> bytes = ReadBytes(DataPath(name));
            it->second.Decode(bytes.data(), bytes.size());
        }
        return it->second;
    }
};

TEST_F(CArtwork, FormsMatchTheResourceTable)
{
    struct SRow
    {
        const char* m_Name;
        uint32_t m_Width, m_Height;
        int m_Colour;  // 6 RGBA, 2 RGB
    } rows[] = {
        {"overlay.png", 1024, 1024, 6}, {"interface.png", 1024, 1024, 6}, {"equaliser.png", 4, 3, 6},
        {"font.png", 512, 8, 6},        {"vol_strip.png", 1, 16, 6},      {"vol_end.png", 8, 16, 6},
        {"loading.png", 1024, 1024, 6}, {"pause.png", 32, 32, 2},      {"words.png", 512, 256, 6},
    };
    for (const SRow& r : rows)
    {
        SCOPED_TRACE(r.m_Name);
        std::vector<unsigned char> bytes = ReadBytes(DataPath(r.m_Name));
        ASSERT_FALSE(bytes.empty());
        SHeader h = ReadHeader(bytes);
        EXPECT_EQ(h.m_Width, r.m_Width);
        EXPECT_EQ(h.m_Height, r.m_Height);
        EXPECT_EQ(h.m_Depth, 8);
        EXPECT_EQ(h.m_Colour, r.m_Colour);
        const CDecoded& d = Image(r.m_Name);
        ASSERT_TRUE(d.m_Ok);
        EXPECT_EQ(d.m_Width, r.m_Width);
        EXPECT_EQ(d.m_Height, r.m_Height);
    }
}

TEST_F(CArtwork, FontStripHoldsTheThirtyNineGlyphsAtTheirWidths)
{
    const CDecoded& font = Image("font.png");
    ASSERT_TRUE(font.m_Ok);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!.0123456789:";
    auto designed = [](char c) {
        if (c == 'M' || c == 'T' || c == 'W')
            return 8u;
        if (c == '1')
            return 3u;
        if (c == 'I' || c == '!' || c == '.' || c == ':')
            return 2u;
        return 7u;
    };
    // Glyph texels are exactly opaque white, everything else alpha 0.
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 512; ++x)
        {
            uint32_t p = font.At(x, y);
            ASSERT_TRUE(p == 0xFFFFFFFFu || (p >> 24) == 0) << x << "," << y;
        }
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // start, width
    uint32_t start = 0;
    bool inside = false;
    for (uint32_t x = 0; x < 512; ++x)
    {
        bool filled = false;
        for (uint32_t y = 0; y < 8; ++y)
            filled = filled || font.Alpha(x, y) != 0;
        if (filled && !inside)
        {
            start = x;
            inside = true;
        }
        else if (!filled && inside)
        {
            runs.emplace_back(start, x - start);
            inside = false;
        }
        if (x >= 290)
        {
            EXPECT_FALSE(filled) << "column " << x;
        }
    }
    EXPECT_FALSE(inside);
    ASSERT_EQ(runs.size(), 39u);
    uint32_t expectedStart = 0;
    for (size_t i = 0; i < runs.size(); ++i)
    {
        SCOPED_TRACE(std::string(1, alphabet[i]));
        EXPECT_EQ(runs[i].first, expectedStart);
        EXPECT_EQ(runs[i].second, designed(alphabet[i]));
        expectedStart = runs[i].first + runs[i].second + 1;
    }
    EXPECT_EQ(runs[8].first, 64u);   // "I"
    EXPECT_EQ(runs[38].first, 288u); // ":"
}

TEST_F(CArtwork, EqualiserIsTwoBlackRowsAndOneWhite)
{
    const CDecoded& eq = Image("equaliser.png");
    ASSERT_TRUE(eq.m_Ok);
    for (uint32_t x = 0; x < 4; ++x)
    {
        EXPECT_EQ(eq.At(x, 0), 0xFF000000u);
        EXPECT_EQ(eq.At(x, 1), 0xFF000000u);
        EXPECT_EQ(eq.At(x, 2), 0xFFFFFFFFu);
    }
}

TEST_F(CArtwork, PauseIconIsTwoWhiteBarsOnADarkGround)
{
    const CDecoded& icon = Image("pause.png");
    ASSERT_TRUE(icon.m_Ok);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            ASSERT_EQ(icon.Alpha(x, y), 255u);
        }
    // Across the middle: dark, bar, dark, bar, dark.
    int bars = 0;
    bool bright = false;
    for (uint32_t x = 0; x < 32; ++x)
    {
        bool now = icon.Luma(x, 16) > 200;
        if (now && !bright)
            ++bars;
        bright = now;
    }
    EXPECT_EQ(bars, 2);
    EXPECT_LT(icon.Luma(16, 16), 80);  // the gap between the bars
    EXPECT_LT(icon.Luma(16, 4), 80);   // above them
    // Upright: the bars span many rows in their columns.
    int tall = 0;
    for (uint32_t y = 0; y < 32; ++y)
        tall += icon.Luma(11, y) > 200 ? 1 : 0;
    EXPECT_GE(tall, 12);
}

TEST_F(CArtwork, OverlayIsAFaintGridAndAGlareInTheWindowRowsOnly)
{
    const CDecoded& o = Image("overlay.png");
    ASSERT_TRUE(o.m_Ok);
    EXPECT_EQ(o.At(200, 200), 0x0AFFFFFFu);  // grid crossing
    EXPECT_EQ(o.At(205, 200), 0x0AFFFFFFu);  // horizontal line
    EXPECT_EQ(o.At(200, 205), 0x0AFFFFFFu);  // vertical line
    EXPECT_EQ(o.Alpha(205, 205), 0u);
    EXPECT_EQ(o.Alpha(795, 395), 0u);
    EXPECT_NEAR(int(o.Alpha(405, 62)), 105, 3);
    EXPECT_NEAR(int(o.Alpha(405, 107)), 10, 3);
    EXPECT_GT(o.Alpha(405, 70), o.Alpha(405, 90));
    for (uint32_t y = 0; y < 1024; y += (y < 40 || y > 410) ? 7 : 1)
        for (uint32_t x = 0; x < 1024; ++x)
        {
            bool covered = y >= 50 && y < 400 && x < 800;
            if (!covered)
            {
                ASSERT_EQ(o.Alpha(x, y), 0u) << x << "," << y;
            }
            else if (o.Alpha(x, y) != 0)
            {
                ASSERT_EQ(o.At(x, y) & 0xFFFFFFu, 0xFFFFFFu) << x << "," << y;
            }
        }
}

TEST_F(CArtwork, InterfaceLeavesTheWindowOpenAndTheBandsOpaque)
{
    const CDecoded& ui = Image("interface.png");
    ASSERT_TRUE(ui.m_Ok);
    // The window onto the 3D object.
    EXPECT_EQ(ui.Alpha(400, 200), 0u);
    EXPECT_EQ(ui.Alpha(700, 300), 0u);
    EXPECT_EQ(ui.Alpha(150, 100), 0u);
    EXPECT_EQ(ui.Alpha(30, 350), 0u);
    EXPECT_EQ(ui.Alpha(780, 63), 0u);
    // Off screen.
    EXPECT_EQ(ui.Alpha(900, 100), 0u);
    EXPECT_EQ(ui.Alpha(100, 800), 0u);
    // Top band, control bar and bottom decoration: opaque on every pixel.
    for (uint32_t y = 0; y < 600; ++y)
    {
        if (y >= 62 && y < 360)
            continue;
        for (uint32_t x = 0; x < 800; ++x)
        {
            ASSERT_EQ(ui.Alpha(x, y), 255u) << x << "," << y;
        }
    }
    // Light above, near black where the description runs.
    EXPECT_GT(ui.Luma(300, 10), 170);
    EXPECT_GT(ui.Luma(500, 40), 150);
    for (uint32_t y = 50; y < 62; ++y)
        for (uint32_t x = 0; x < 800; x += 13)
        {
            ASSERT_LT(ui.Luma(x, y), 45) << x << "," << y;
        }
    // QUIT button and the upper half of the knob cover the window.
    EXPECT_EQ(ui.Alpha(20, 70), 255u);
    EXPECT_EQ(ui.Alpha(80, 85), 255u);
    EXPECT_EQ(ui.Alpha(400, 280), 255u);
    EXPECT_EQ(ui.Alpha(320, 340), 255u);
    // The number's rows in the knob are dark glass so the grey digits read.
    for (uint32_t y = 332; y < 394; y += 3)
        for (uint32_t x = 360; x < 440; x += 5)
        {
            ASSERT_LT(ui.Luma(x, y), 70) << x << "," << y;
        }
    // The button faces are dark under their light symbols.
    EXPECT_LT(ui.Luma(75, 388), 80);
    EXPECT_GT(ui.Luma(147, 377), 200);  // the play symbol
    // Volume groove: dark bed, lit start cap left of x 574.
    EXPECT_LT(ui.Luma(700, 372), 60);
    EXPECT_GT(ui.Luma(571, 377), 150);
    // Light bottom decoration, dark equaliser corners for the bars.
    EXPECT_GT(ui.Luma(400, 580), 120);
    for (uint32_t y = 430; y < 592; ++y)
        for (uint32_t x = 0; x < 47; ++x)
        {
            ASSERT_LT(ui.Luma(8 + 5 * x, y), 70) << y;
            ASSERT_LT(ui.Luma(787 - 5 * x, y), 70) << y;
        }
}

TEST_F(CArtwork, PauseIconMatchesTheSkinAroundThePlaySymbol)
{
    // The icon fades over the skin: its ground must be the skin's ground.
    const CDecoded& ui = Image("interface.png");
    const CDecoded& icon = Image("pause.png");
    ASSERT_TRUE(ui.m_Ok && icon.m_Ok);
    for (uint32_t y : {0u, 1u, 30u, 31u})
        for (uint32_t x = 0; x < 32; ++x)
        {
            EXPECT_NEAR(icon.Luma(x, y), ui.Luma(136 + x, 361 + y), 2) << x << "," << y;
        }
}

TEST_F(CArtwork, VolumeEndCapSharesTheStripGreys)
{
    const CDecoded& strip = Image("vol_strip.png");
    const CDecoded& end = Image("vol_end.png");
    ASSERT_TRUE(strip.m_Ok && end.m_Ok);
    int distinct = 0;
    for (uint32_t y = 0; y < 16; ++y)
    {
        uint32_t grey = strip.At(0, y);
        EXPECT_EQ(grey >> 24, 255u);
        EXPECT_EQ((grey >> 16) & 0xFF, grey & 0xFF);  // a grey
        if (y > 0 && grey != strip.At(0, y - 1))
            ++distinct;
        for (uint32_t x = 0; x < 8; ++x)
        {
            if (end.Alpha(x, y) != 0)
            {
                EXPECT_EQ(end.At(x, y) & 0xFFFFFFu, grey & 0xFFFFFFu) << x << "," << y;
            }
            if (x > 0)
            {
                EXPECT_LE(end.Alpha(x, y), end.Alpha(x - 1, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(distinct, 8);  // a gradient, not one flat grey
    EXPECT_EQ(end.Alpha(0, 8), 255u);
    EXPECT_EQ(end.Alpha(7, 0), 0u);
    EXPECT_EQ(end.Alpha(7, 15), 0u);
}

TEST_F(CArtwork, LoadingPictureCarriesTheProgressTrack)
{
    const CDecoded& pic = Image("loading.png");
    ASSERT_TRUE(pic.m_Ok);
    for (uint32_t y = 0; y < 600; y += 3)
        for (uint32_t x = 0; x < 800; x += 3)
        {
            ASSERT_EQ(pic.Alpha(x, y), 255u) << x << "," << y;
        }
    // The track is dark (so the white bar at alpha 96 shows) and dotted.
    int changes = 0;
    for (uint32_t x = 42; x <= 760; ++x)
    {
        for (uint32_t y = 522; y <= 526; ++y)
        {
            ASSERT_LT(pic.Luma(x, y), 90) << x << "," << y;
        }
        if (x > 42 && pic.At(x, 524) != pic.At(x - 1, 524))
            ++changes;
    }
    EXPECT_GT(changes, 200);
    // And it is set apart from its surroundings by its frame.
    EXPECT_NE(pic.At(400, 520), pic.At(400, 515));
}

}  // namespace
