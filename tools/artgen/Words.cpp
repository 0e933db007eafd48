// words.png and its layout header: what the player writes over the skin's
// printed words for an album of its own. The three plates the words sit on,
// cut from the skin drawn with TRACK on the knob and the two lines bare; and
// the ticker's letters (and the middle dot) engraved in each line's lettering,
// each at four quarter-pixel offsets, so that a line laid out with cairo's
// advances lands where cairo would have drawn it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Skin.h"

namespace {

// The letters FoldToFont can give, then the middle dot (0xB7 in the header).
const char* const s_Letters[] = {" ", "!", ".", ":", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                 "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
                                 "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "\xC2\xB7"};
constexpr int LetterCount = int(sizeof(s_Letters) / sizeof(s_Letters[0]));

// A plate: where it sits on the screen, and where it is kept in words.png.
struct SPlate
{
    const char* m_Name;
    int m_X, m_Y, m_W, m_H;  // on the screen
    int m_SheetX, m_SheetY;
};
const SPlate s_Plates[] = {
    {"TopPlate", 138, 27, 440, 13, 0, 0},
    {"BottomPlate", 250, 519, 300, 16, 0, 13},
    {"KnobPlate", 360, 399, 80, 16, 300, 13},
};

// The two lines as the skin engraves them (8 pt).
struct SLine
{
    const char* m_Name;
    cairo_font_weight_t m_Weight;
    double m_Spacing;
    uint32_t m_Ink;
};
const SLine s_Lines[] = {
    {"Top", CAIRO_FONT_WEIGHT_NORMAL, 1.6, 0x6C747C},
    {"Bottom", CAIRO_FONT_WEIGHT_BOLD, 2.2, 0x646C74},
};

constexpr int SheetWidth = 512, SheetHeight = 256;
constexpr int CellWidth = 16, CellHeight = 14, CellPad = 3, CellBaseline = 10, Phases = 4;
constexpr int CellsPerRow = SheetWidth / CellWidth;
constexpr int GlyphTop = 32;

bool Inside(const SPlate& p, int x, int y)
{
    return x >= p.m_X && x < p.m_X + p.m_W && y >= p.m_Y && y < p.m_Y + p.m_H;
}

}  // namespace

CImage BuildWords()
{
    CImage day = DrawSkinWith(ESkinWords::Day);
    CImage own = DrawSkinWith(ESkinWords::Own);
    // The plates must hold every word: outside them both skins are one.
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
        {
            bool inPlate = false;
            for (const SPlate& p : s_Plates)
                inPlate = inPlate || Inside(p, x, y);
            const SRgba& a = day.At(x, y);
            const SRgba& b = own.At(x, y);
            if (!inPlate && (a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a))
            {
                std::fprintf(stderr, "artgen: words: (%d, %d) differs outside the plates\n", x, y);
                std::exit(1);
            }
        }

    CCanvas canvas(SheetWidth, SheetHeight);
    cairo_t* cr = canvas.m_Cr;
    for (int line = 0; line < 2; ++line)
    {
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, s_Lines[line].m_Weight);
        cairo_set_font_size(cr, 8.0);
        for (int g = 0; g < LetterCount; ++g)
            for (int phase = 0; phase < Phases; ++phase)
            {
                const int cell = (line * LetterCount + g) * Phases + phase;
                const int x = cell % CellsPerRow * CellWidth, y = GlyphTop + cell / CellsPerRow * CellHeight;
                cairo_save(cr);
                cairo_rectangle(cr, x, y, CellWidth, CellHeight);
                cairo_clip(cr);
                EngravedText(cr, s_Letters[g], x + CellPad + phase / double(Phases), y + CellBaseline, 0.0, false,
                             s_Lines[line].m_Ink);
                cairo_restore(cr);
            }
    }
    CImage words = canvas.ToImage();
    for (const SPlate& p : s_Plates)
        words.Blit(own, p.m_X, p.m_Y, p.m_W, p.m_H, p.m_SheetX, p.m_SheetY);
    return words;
}

bool WriteWordsLayout(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "#pragma once\n// Written by tools/artgen beside Data/words.png: where its plates and letters are.\n");
    std::fprintf(f, "namespace SkinWords {\n\n");
    std::fprintf(f, "constexpr int SheetWidth = %d, SheetHeight = %d;\n", SheetWidth, SheetHeight);
    std::fprintf(f, "constexpr int CellWidth = %d, CellHeight = %d, CellPad = %d, CellBaseline = %d, Phases = %d;\n",
                 CellWidth, CellHeight, CellPad, CellBaseline, Phases);
    std::fprintf(f, "constexpr int CellsPerRow = %d, GlyphTop = %d;\n\n", CellsPerRow, GlyphTop);
    std::fprintf(f, "struct SPlate\n{\n    int m_X, m_Y, m_W, m_H, m_SheetX, m_SheetY;\n};\n");
    for (const SPlate& p : s_Plates)
        std::fprintf(f, "constexpr SPlate %s = {%d, %d, %d, %d, %d, %d};\n", p.m_Name, p.m_X, p.m_Y, p.m_W, p.m_H,
                     p.m_SheetX, p.m_SheetY);
    std::fprintf(f, "\n// The letters in sheet order; 0xB7 is the middle dot.\nconstexpr char Letters[] = \"");
    for (int g = 0; g < LetterCount; ++g)
        std::fprintf(f, g == LetterCount - 1 ? "\\xB7" : "%s", s_Letters[g]);
    std::fprintf(f, "\";\nconstexpr int LetterCount = %d;\n\n", LetterCount);
    std::fprintf(f, "struct SLine\n{\n    float m_Spacing;\n    float m_Advances[LetterCount];\n};\n");
    CCanvas canvas(8, 8);
    cairo_t* cr = canvas.m_Cr;
    for (int line = 0; line < 2; ++line)
    {
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, s_Lines[line].m_Weight);
        cairo_set_font_size(cr, 8.0);
        std::fprintf(f, "// Cells from index %d.\nconstexpr SLine %sLine = {%gf, {", line * LetterCount * Phases,
                     s_Lines[line].m_Name, s_Lines[line].m_Spacing);
        for (int g = 0; g < LetterCount; ++g)
        {
            cairo_text_extents_t e;
            cairo_text_extents(cr, s_Letters[g], &e);
            std::fprintf(f, "%s%.6ff", g ? ", " : "", e.x_advance);
        }
        std::fprintf(f, "}};\n");
    }
    std::fprintf(f, "\n}  // namespace SkinWords\n");
    return std::fclose(f) == 0;
}
