// Any script to ASCII capitals through ICU, with the rules around its chain.
#include <gtest/gtest.h>

#include "platform/text/Transliterate.h"

TEST(Transliterate, EveryScriptComesOutInAsciiCapitals)
{
    // Punctuation is left for the caller to judge ("–" is "-" now), except
    // the tag's own hyphens and apostrophes, which stand as spaces so that the
    // transliteration's own marks can go without splitting words.
    const struct
    {
        const char* m_Text;
        const char* m_Latin;
    } cases[] = {
        {"Кино – Группа крови", "KINO - GRUPPA KROVI"},
        {"Ольга, Объект", "OLGA, OBEKT"},           // soft and hard signs
        {"한국어 노래", "HANGUGEO NOLAE"},            // no syllable break
        {"بالعالم עולם", "BALALM WLM"},              // no ayin
        {"Rock-n-Roll Bausch’s", "ROCK N ROLL BAUSCH S"},
        {"Straße Æther Łódź", "STRASSE AETHER LODZ"},
        {"北京 🎵", "BEI JING 🎵"},                   // nothing ASCII for an emoji
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToLatinCapitals(c.m_Text), c.m_Latin) << c.m_Text;
}
