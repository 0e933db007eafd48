#pragma once
// Written by tools/artgen beside Data/words.png: where its plates and letters are.
namespace SkinWords {

constexpr int SheetWidth = 512, SheetHeight = 256;
constexpr int CellWidth = 16, CellHeight = 14, CellPad = 3, CellBaseline = 10, Phases = 4;
constexpr int CellsPerRow = 32, GlyphTop = 32;

struct SPlate
{
    int m_X, m_Y, m_W, m_H, m_SheetX, m_SheetY;
};
constexpr SPlate TopPlate = {138, 27, 440, 13, 0, 0};
constexpr SPlate BottomPlate = {250, 519, 300, 16, 0, 13};
constexpr SPlate KnobPlate = {360, 399, 80, 16, 300, 13};

// The letters in sheet order; 0xB7 is the middle dot.
constexpr char Letters[] = " !.:0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\xB7";
constexpr int LetterCount = 41;

struct SLine
{
    float m_Spacing;
    float m_Advances[LetterCount];
};
// Cells from index 0.
constexpr SLine TopLine = {1.6f, {3.000000f, 3.000000f, 3.000000f, 3.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 5.000000f, 6.000000f, 6.000000f, 5.000000f, 5.000000f, 6.000000f, 6.000000f, 2.000000f, 2.000000f, 5.000000f, 4.000000f, 7.000000f, 6.000000f, 6.000000f, 5.000000f, 6.000000f, 6.000000f, 5.000000f, 5.000000f, 6.000000f, 5.000000f, 8.000000f, 5.000000f, 5.000000f, 5.000000f, 3.000000f}};
// Cells from index 164.
constexpr SLine BottomLine = {2.2f, {3.000000f, 4.000000f, 3.000000f, 3.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 6.000000f, 7.000000f, 5.000000f, 5.000000f, 7.000000f, 7.000000f, 3.000000f, 3.000000f, 6.000000f, 5.000000f, 8.000000f, 7.000000f, 7.000000f, 6.000000f, 7.000000f, 6.000000f, 6.000000f, 5.000000f, 7.000000f, 6.000000f, 9.000000f, 6.000000f, 6.000000f, 6.000000f, 3.000000f}};

}  // namespace SkinWords
