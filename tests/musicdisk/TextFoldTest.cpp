// Outside text in the font's alphabet: every script in Latin capitals, never a
// wrong glyph.
#include <gtest/gtest.h>

#include <cstring>

#include "musicdisk/Font.h"
#include "musicdisk/TextFold.h"

TEST(TextFold, LettersFoldToTheNearestCapital)
{
    EXPECT_EQ(FoldToFont("Café Noir"), "CAFE NOIR");
    EXPECT_EQ(FoldToFont("Straße"), "STRASSE");
    EXPECT_EQ(FoldToFont("Ærø Œuvre Łódź Şişli"), "AERO OEUVRE LODZ SISLI");
    EXPECT_EQ(FoldToFont("Track 07: Live!"), "TRACK 07: LIVE!");
}

TEST(TextFold, EveryScriptReadsInTheTickersLetters)
{
    const struct
    {
        const char* m_Tag;
        const char* m_Ticker;
    } cases[] = {
        {"Кино – Группа крови", "KINO GRUPPA KROVI"},       // Cyrillic
        {"Ольга – Кровь", "OLGA KROV"},
        {"Ελλάδα: Αθήνα", "ELLADA: ATHENA"},                 // Greek
        {"שלום עולם", "SLWM WLM"},                           // Hebrew
        {"مرحبا بالعالم", "MRHBA BALALM"},                   // Arabic
        {"北京欢迎你", "BEI JING HUAN YING NI"},               // Chinese
        {"ちょっと ラーメン!", "CHOTTO RAMEN!"},               // Japanese kana
        {"ファイナル・ファンタジー", "FAINARU FANTAJI"},
        {"東京", "DONG JING"},                               // kanji read as Chinese: ICU has no Japanese readings
        {"한국어 노래", "HANGUGEO NOLAE"},                    // Korean
        {"สวัสดีครับ", "SWASDI KHRAB"},                      // Thai
        {"नमस्ते दुनिया", "NAMASTE DUNIYA"},                  // Devanagari
        {"Հայերեն", "HAYEREN"},                              // Armenian
        {"ქართული", "KARTULI"},                              // Georgian
        {"٣ ０１２ ＡＢＣ", "3 012 ABC"},                       // Arabic-Indic and full-width forms
        {"Pina Bausch’s Straße - Café Müller", "PINA BAUSCH S STRASSE CAFE MULLER"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldToFont(c.m_Tag), c.m_Ticker) << c.m_Tag;
}

TEST(TextFold, EverythingElseBecomesASpaceAndOnlyGlyphsRemain)
{
    const std::string folded = FoldToFont("a-b,c?d\"e\t(f) 日本 🎵 Ωμέγα ×÷ \x01\x7f");
    EXPECT_EQ(folded.substr(0, 11), "A B C D E F");
    for (unsigned char c : folded)
        EXPECT_TRUE(c == ' ' || std::strchr(s_Alphabet, c)) << int(c);
}

TEST(TextFold, BytesThatAreNotUtf8AreReadAsLatin1)
{
    // ID3v1 and RIFF INFO are often Latin-1: "Café" with a lone 0xE9.
    EXPECT_EQ(FoldToFont("Caf\xe9 M\xfcller"), "CAFE MULLER");
    // A sequence cut short, an overlong form and a surrogate are not UTF-8.
    EXPECT_EQ(FoldToFont("x\xc3"), "XA");
    EXPECT_EQ(FoldToFont("\xc0\xaf!"), "A !");
    EXPECT_EQ(FoldToFont("\xed\xa0\x80!"), "I !");
}
