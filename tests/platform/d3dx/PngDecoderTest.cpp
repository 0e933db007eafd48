// DecodePngArgb: every PNG form expands to the same ARGB texels, and
// damaged input is refused without reading past the buffer.
#include <gtest/gtest.h>

#include <random>

#include "support/PngFiles.h"

namespace {

// Scanlines with filter type 0 from packed bytes per row.
std::vector<unsigned char> Unfiltered(const std::vector<std::vector<unsigned char>>& rows)
{
    std::vector<unsigned char> raw;
    for (const auto& r : rows)
    {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    return raw;
}

std::vector<unsigned char> SmallRgba()
{
    SPngLayout s;
    s.m_Width = 3;
    s.m_Height = 2;
    s.m_Raw = Unfiltered({{255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0}, {1, 2, 3, 4, 250, 251, 252, 253, 9, 8, 7, 6}});
    return BuildPng(s);
}

TEST(CPngDecoder, DecodesRgbaRowsTopToBottom)
{
    CDecoded d(SmallRgba());
    ASSERT_TRUE(d.m_Ok);
    ASSERT_EQ(d.m_Width, 3u);
    ASSERT_EQ(d.m_Height, 2u);
    EXPECT_EQ(d.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(d.At(1, 0), 0x8000FF00u);
    EXPECT_EQ(d.At(2, 0), 0x000000FFu);
    EXPECT_EQ(d.At(0, 1), 0x04010203u);
    EXPECT_EQ(d.At(1, 1), 0xFDFAFBFCu);
    EXPECT_EQ(d.At(2, 1), 0x06090807u);
}

TEST(CPngDecoder, RgbWithoutAlphaBecomesOpaque)
{
    SPngLayout s;
    s.m_Width = 2;
    s.m_Colour = 2;
    s.m_Raw = Unfiltered({{10, 20, 30, 200, 100, 50}});
    CDecoded d(BuildPng(s));
    ASSERT_TRUE(d.m_Ok);
    EXPECT_EQ(d.At(0, 0), 0xFF0A141Eu);
    EXPECT_EQ(d.At(1, 0), 0xFFC86432u);
}

TEST(CPngDecoder, RgbColourKeyBecomesTransparent)
{
    SPngLayout s;
    s.m_Width = 2;
    s.m_Colour = 2;
    s.m_Transparency = {0, 10, 0, 20, 0, 30};
    s.m_Raw = Unfiltered({{10, 20, 30, 200, 100, 50}});
    CDecoded d(BuildPng(s));
    ASSERT_TRUE(d.m_Ok);
    EXPECT_EQ(d.At(0, 0) >> 24, 0u);
    EXPECT_EQ(d.At(1, 0), 0xFFC86432u);
}

TEST(CPngDecoder, PaletteWithTransparencyExpands)
{
    SPngLayout s;
    s.m_Width = 4;
    s.m_Colour = 3;
    s.m_Depth = 2;
    s.m_Palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 16, 32, 48};
    s.m_Transparency = {255, 64};  // entries 2 and 3 stay opaque
    s.m_Raw = Unfiltered({{0b00011011}});
    CDecoded d(BuildPng(s));
    ASSERT_TRUE(d.m_Ok);
    EXPECT_EQ(d.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(d.At(1, 0), 0x4000FF00u);
    EXPECT_EQ(d.At(2, 0), 0xFF0000FFu);
    EXPECT_EQ(d.At(3, 0), 0xFF102030u);
}

TEST(CPngDecoder, PaletteIndexOutsideThePaletteIsRefusedOrBlack)
{
    SPngLayout s;
    s.m_Width = 1;
    s.m_Colour = 3;
    s.m_Palette = {1, 2, 3};
    s.m_Raw = Unfiltered({{200}});
    CDecoded d(BuildPng(s));
    if (d.m_Ok)
    {
        EXPECT_EQ(d.At(0, 0) & 0xFFFFFFu, 0u);
    }
}

TEST(CPngDecoder, LowDepthGreyScalesToFullRange)
{
    SPngLayout s;
    s.m_Width = 8;
    s.m_Colour = 0;
    s.m_Depth = 1;
    s.m_Raw = Unfiltered({{0b10100000}});
    CDecoded d(BuildPng(s));
    ASSERT_TRUE(d.m_Ok);
    EXPECT_EQ(d.At(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(d.At(1, 0), 0xFF000000u);
    EXPECT_EQ(d.At(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(d.At(7, 0), 0xFF000000u);

    s.m_Width = 2;
    s.m_Depth = 4;
    s.m_Raw = Unfiltered({{0x5F}});
    CDecoded d4(BuildPng(s));
    ASSERT_TRUE(d4.m_Ok);
    EXPECT_EQ(d4.At(0, 0), 0xFF555555u);
    EXPECT_EQ(d4.At(1, 0), 0xFFFFFFFFu);
}

TEST(CPngDecoder, GreyAlphaAndSixteenBitReduceToEightBits)
{
    SPngLayout s;
    s.m_Width = 1;
    s.m_Colour = 4;
    s.m_Raw = Unfiltered({{77, 99}});
    CDecoded ga(BuildPng(s));
    ASSERT_TRUE(ga.m_Ok);
    EXPECT_EQ(ga.At(0, 0), 0x634D4D4Du);

    s.m_Colour = 6;
    s.m_Depth = 16;
    s.m_Raw = Unfiltered({{0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x12, 0x34}});
    CDecoded deep(BuildPng(s));
    ASSERT_TRUE(deep.m_Ok);
    EXPECT_EQ(deep.At(0, 0) & 0x00FF00FFu, 0x00FF0000u);
    EXPECT_NEAR(int((deep.At(0, 0) >> 8) & 0xFF), 0x80, 1);
    EXPECT_NEAR(int(deep.At(0, 0) >> 24), 0x12, 1);
}

TEST(CPngDecoder, InterlacedImageMatchesItsPlainTwin)
{
    // 2 x 2 Adam7: pass 1 holds (0,0), pass 6 holds (1,0), pass 7 row 1.
    SPngLayout s;
    s.m_Width = 2;
    s.m_Height = 2;
    s.m_Colour = 0;
    s.m_Interlace = 1;
    s.m_Raw = {0, 10, 0, 20, 0, 30, 40};
    CDecoded d(BuildPng(s));
    ASSERT_TRUE(d.m_Ok);
    EXPECT_EQ(d.At(0, 0), 0xFF0A0A0Au);
    EXPECT_EQ(d.At(1, 0), 0xFF141414u);
    EXPECT_EQ(d.At(0, 1), 0xFF1E1E1Eu);
    EXPECT_EQ(d.At(1, 1), 0xFF282828u);
}

TEST(CPngDecoder, RefusesMissingAndEmptyInput)
{
    std::vector<unsigned char> png = SmallRgba();
    uint32_t w = 7, h = 7;
    uint32_t* argb = reinterpret_cast<uint32_t*>(&w);
    EXPECT_FALSE(DecodePngArgb(nullptr, png.size(), &w, &h, &argb));
    EXPECT_EQ(argb, nullptr);
    EXPECT_EQ(w, 0u);
    EXPECT_FALSE(DecodePngArgb(png.data(), 0, &w, &h, &argb));
    EXPECT_FALSE(DecodePngArgb(png.data(), png.size(), nullptr, &h, &argb));
    EXPECT_FALSE(DecodePngArgb(png.data(), png.size(), &w, &h, nullptr));
    std::vector<unsigned char> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'};
    EXPECT_FALSE(DecodePngArgb(text.data(), text.size(), &w, &h, &argb));
    FreePngArgb(nullptr);
}

TEST(CPngDecoder, RefusesZeroAndOversizedDimensions)
{
    SPngLayout s;
    s.m_Raw = Unfiltered({{1, 2, 3, 4}});
    s.m_Width = 0;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
    s.m_Width = 1;
    s.m_Height = 0;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
    // A header promising far more than the file holds is refused before
    // anything that size is allocated.
    s.m_Width = 8192;
    s.m_Height = 8192;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
    s.m_Width = 8193;
    s.m_Height = 1;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
}

TEST(CPngDecoder, RefusesEveryTruncation)
{
    std::vector<unsigned char> png = SmallRgba();
    for (size_t n = 0; n < png.size(); ++n)
    {
        // A copy of exactly n bytes, so a read past the end is the sanitiser's to see.
        std::vector<unsigned char> cut(png.begin(), png.begin() + long(n));
        EXPECT_FALSE(CDecoded(cut).m_Ok) << "cut at " << n;
    }
    EXPECT_TRUE(CDecoded(png).m_Ok);
}

TEST(CPngDecoder, RefusesTruncatedArtwork)
{
    std::vector<unsigned char> png = ReadBytes(DataPath("interface.png"));
    ASSERT_GT(png.size(), 1000u);
    for (size_t n = 1; n < png.size(); n += png.size() / 97)
    {
        std::vector<unsigned char> cut(png.begin(), png.begin() + long(n));
        EXPECT_FALSE(CDecoded(cut).m_Ok) << "cut at " << n;
    }
    std::vector<unsigned char> noEnd(png.begin(), png.end() - 12);  // without IEND
    EXPECT_FALSE(CDecoded(noEnd).m_Ok);
}

TEST(CPngDecoder, RefusesACorruptImageStreamWithValidChecksums)
{
    std::vector<unsigned char> raw = Unfiltered({{1, 2, 3, 4, 5, 6, 7, 8}});
    // Deflate data that is not a valid stream, wrapped in a correct chunk.
    std::vector<unsigned char> junk = {0x78, 0x01, 0x07, 0xFF, 0x13, 0x37, 0x00, 0x42};
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    PutBe32(ihdr, 2);
    PutBe32(ihdr, 1);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    AppendChunk(png, "IHDR", ihdr);
    AppendChunk(png, "IDAT", junk);
    AppendChunk(png, "IEND", {});
    EXPECT_FALSE(CDecoded(png).m_Ok);

    // A valid stream holding too few rows, and a bad filter type.
    SPngLayout s;
    s.m_Width = 2;
    s.m_Height = 2;
    s.m_Raw = raw;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
    s.m_Height = 1;
    s.m_Raw[0] = 9;
    EXPECT_FALSE(CDecoded(BuildPng(s)).m_Ok);
    // A wrong Adler checksum at the end of the stream.
    s.m_Raw[0] = 0;
    std::vector<unsigned char> good = BuildPng(s);
    ASSERT_TRUE(CDecoded(good).m_Ok);
    png.assign(good.begin(), good.begin() + 8);
    AppendChunk(png, "IHDR", std::vector<unsigned char>(good.begin() + 16, good.begin() + 29));
    std::vector<unsigned char> z = ZlibStored(raw);
    z.back() ^= 0x55;
    AppendChunk(png, "IDAT", z);
    AppendChunk(png, "IEND", {});
    EXPECT_FALSE(CDecoded(png).m_Ok);
}

TEST(CPngDecoder, SurvivesEveryBitFlipOfASmallImage)
{
    std::vector<unsigned char> png = SmallRgba();
    for (size_t bit = 0; bit < png.size() * 8; ++bit)
    {
        std::vector<unsigned char> bad = png;
        bad[bit / 8] ^= uint8_t(1u << (bit % 8));
        CDecoded d(bad);
        if (d.m_Ok)
        {
            // Only a flip the format cannot see (an unchecked bit) may pass,
            // and then the image is still whole.
            EXPECT_EQ(d.m_Width, 3u);
            EXPECT_EQ(d.m_Height, 2u);
            EXPECT_NE(d.m_Argb, nullptr);
        }
    }
}

TEST(CPngDecoder, SurvivesBitFlipsAndRandomBytes)
{
    std::mt19937 rng(1234);
    std::vector<unsigned char> font = ReadBytes(DataPath("font.png"));
    ASSERT_FALSE(font.empty());
    for (int i = 0; i < 400; ++i)
    {
        std::vector<unsigned char> bad = font;
        int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f)
            bad[rng() % bad.size()] ^= uint8_t(1u << (rng() % 8));
        CDecoded d(bad);
        if (d.m_Ok)
        {
            EXPECT_TRUE(d.m_Width >= 1 && d.m_Width <= 8192 && d.m_Height >= 1 && d.m_Height <= 8192);
        }
    }
    for (int i = 0; i < 300; ++i)
    {
        std::vector<unsigned char> bytes(size_t(rng() % 600));
        for (auto& b : bytes)
            b = uint8_t(rng());
        // Half of them behind a real signature and header, so the random
        // part reaches the chunk reader.
        if (i % 2 == 0 && bytes.size() >= 33)
            std::copy(font.begin(), font.begin() + 33, bytes.begin());
        CDecoded d(bytes);
        if (d.m_Ok)
        {
            EXPECT_TRUE(d.m_Width >= 1 && d.m_Height >= 1);
        }
    }
}

TEST(CPngDecoder, ReproducesTheArtworkTexels)
{
    // The pause icon written as RGB decodes opaque with its colours intact.
    std::vector<unsigned char> png = ReadBytes(DataPath("pause.png"));
    CDecoded d(png);
    ASSERT_TRUE(d.m_Ok);
    SPngLayout s;
    s.m_Width = 32;
    s.m_Height = 32;
    std::vector<std::vector<unsigned char>> rows(32);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            uint32_t p = d.At(x, y);
            rows[y].insert(rows[y].end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
    s.m_Raw = Unfiltered(rows);
    CDecoded again(BuildPng(s));
    ASSERT_TRUE(again.m_Ok);
    for (uint32_t i = 0; i < 32 * 32; ++i)
    {
        ASSERT_EQ(again.m_Argb[i], d.m_Argb[i]);
    }
}

}  // namespace
