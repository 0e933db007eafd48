#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "musicdisk/Font.h"
#include "musicdisk/MusicDisk.h"

namespace {

const std::string Ellipsis = "..." + std::string(18, ' ');
const std::string Indescribable = "THIS SUBMISSION IS INDESCRIBABLE ..." + std::string(19, ' ');

size_t TrailingSpaces(const std::string& s)
{
    size_t n = 0;
    while (n < s.size() && s[s.size() - 1 - n] == ' ')
        ++n;
    return n;
}

}  // namespace

TEST(Descriptions, SharedTextsSitAtTheirTracks)
{
    for (int track : {8, 12, 19})
        EXPECT_EQ(g_TrackDescriptions[track - 1], Ellipsis) << track;
    for (int track : {6, 17, 22, 23, 27, 28, 29, 30})
        EXPECT_EQ(g_TrackDescriptions[track - 1], Indescribable) << track;
}

TEST(Descriptions, OwnTextsHaveTheStatedForm)
{
    const std::set<int> own = {1, 2, 3, 4, 5, 7, 9, 10, 11, 13, 14, 15, 16, 18, 20, 21, 24, 25, 26};
    const std::string glyphs = std::string(s_Alphabet) + " ";
    const std::string gapped = "/()+,';";
    std::set<std::string> seen;
    for (int track = 1; track <= 30; ++track)
    {
        ASSERT_NE(g_TrackDescriptions[track - 1], nullptr) << track;
        const std::string text = g_TrackDescriptions[track - 1];
        const size_t spaces = TrailingSpaces(text);
        EXPECT_TRUE(spaces == 18 || spaces == 19) << track << ": " << spaces;
        EXPECT_GE(text.size(), 21u) << track;
        EXPECT_LE(text.size(), 492u) << track;
        EXPECT_EQ(text.find('%'), std::string::npos) << track;
        for (char c : text)
            EXPECT_TRUE(glyphs.find(c) != std::string::npos || gapped.find(c) != std::string::npos)
                << track << ": '" << c << "'";
        if (own.count(track))
        {
            EXPECT_GE(text.size(), 28u) << track;
            EXPECT_NE(text, Ellipsis);
            EXPECT_NE(text, Indescribable);
            EXPECT_TRUE(seen.insert(text).second) << track << " repeats another track's text";
        }
    }
    EXPECT_EQ(seen.size(), 19u);
}

TEST(RemainingTime, CountsDownInWholeSeconds)
{
    EXPECT_STREQ(FormatRemainingTime(0, 201500).c_str(), "03:21");
    EXPECT_STREQ(FormatRemainingTime(201000, 201500).c_str(), "00:00");
    EXPECT_STREQ(FormatRemainingTime(200999, 201500).c_str(), "00:01");
    EXPECT_STREQ(FormatRemainingTime(0, 205000).c_str(), "03:25");
    EXPECT_STREQ(FormatRemainingTime(0, 100u * 60000u + 5000u).c_str(), "100:05");
}

TEST(RemainingTime, NoHandleShowsZero)
{
    EXPECT_STREQ(FormatRemainingTime(0, 0).c_str(), "00:00");
}

TEST(RemainingTime, ModuleCountsUpWithoutAMinusSign)
{
    EXPECT_STREQ(FormatRemainingTime(65999, 0).c_str(), "01:05");
    // A stream reporting a position past its end stops at zero.
    EXPECT_STREQ(FormatRemainingTime(9000, 5000).c_str(), "00:00");
}

TEST(Equaliser, SilenceGivesMinimalBars)
{
    float spectrum[512] = {};
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, false, heights);
    for (int k = 0; k < EqualiserBarCount; ++k)
        EXPECT_EQ(heights[k], 3) << k;
}

TEST(Equaliser, SingleBinAtTheEndOfBarZero)
{
    float spectrum[512] = {};
    spectrum[9] = 0.5f;
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, false, heights);
    EXPECT_EQ(heights[0], 162);
    for (int k = 1; k < EqualiserBarCount; ++k)
        EXPECT_EQ(heights[k], 3) << k;
}

TEST(Equaliser, PausedGivesMinimalBarsWhateverTheSpectrum)
{
    float spectrum[512];
    for (float& s : spectrum)
        s = 0.5f;
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, true, heights);
    for (int k = 0; k < EqualiserBarCount; ++k)
        EXPECT_EQ(heights[k], 3) << k;
}

TEST(Equaliser, HeightsStepInThreesAndSkippedBinsCountForNothing)
{
    float spectrum[512] = {};
    spectrum[10] = 1.0f;   // the bin skipped between bars 0 and 1
    spectrum[20] = 0.5f;   // last bin of bar 1: the maximum
    spectrum[19] = 0.5f;   // one step earlier in bar 1
    spectrum[31] = 0.5f;   // last bin of bar 2
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, false, heights);
    EXPECT_EQ(heights[0], 3);
    // Bar 1: v = 0.025 + 0.0025 = 0.0275 (max); bar 2: 0.025 -> 160 * 0.025 / 0.0275 = 145 -> 144 + 3.
    EXPECT_EQ(heights[1], 162);
    EXPECT_EQ(heights[2], 147);
    for (int k = 0; k < EqualiserBarCount; ++k)
        EXPECT_EQ(heights[k] % 3, 0) << k;
}

TEST(Equaliser, LastBarTakesMissingBinsAsSilence)
{
    // Bar 46 reads bins 506 to 511 and then four bins that do not exist.
    // Values placed past the end must not count: read as silence, they
    // shrink the bar's value by 10^4 after its peak at bin 511.
    float spectrum[516] = {};
    spectrum[511] = 0.5f;
    spectrum[512] = spectrum[513] = spectrum[514] = spectrum[515] = 0.5f;
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, false, heights);
    for (int k = 0; k < EqualiserBarCount; ++k)
        EXPECT_EQ(heights[k], 3) << k;
}
