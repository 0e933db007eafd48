#include "musicdisk/TextFold.h"

#include "audio/Album.h"
#include "platform/text/Transliterate.h"

std::string FoldToFont(const std::string& text)
{
    const std::string latin = ToLatinCapitals(ToUtf8(text));
    // Folded punctuation leaves runs of spaces ("10 - TAKE"): one is enough,
    // and none at the ends.
    std::string tidy;
    tidy.reserve(latin.size());
    for (char c : latin)
    {
        const bool glyph = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '.' || c == ':';
        if (glyph)
            tidy += c;
        else if (!tidy.empty() && tidy.back() != ' ')
            tidy += ' ';
    }
    while (!tidy.empty() && tidy.back() == ' ')
        tidy.pop_back();
    return tidy;
}
