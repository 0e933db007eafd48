#include "musicdisk/TextFold.h"

#include <cstdint>

namespace {

// Latin-1 from U+00C0: what each letter folds to ("" for the two signs).
const char* const s_Latin1[64] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",   // C0
    "D", "N", "O", "O", "O", "O", "O", "",  "O", "U", "U", "U", "U", "Y", "TH", "SS",  // D0
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",   // E0
    "D", "N", "O", "O", "O", "O", "O", "",  "O", "U", "U", "U", "U", "Y", "TH", "Y"};  // F0

// Latin Extended-A, U+0100 to U+017F, as runs of one folding.
struct SRun
{
    uint32_t m_Last;
    const char* m_Fold;
};
const SRun s_ExtendedA[] = {
    {0x105, "A"},  {0x10D, "C"}, {0x111, "D"}, {0x11B, "E"}, {0x123, "G"}, {0x127, "H"}, {0x131, "I"},
    {0x133, "IJ"}, {0x135, "J"}, {0x138, "K"}, {0x142, "L"}, {0x14B, "N"}, {0x151, "O"}, {0x153, "OE"},
    {0x159, "R"},  {0x161, "S"}, {0x167, "T"}, {0x173, "U"}, {0x175, "W"}, {0x178, "Y"}, {0x17E, "Z"},
    {0x17F, "S"}};

// The next code point of `text` at `i`; a byte that does not start a valid
// UTF-8 sequence is taken as Latin-1.
uint32_t Next(const std::string& text, size_t& i)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t b = byte(i);
    const int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (extra == 0)
    {
        ++i;
        return b;  // ASCII, or a byte no UTF-8 sequence starts with
    }
    uint32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
    {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80)
        {
            ++i;
            return b;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms and surrogates are not UTF-8 either.
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
    {
        ++i;
        return b;
    }
    i += static_cast<size_t>(extra) + 1;
    return c;
}

}  // namespace

std::string FoldToFont(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        const uint32_t c = Next(text, i);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '.' || c == ':' || c == ' ')
            out += static_cast<char>(c);
        else if (c >= 'a' && c <= 'z')
            out += static_cast<char>(c - 'a' + 'A');
        else if (c >= 0xC0 && c <= 0xFF && *s_Latin1[c - 0xC0])
            out += s_Latin1[c - 0xC0];
        else if (c >= 0x100 && c <= 0x17F)
        {
            for (const SRun& run : s_ExtendedA)
                if (c <= run.m_Last)
                {
                    out += run.m_Fold;
                    break;
                }
        }
        else
            out += ' ';
    }
    // Folded punctuation leaves runs of spaces ("10 - TAKE"): one is enough,
    // and none at the ends.
    std::string tidy;
    for (char c : out)
        if (c != ' ' || (!tidy.empty() && tidy.back() != ' '))
            tidy += c;
    while (!tidy.empty() && tidy.back() == ' ')
        tidy.pop_back();
    return tidy;
}
