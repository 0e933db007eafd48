#include <gtest/gtest.h>

#include <string>

#include "Strip.h"
#include "musicdisk/Font.h"
#include "support/RecordingDevice.h"

namespace {

class FontTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Device = InstallRecordingDevice();
        m_Strip = MakeStrip(ShippedWidths());
        m_Font = CreateFont(m_Strip.get(), 1.0f, 4.0f);
    }
    void TearDown() override
    {
        delete m_Font;
        m_Strip.reset();
        RemoveRecordingDevice();
    }

    std::vector<const SRecordedCall*> Draws() const { return m_Device->Calls("DrawPrimitiveUP"); }
    // Every glyph drawn, in order, whatever the draws that carry them.
    struct SGlyph
    {
        const SRecordedCall* m_Call;
        int m_Rect;
        const float* Corner(int corner) const { return VertexFloats(*m_Call, RectCornerVertex(*m_Call, m_Rect, corner)); }
        uint32_t Color(int corner) const { return VertexColor(*m_Call, RectCornerVertex(*m_Call, m_Rect, corner), 16); }
    };
    std::vector<SGlyph> Glyphs() const
    {
        std::vector<SGlyph> out;
        for (const SRecordedCall* d : Draws())
            for (int r = 0; r < RectCount(*d); ++r)
                out.push_back({d, r});
        return out;
    }

    CRecordingDevice* m_Device = nullptr;
    std::unique_ptr<CTexture> m_Strip;
    CFont* m_Font = nullptr;
};

int GlyphCount(const CFont* font)
{
    int n = 0;
    for (int c = 0; c < 256; ++c)
        n += font->HasGlyph(static_cast<unsigned char>(c)) ? 1 : 0;
    return n;
}

// Left and top of a drawn glyph in virtual pixels (the draw shifts by half a pixel).
template <class T>
float QuadLeft(const T& g) { return g.Corner(1)[0] + 0.5f; }
template <class T>
float QuadTop(const T& g) { return g.Corner(1)[1] + 0.5f; }
template <class T>
float QuadWidth(const T& g) { return g.Corner(3)[0] - g.Corner(1)[0]; }
template <class T>
float QuadHeight(const T& g) { return g.Corner(0)[1] - g.Corner(1)[1]; }

}  // namespace

TEST_F(FontTest, ShippedStripGivesThirtyNineGlyphsWithTheTableWidths)
{
    EXPECT_EQ(GlyphCount(m_Font), 39);
    EXPECT_EQ(m_Font->m_GlyphHeight, 8u);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphU['A'], 0.0f);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphWidth['A'], 7.0f);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphU['I'], 64.0f / 512.0f);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphWidth['I'], 2.0f);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphU[':'], 288.0f / 512.0f);
    EXPECT_FLOAT_EQ(m_Font->m_GlyphWidth[':'], 2.0f);
    const std::vector<int> widths = ShippedWidths();
    for (int i = 0; i < 39; ++i)
        EXPECT_FLOAT_EQ(m_Font->m_GlyphWidth[static_cast<unsigned char>(s_Alphabet[i])], float(widths[i])) << i;
    EXPECT_FALSE(m_Font->HasGlyph(' '));
    EXPECT_FALSE(m_Font->HasGlyph('a'));
    EXPECT_FALSE(m_Font->HasGlyph(','));
    EXPECT_FALSE(m_Font->HasGlyph(200));
    EXPECT_FLOAT_EQ(m_Font->m_GlyphWidth[','], 0.0f);
}

TEST_F(FontTest, GlyphTouchingTheRightEdgeIsNotRecorded)
{
    // "A" at 497..503, "B" at 505..511 with no empty column after it.
    auto strip = MakeStrip({7, 7}, 497);
    CFont* font = CreateFont(strip.get(), 1.0f, 4.0f);
    EXPECT_TRUE(font->HasGlyph('A'));
    EXPECT_FLOAT_EQ(font->m_GlyphU['A'], 497.0f / 512.0f);
    EXPECT_FALSE(font->HasGlyph('B'));
    EXPECT_EQ(GlyphCount(font), 1);
    delete font;
}

TEST_F(FontTest, MissingRunShiftsEveryLaterCharacter)
{
    std::vector<int> widths = ShippedWidths();
    widths.erase(widths.begin() + 7);  // no "H"
    auto strip = MakeStrip(widths);
    CFont* font = CreateFont(strip.get(), 1.0f, 4.0f);
    EXPECT_EQ(GlyphCount(font), 38);
    // "H" takes the run of "I", "I" that of "J", and ":" has none left.
    EXPECT_FLOAT_EQ(font->m_GlyphWidth['H'], 2.0f);
    EXPECT_FLOAT_EQ(font->m_GlyphU['H'], 56.0f / 512.0f);
    EXPECT_FLOAT_EQ(font->m_GlyphWidth['I'], 7.0f);
    EXPECT_FALSE(font->HasGlyph(':'));
    delete font;
}

TEST_F(FontTest, RunsAfterTheThirtyNinthAreIgnored)
{
    std::vector<int> widths = ShippedWidths();
    widths.push_back(5);
    widths.push_back(5);
    auto strip = MakeStrip(widths, 0, 2);
    CFont* font = CreateFont(strip.get(), 1.0f, 4.0f);
    EXPECT_EQ(GlyphCount(font), 39);
    EXPECT_FLOAT_EQ(font->m_GlyphWidth[':'], 2.0f);
    delete font;
}

TEST_F(FontTest, NullOrInvalidTextureGivesAFontWithoutGlyphs)
{
    CFont* font = CreateFont(nullptr, 1.0f, 4.0f);
    EXPECT_EQ(GlyphCount(font), 0);
    EXPECT_FLOAT_EQ(MeasureText(font, 1.0f, "AB C"), 8.0f);  // only spacing and the space
    DrawText(font, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, "ABC");
    EXPECT_TRUE(Draws().empty());
    delete font;

    CTexture invalid;  // decoding failed: no texture, no size
    font = CreateFont(&invalid, 1.0f, 4.0f);
    EXPECT_EQ(GlyphCount(font), 0);
    delete font;
}

TEST_F(FontTest, NullFontDrawsNothingAndMeasuresZero)
{
    DrawText(nullptr, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, "ABC");
    DrawTextFixed(nullptr, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, 7.0f, "ABC");
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(MeasureText(nullptr, 1.0f, "ABC"), 0.0f);
    EXPECT_EQ(MeasureTextFixed(nullptr, 1.0f, 7.0f, "ABC"), 0.0f);
}

TEST_F(FontTest, WorkedMetrics)
{
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 6.0f, "%.2d", 7), 96.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 6.0f, "%.2d", 11), 48.0f);
    EXPECT_FLOAT_EQ(MeasureTextFixed(m_Font, 2.0f, 7.0f, "%.2d:%.2d", 3, 25), 80.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, " "), 5.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, "A"), 8.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, "I"), 3.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, ","), 1.0f);
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 3.0f, "a,;"), 9.0f);
    EXPECT_EQ(MeasureText(m_Font, 1.0f, "%s", ""), 0.0f);
    // The widest line counts, spacing after its last character included.
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, "I\nMM\nA"), 19.0f);
}

TEST_F(FontTest, DrawTextPlacesGlyphsAndSkipsMissingOnes)
{
    DrawText(m_Font, 0.0f, 0.0f, 0x80102030, 1.0f, "A,B");
    // One draw for the text.
    EXPECT_EQ(Draws().size(), 1u);
    const auto draws = Glyphs();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FLOAT_EQ(QuadLeft(draws[0]), 0.0f);
    EXPECT_FLOAT_EQ(QuadWidth(draws[0]), 7.0f);
    EXPECT_FLOAT_EQ(QuadLeft(draws[1]), 9.0f);
    EXPECT_FLOAT_EQ(QuadHeight(draws[1]), 8.0f);
    // "B" samples its own run: u from 8/512 over 7/512, v over the whole strip.
    EXPECT_FLOAT_EQ(draws[1].Corner(1)[5], 8.0f / 512.0f);
    EXPECT_FLOAT_EQ(draws[1].Corner(3)[5], 15.0f / 512.0f);
    EXPECT_FLOAT_EQ(draws[1].Corner(1)[6], 0.0f);
    EXPECT_FLOAT_EQ(draws[1].Corner(0)[6], 1.0f);
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(draws[1].Color(v), 0x80102030u);
    // The strip is the texture bound for the glyphs.
    const auto textures = m_Device->Calls("SetTexture");
    ASSERT_FALSE(textures.empty());
    EXPECT_EQ(textures.back()->m_Pointer, m_Strip->m_Texture);
}

TEST_F(FontTest, ScaleAndLineFeed)
{
    DrawText(m_Font, 100.0f, 50.0f, 0xFFFFFFFF, 6.0f, "A\nM");
    const auto draws = Glyphs();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FLOAT_EQ(QuadWidth(draws[0]), 42.0f);
    EXPECT_FLOAT_EQ(QuadHeight(draws[0]), 48.0f);
    EXPECT_FLOAT_EQ(QuadTop(draws[0]), 50.0f);
    // The next line starts one spacing right of the position, one glyph height down.
    EXPECT_FLOAT_EQ(QuadLeft(draws[1]), 106.0f);
    EXPECT_FLOAT_EQ(QuadTop(draws[1]), 98.0f);
    EXPECT_FLOAT_EQ(QuadWidth(draws[1]), 48.0f);
}

TEST_F(FontTest, FixedCellsLeftAlignGlyphs)
{
    DrawTextFixed(m_Font, 360.0f, 378.0f, 0x40C0C0C0, 2.0f, 7.0f, "%s", "03:25");
    const auto draws = Glyphs();
    ASSERT_EQ(draws.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(QuadLeft(draws[size_t(i)]), 360.0f + 16.0f * float(i)) << i;
    EXPECT_FLOAT_EQ(QuadWidth(draws[2]), 4.0f);  // ":" is 2 texels
    // A character without a glyph takes only the spacing, a space a whole cell.
    m_Device->ClearLog();
    DrawTextFixed(m_Font, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, 7.0f, "1, 1");
    const auto more = Glyphs();
    ASSERT_EQ(more.size(), 2u);
    EXPECT_FLOAT_EQ(QuadLeft(more[1]), 8.0f + 1.0f + 8.0f);
    EXPECT_FLOAT_EQ(MeasureTextFixed(m_Font, 1.0f, 7.0f, "1, 1"), 25.0f);
}

TEST_F(FontTest, OverlongTextIsCutToTheBuffer)
{
    const std::string text(3000, 'A');
    EXPECT_FLOAT_EQ(MeasureText(m_Font, 1.0f, "%s", text.c_str()), 2047.0f * 8.0f);
    EXPECT_EQ(g_TextBuffer[2047], '\0');
    EXPECT_EQ(std::string(g_TextBuffer).size(), 2047u);
}

TEST_F(FontTest, EmbeddedStripGivesTheMetricsTheScreenWasLaidOutWith)
{
    std::unique_ptr<CTexture> strip(LoadTexture(225, CFixedString("")));
    ASSERT_TRUE(strip->IsValid());
    EXPECT_EQ(strip->m_Width, 512u);
    EXPECT_EQ(strip->m_Height, 8u);
    CFont* font = CreateFont(strip.get(), 1.0f, 4.0f);
    EXPECT_EQ(GlyphCount(font), 39);
    const std::vector<int> widths = ShippedWidths();
    for (int i = 0; i < 39; ++i)
        EXPECT_FLOAT_EQ(font->m_GlyphWidth[static_cast<unsigned char>(s_Alphabet[i])], float(widths[i]))
            << s_Alphabet[i];
    EXPECT_FLOAT_EQ(font->m_GlyphU[':'], 288.0f / 512.0f);
    EXPECT_FLOAT_EQ(MeasureText(font, 6.0f, "%.2d", 7), 96.0f);
    EXPECT_FLOAT_EQ(MeasureTextFixed(font, 2.0f, 7.0f, "03:25"), 80.0f);
    delete font;
}
