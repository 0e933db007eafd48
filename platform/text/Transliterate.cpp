#include "platform/text/Transliterate.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

// ICU's own chain, "Any-Latin; Latin-ASCII; Upper", with two rules around
// its first step. Before it, the tag's own hyphens and apostrophes become
// spaces, as the font has neither. After it, the hyphens, apostrophes and
// modifier letters left are the transliteration's own marks (the syllable
// break in Korean "hangug-eo", the ayin of Arabic and Hebrew, the Cyrillic
// soft sign) and go, so that they do not split a word in two.
const char* const TickerRules =
    "[\\-\\'\\u2018\\u2019\\u02BC] > ' ' ;"
    "::Any-Latin ;"
    "[\\-\\'[:Lm:]] > ;"
    "::Latin-ASCII ;"
    "::Upper ;";

struct STransliterator
{
    // ICU's transliterators are not immutable: callers take turns.
    std::mutex m_Lock;
    std::unique_ptr<icu::Transliterator> m_Icu;  // null when ICU cannot make it
};

STransliterator& Shared()
{
    // Made once: ICU compiles the chain's rules, some 40 ms, and each
    // script's own rules the first time the script is met (Han: 0.2 s).
    // Kept to the end, so that no caller outlives it.
    static STransliterator* const s_Shared = [] {
        auto* shared = new STransliterator;
        UErrorCode status = U_ZERO_ERROR;
        UParseError where = {};
        shared->m_Icu.reset(icu::Transliterator::createFromRules("ORBA-Ticker", icu::UnicodeString::fromUTF8(TickerRules),
                                                                 UTRANS_FORWARD, where, status));
        if (U_FAILURE(status))
        {
            shared->m_Icu.reset();
            std::fprintf(stderr, "ORBA: text: no transliterator (%s): letters beyond ASCII show as spaces\n",
                         u_errorName(status));
        }
        return shared;
    }();
    return *s_Shared;
}

}  // namespace

std::string ToLatinCapitals(const std::string& utf8)
{
    STransliterator& shared = Shared();
    std::string out;
    if (!shared.m_Icu)
    {
        out = utf8;
        for (char& c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    {
        std::lock_guard<std::mutex> lock(shared.m_Lock);
        shared.m_Icu->transliterate(text);
    }
    text.toUTF8String(out);
    return out;
}
