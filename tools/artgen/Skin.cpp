// The player skin (interface.png), the pause icon cut from the same drawing,
// the grid-and-glare overlay and the small strips.
//
// Sections: volume greys, panels and parts, interface, small images.
#include "Skin.h"

#include <algorithm>
#include <cmath>

namespace {

const double Pi = 3.14159265358979323846;

// ---- Volume greys --------------------------------------------------------
// One column of the filled volume groove, top to bottom: a lit glass rod.
const uint8_t s_VolumeGreys[16] = {150, 214, 238, 244, 236, 224, 212, 201, 191, 182, 175, 170, 168, 172, 184, 132};

// Coverage of the disc of radius 8 around (0, 8) over texel (x, y) of the
// 8 x 16 end cap, by 16 x 16 supersampling.
float CapCoverage(int x, int y)
{
    int inside = 0;
    for (int sy = 0; sy < 16; ++sy)
        for (int sx = 0; sx < 16; ++sx)
        {
            double px = x + (sx + 0.5) / 16.0;
            double py = y + (sy + 0.5) / 16.0 - 8.0;
            if (px * px + py * py <= 64.0)
                ++inside;
        }
    return float(inside) / 256.0f;
}

// ---- Panels and parts ----------------------------------------------------

void FillVertical(cairo_t* cr, double y0, double y1, std::initializer_list<std::pair<double, uint32_t>> stops)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    for (auto& s : stops)
        AddStop(p, s.first, s.second);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void HLine(cairo_t* cr, double x0, double x1, int row, uint32_t rgb, double alpha)
{
    cairo_rectangle(cr, x0, row, x1 - x0, 1);
    SetRgb(cr, rgb, alpha);
    cairo_fill(cr);
}

// An engraved text: a light lip below, the dark letters above.
}  // namespace

void EngravedText(cairo_t* cr, const char* text, double x, double y, double spacing, bool centred, uint32_t ink,
                  double lipAlpha)
{
    double w = TextWidth(cr, text, spacing);
    double left = centred ? x - w / 2.0 : x;
    cairo_new_path(cr);
    TextPath(cr, text, left, y + 1.0, spacing);
    SetRgb(cr, 0xFFFFFF, lipAlpha);
    cairo_fill(cr);
    TextPath(cr, text, left, y, spacing);
    SetRgb(cr, ink);
    cairo_fill(cr);
}

namespace {

// Which words the skin is drawn with: the day album's, or an own album's
// (TRACK on the knob, the two lines bare to be written on).
ESkinWords s_Words = ESkinWords::Day;

void Screw(cairo_t* cr, double x, double y, double angle)
{
    cairo_arc(cr, x, y + 0.8, 5.0, 0, 2 * Pi);
    SetRgb(cr, 0xFFFFFF, 0.55);
    cairo_fill(cr);
    cairo_arc(cr, x, y, 5.0, 0, 2 * Pi);
    SetRgb(cr, 0x4A5056);
    cairo_fill(cr);
    cairo_pattern_t* p = cairo_pattern_create_radial(x - 1.5, y - 1.5, 0.5, x, y, 4.3);
    AddStop(p, 0, 0xF4F6F8);
    AddStop(p, 1, 0x9AA1A8);
    cairo_arc(cr, x, y, 4.2, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_rectangle(cr, -3.4, -0.7, 6.8, 1.4);
    SetRgb(cr, 0x3C4248);
    cairo_fill(cr);
    cairo_restore(cr);
}

// A recessed rounded well: light lip below, dark body, shadow inside the top.
void Well(cairo_t* cr, double x, double y, double w, double h, double r, uint32_t top, uint32_t bottom)
{
    RoundedRect(cr, x, y + 1, w, h, r);
    SetRgb(cr, 0xFFFFFF, 0.45);
    cairo_fill(cr);
    RoundedRect(cr, x, y, w, h, r);
    SetRgb(cr, 0x2E3338);
    cairo_fill(cr);
    RoundedRect(cr, x + 1, y + 1, w - 2, h - 2, r - 1);
    FillVertical(cr, y, y + h, {{0.0, top}, {1.0, bottom}});
    // Inner shadow: the same shape stroked wide, clipped to the inside.
    cairo_save(cr);
    RoundedRect(cr, x + 1, y + 1, w - 2, h - 2, r - 1);
    cairo_clip(cr);
    RoundedRect(cr, x + 1, y + 3, w - 2, h + 4, r);
    cairo_set_line_width(cr, 4.0);
    SetRgb(cr, 0x000000, 0.35);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// One dark button face, 32 x 32 at (x, 361), with its symbol.
enum class ESymbol { Previous, Play, Pause, Next };

void TrackButton(cairo_t* cr, int x, ESymbol symbol)
{
    const double y = 361.0;
    // Seat: a shadow ring above-left, a lit lip below-right.
    RoundedRect(cr, x - 1.5, y - 0.5, 35, 34, 7);  // stays below the window's last row
    SetRgb(cr, 0x2A2F35, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    RoundedRect(cr, x - 0.5, y + 0.5, 33, 33, 6.5);
    SetRgb(cr, 0xFFFFFF, 0.28);
    cairo_stroke(cr);

    RoundedRect(cr, x, y, 32, 32, 6);
    FillVertical(cr, y, y + 32, {{0.0, 0x323840}, {0.5, 0x1A1F25}, {1.0, 0x0B0E12}});
    // Gloss over the upper half.
    cairo_save(cr);
    RoundedRect(cr, x, y, 32, 32, 6);
    cairo_clip(cr);
    RoundedRect(cr, x + 1.5, y + 1.0, 29, 14, 5);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y + 1, 0, y + 15);
    AddStop(g, 0, 0xFFFFFF, 0.14);
    AddStop(g, 1, 0xFFFFFF, 0.03);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);

    const double cx = x + 16.0, cy = y + 16.0;
    auto triangle = [cr](double tipX, double baseX, double cy, double half) {
        cairo_move_to(cr, baseX, cy - half);
        cairo_line_to(cr, tipX, cy);
        cairo_line_to(cr, baseX, cy + half);
        cairo_close_path(cr);
    };
    // Symbols glow faintly, then are drawn crisp on top.
    for (int pass = 0; pass < 2; ++pass)
    {
        cairo_new_path(cr);
        switch (symbol)
        {
        case ESymbol::Previous:
            cairo_rectangle(cr, cx - 7.5, cy - 6.5, 2.5, 13);
            triangle(cx - 5.0, cx + 7.0, cy, 6.5);
            break;
        case ESymbol::Next:
            cairo_rectangle(cr, cx + 5.0, cy - 6.5, 2.5, 13);
            triangle(cx + 5.0, cx - 7.0, cy, 6.5);
            break;
        case ESymbol::Play:
            triangle(cx + 7.5, cx - 5.5, cy, 7.5);
            break;
        case ESymbol::Pause:
            RoundedRect(cr, cx - 6.5, cy - 7.5, 4.5, 15, 1);
            RoundedRect(cr, cx + 2.0, cy - 7.5, 4.5, 15, 1);
            break;
        }
        if (pass == 0)
        {
            SetRgb(cr, 0x9CC8FF, 0.25);
            cairo_set_line_width(cr, 3.0);
            cairo_stroke(cr);
        }
        else
        {
            SetRgb(cr, symbol == ESymbol::Pause ? 0xFFFFFF : 0xE6ECF1);
            cairo_fill(cr);
        }
    }
}

void Speaker(cairo_t* cr)
{
    const double cx = 533.0, cy = 378.0;
    for (int pass = 0; pass < 2; ++pass)
    {
        double dy = pass == 0 ? 1.0 : 0.0;
        cairo_new_path(cr);
        cairo_rectangle(cr, cx - 11, cy - 4 + dy, 5, 8);
        cairo_move_to(cr, cx - 6, cy - 4 + dy);
        cairo_line_to(cr, cx + 1, cy - 10 + dy);
        cairo_line_to(cr, cx + 1, cy + 10 + dy);
        cairo_line_to(cr, cx - 6, cy + 4 + dy);
        cairo_close_path(cr);
        SetRgb(cr, pass == 0 ? 0x30353B : 0xDCE2E7, pass == 0 ? 0.8 : 1.0);
        cairo_fill(cr);
        cairo_set_line_width(cr, 1.7);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (double r : {5.0, 9.0, 13.0})
        {
            cairo_new_path(cr);
            cairo_arc(cr, cx + 1, cy + dy, r, -0.75, 0.75);
            cairo_stroke(cr);
        }
    }
}

void VolumeGroove(CCanvas& canvas)
{
    cairo_t* cr = canvas.m_Cr;
    Well(cr, 564, 366, 200, 28, 14, 0x06080B, 0x1C2228);
    // Faint scale marks along the bottom of the groove.
    for (int i = 0; i <= 10; ++i)
    {
        double x = 578.0 + i * 18.2;
        cairo_rectangle(cr, std::floor(x), 389, 1, i % 5 == 0 ? 3 : 2);
        SetRgb(cr, 0x8FA6BC, 0.28);
        cairo_fill(cr);
    }
    // The rounded start of the filled strip: the end cap mirrored, left of
    // x 574 where the program's strip begins.
    cairo_surface_flush(canvas.m_Surface);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
        {
            float g = s_VolumeGreys[y];
            canvas.BlendPixel(573 - x, 371 + y, g, g, g, CapCoverage(x, y));
        }
}

void EqualiserPanel(cairo_t* cr, double x, int firstBar, int step)
{
    Well(cr, x, 424, 242, 173, 8, 0x080B0F, 0x131920);
    // Unlit segments where the bars' white rows fall, so the panel reads as
    // an LED matrix at rest.
    for (int k = 0; k < 47; ++k)
        for (int y = 432; y <= 591; y += 3)
        {
            cairo_rectangle(cr, firstBar + step * k, y, 4, 1);
            SetRgb(cr, 0x9FC3E6, 0.075);
            cairo_fill(cr);
        }
    // A faint diagonal reflection across the glass.
    cairo_save(cr);
    RoundedRect(cr, x + 1, 425, 240, 171, 7);
    cairo_clip(cr);
    cairo_move_to(cr, x, 425);
    cairo_line_to(cr, x + 150, 425);
    cairo_line_to(cr, x + 60, 597);
    cairo_line_to(cr, x, 597);
    cairo_close_path(cr);
    SetRgb(cr, 0xFFFFFF, 0.025);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Knob(cairo_t* cr)
{
    const double cx = 400.0, cy = 362.0;
    // Drop shadow.
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy + 3, 90, cx, cy + 3, 99);
    AddStop(p, 0, 0x000000, 0.45);
    AddStop(p, 1, 0x000000, 0.0);
    cairo_arc(cr, cx, cy + 3, 99, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    // Polished rim: lit from above.
    p = cairo_pattern_create_linear(0, cy - 94, 0, cy + 94);
    AddStop(p, 0.0, 0xFDFEFF);
    AddStop(p, 0.35, 0xD3D8DD);
    AddStop(p, 0.7, 0x8E969E);
    AddStop(p, 1.0, 0x646B73);
    cairo_arc(cr, cx, cy, 94, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    // Side sheen of the rim.
    p = cairo_pattern_create_linear(cx - 94, 0, cx + 94, 0);
    AddStop(p, 0.0, 0xFFFFFF, 0.0);
    AddStop(p, 0.2, 0xFFFFFF, 0.25);
    AddStop(p, 0.5, 0xFFFFFF, 0.0);
    AddStop(p, 0.8, 0xFFFFFF, 0.18);
    AddStop(p, 1.0, 0xFFFFFF, 0.0);
    cairo_arc(cr, cx, cy, 93, 0, 2 * Pi);
    cairo_arc_negative(cr, cx, cy, 88, 2 * Pi, 0);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_arc(cr, cx, cy, 93.5, 0, 2 * Pi);
    SetRgb(cr, 0x3A4047, 0.7);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    // Bezel: the inner step, lit from below, with one tick per day.
    p = cairo_pattern_create_linear(0, cy - 88, 0, cy + 88);
    AddStop(p, 0.0, 0x4E555D);
    AddStop(p, 1.0, 0xE9EDF0);
    cairo_arc(cr, cx, cy, 88, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 30; ++i)
    {
        double a = -Pi / 2.0 + i * 2.0 * Pi / 30.0;
        double r0 = i % 5 == 0 ? 82.5 : 84.0;
        cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
        cairo_line_to(cr, cx + 86.5 * std::cos(a), cy + 86.5 * std::sin(a));
        SetRgb(cr, 0x1E2328, 0.55);
        cairo_set_line_width(cr, i % 5 == 0 ? 1.6 : 1.0);
        cairo_stroke(cr);
    }

    // Smoked glass.
    p = cairo_pattern_create_radial(cx, cy + 30, 4, cx, cy, 82);
    AddStop(p, 0.0, 0x1E2A36);
    AddStop(p, 0.7, 0x111821);
    AddStop(p, 1.0, 0x06080B);
    cairo_arc(cr, cx, cy, 82, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    cairo_save(cr);
    cairo_arc(cr, cx, cy, 82, 0, 2 * Pi);
    cairo_clip(cr);
    // Light caught in the lower rim of the glass.
    p = cairo_pattern_create_radial(cx, cy + 110, 40, cx, cy + 110, 78);
    AddStop(p, 0.0, 0x68B4FF, 0.30);
    AddStop(p, 1.0, 0x68B4FF, 0.0);
    cairo_rectangle(cr, cx - 90, cy + 30, 180, 60);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    // Inner shadow under the bezel.
    cairo_arc(cr, cx, cy + 2, 84, 0, 2 * Pi);
    cairo_set_line_width(cr, 6.0);
    SetRgb(cr, 0x000000, 0.45);
    cairo_stroke(cr);
    // Specular highlight, kept above the number's rows.
    cairo_save(cr);
    cairo_translate(cr, cx, cy - 56);
    cairo_scale(cr, 62, 25);
    cairo_arc(cr, 0, 0, 1, 0, 2 * Pi);
    cairo_restore(cr);
    p = cairo_pattern_create_linear(0, cy - 81, 0, cy - 31);
    AddStop(p, 0.0, 0xFFFFFF, 0.42);
    AddStop(p, 1.0, 0xFFFFFF, 0.02);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11.0);
    SetRgb(cr, 0x8FA3B6, 0.9);
    CentredText(cr, s_Words == ESkinWords::Own ? "TRACK" : "DAY", cx, 410, 4.0);
}

void TopBand(CCanvas& canvas)
{
    cairo_t* cr = canvas.m_Cr;
    cairo_rectangle(cr, 0, 0, 800, 50);
    FillVertical(cr, 0, 50, {{0.0, 0xF2F4F6}, {0.5, 0xD6DADE}, {1.0, 0xB5BBC1}});
    canvas.Brush(0, 0, 800, 50, 4.0f, 11);
    HLine(cr, 0, 800, 0, 0xFFFFFF, 0.9);
    HLine(cr, 0, 800, 1, 0xFFFFFF, 0.35);
    HLine(cr, 0, 800, 48, 0x000000, 0.12);
    HLine(cr, 0, 800, 49, 0x59606A, 1.0);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 24.0);
    EngravedText(cr, "ORBA", 20, 35, 7.0, false, 0x454C54);
    // Separator groove and the product line.
    cairo_rectangle(cr, 128, 13, 1, 24);
    SetRgb(cr, 0x5C636B, 0.6);
    cairo_fill(cr);
    cairo_rectangle(cr, 129, 13, 1, 24);
    SetRgb(cr, 0xFFFFFF, 0.7);
    cairo_fill(cr);
    cairo_set_font_size(cr, 9.0);
    EngravedText(cr, "MUSIC DISK", 142, 24, 2.4, false, 0x5A626A);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 8.0);
    if (s_Words == ESkinWords::Day)
        EngravedText(cr, "THIRTY DAYS  THIRTY SONGS", 142, 35, 1.6, false, 0x6C747C);

    // Grille on the right.
    for (int i = 0; i < 18; ++i)
    {
        double x = 612 + i * 8;
        RoundedRect(cr, x, 15, 3, 20, 1.5);
        SetRgb(cr, 0xFFFFFF, 0.6);
        cairo_fill(cr);
        RoundedRect(cr, x, 14, 3, 20, 1.5);
        SetRgb(cr, 0x2B3035);
        cairo_fill(cr);
    }
    Screw(cr, 776, 25, 0.6);
    // A small blue status lamp.
    cairo_arc(cr, 584, 25, 3.5, 0, 2 * Pi);
    SetRgb(cr, 0x2B3035);
    cairo_fill(cr);
    cairo_pattern_t* p = cairo_pattern_create_radial(583.3, 24.2, 0.3, 584, 25, 2.8);
    AddStop(p, 0, 0xE8F4FF);
    AddStop(p, 0.4, 0x59A9FF);
    AddStop(p, 1, 0x1F5FB0);
    cairo_arc(cr, 584, 25, 2.7, 0, 2 * Pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    // The dark stripe the description line scrolls along.
    cairo_rectangle(cr, 0, 50, 800, 12);
    FillVertical(cr, 50, 62, {{0.0, 0x020304}, {1.0, 0x0B0E12}});
    HLine(cr, 0, 800, 50, 0x000000, 1.0);
    HLine(cr, 0, 800, 61, 0x23292F, 1.0);
}

void QuitButton(cairo_t* cr)
{
    RoundedRect(cr, 10, 66, 77, 26, 6);
    SetRgb(cr, 0x000000, 0.45);
    cairo_fill(cr);
    RoundedRect(cr, 10, 64, 77, 27, 6);
    SetRgb(cr, 0x2E3339);
    cairo_fill(cr);
    RoundedRect(cr, 11, 65, 75, 25, 5);
    FillVertical(cr, 65, 90, {{0.0, 0xF5F7F9}, {0.5, 0xD3D8DC}, {0.52, 0xC3C9CE}, {1.0, 0xA6ADB4}});
    HLine(cr, 15, 82, 65, 0xFFFFFF, 0.9);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11.0);
    double w = TextWidth(cr, "QUIT", 3.0);
    cairo_new_path(cr);
    TextPath(cr, "QUIT", 48.5 - w / 2.0, 82, 3.0);
    SetRgb(cr, 0xFFFFFF, 0.6);
    cairo_fill(cr);
    TextPath(cr, "QUIT", 48.5 - w / 2.0, 81, 3.0);
    SetRgb(cr, 0x30363C);
    cairo_fill(cr);
}

void ControlBar(CCanvas& canvas, bool pauseSymbol)
{
    cairo_t* cr = canvas.m_Cr;
    cairo_rectangle(cr, 0, 360, 800, 40);
    FillVertical(cr, 360, 400, {{0.0, 0x9BA2A9}, {1.0, 0x737A82}});
    canvas.Brush(0, 360, 800, 400, 4.0f, 23);
    HLine(cr, 0, 800, 360, 0xFFFFFF, 0.55);
    HLine(cr, 0, 800, 399, 0x3F454C, 1.0);

    TrackButton(cr, 72, ESymbol::Previous);
    TrackButton(cr, 136, pauseSymbol ? ESymbol::Pause : ESymbol::Play);
    TrackButton(cr, 196, ESymbol::Next);
    Speaker(cr);
    VolumeGroove(canvas);
}

void BottomDecoration(CCanvas& canvas)
{
    cairo_t* cr = canvas.m_Cr;
    cairo_rectangle(cr, 0, 400, 800, 200);
    FillVertical(cr, 400, 600, {{0.0, 0xE2E6E9}, {0.4, 0xCDD2D6}, {1.0, 0xAEB4BA}});
    canvas.Brush(0, 400, 800, 600, 4.0f, 37);
    HLine(cr, 0, 800, 400, 0xFFFFFF, 0.85);
    HLine(cr, 0, 800, 599, 0x6A7178, 1.0);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 7.5);
    EngravedText(cr, "SPECTRUM  L", 8, 416, 1.8, false, 0x6A727A);
    double w = TextWidth(cr, "R  SPECTRUM", 1.8);
    EngravedText(cr, "R  SPECTRUM", 791 - w, 416, 1.8, false, 0x6A727A);
    EqualiserPanel(cr, 4, 8, 5);
    EqualiserPanel(cr, 553, 557, 5);

    // Centre piece below the knob.
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 30.0);
    double lw = TextWidth(cr, "ORBA", 12.0);
    cairo_new_path(cr);
    TextPath(cr, "ORBA", 400 - lw / 2.0, 511, 12.0);
    SetRgb(cr, 0xFFFFFF, 0.75);
    cairo_fill(cr);
    TextPath(cr, "ORBA", 400 - lw / 2.0, 509.5, 12.0);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 488, 0, 510);
    AddStop(p, 0, 0x39414A);
    AddStop(p, 1, 0x5E6771);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_set_font_size(cr, 8.0);
    if (s_Words == ESkinWords::Day)
        EngravedText(cr, "THIRTY DAYS  \xC2\xB7  THIRTY SONGS", 400, 530, 2.2, true, 0x646C74);

    // Vent slots.
    for (int i = 0; i < 13; ++i)
    {
        double x = 400 - 6 * 8 - 1.5 + i * 8;
        RoundedRect(cr, x, 553, 3, 26, 1.5);
        SetRgb(cr, 0xFFFFFF, 0.6);
        cairo_fill(cr);
        RoundedRect(cr, x, 552, 3, 26, 1.5);
        SetRgb(cr, 0x2F353B);
        cairo_fill(cr);
    }
    Screw(cr, 266, 584, 0.3);
    Screw(cr, 534, 584, 2.1);
    Screw(cr, 266, 416, 1.2);
    Screw(cr, 534, 416, 2.6);
}

// The whole skin; with pauseSymbol the play button carries the pause bars.
CImage DrawSkin(bool pauseSymbol)
{
    CCanvas canvas(1024, 1024);
    TopBand(canvas);
    ControlBar(canvas, pauseSymbol);
    BottomDecoration(canvas);
    QuitButton(canvas.m_Cr);
    Knob(canvas.m_Cr);
    return canvas.ToImage();
}

}  // namespace

CImage DrawSkinWith(ESkinWords words)
{
    s_Words = words;
    CImage skin = DrawSkin(false);
    s_Words = ESkinWords::Day;
    return skin;
}

// ---- Interface -------------------------------------------------------------

CImage BuildInterface()
{
    return DrawSkin(false);
}

CImage BuildPauseIcon()
{
    CImage skin = DrawSkin(true);
    CImage icon(32, 32);
    icon.Blit(skin, 136, 361, 32, 32, 0, 0);
    return icon;
}

// ---- Small images ----------------------------------------------------------

CImage BuildOverlay()
{
    CImage overlay(1024, 1024);
    for (int y = 50; y < 400; ++y)
    {
        // Glare: 105 at the window's top row, 10 by row 107, then a soft tail.
        double glare = 0.0;
        if (y >= 62 && y <= 107)
        {
            double t = (107.0 - y) / 45.0;
            glare = 10.0 + 95.0 * t * t;
        }
        else if (y > 107)
            glare = 10.0 * std::exp(-(y - 107) / 5.0);
        for (int x = 0; x < 800; ++x)
        {
            double grid = (x % 10 == 0 || y % 10 == 0) ? 10.0 : 0.0;
            double a = 255.0 * (1.0 - (1.0 - grid / 255.0) * (1.0 - glare / 255.0));
            long q = std::lround(a);
            if (q > 0)
                overlay.At(x, y) = SRgba{255, 255, 255, uint8_t(q)};
        }
    }
    return overlay;
}

CImage BuildEqualiser()
{
    CImage eq(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            eq.At(x, y) = y == 2 ? SRgba{255, 255, 255, 255} : SRgba{0, 0, 0, 255};
    return eq;
}

CImage BuildVolumeStrip()
{
    CImage strip(1, 16);
    for (int y = 0; y < 16; ++y)
    {
        uint8_t g = s_VolumeGreys[y];
        strip.At(0, y) = SRgba{g, g, g, 255};
    }
    return strip;
}

CImage BuildVolumeEnd()
{
    CImage end(8, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
        {
            uint8_t g = s_VolumeGreys[y];
            long a = std::lround(CapCoverage(x, y) * 255.0f);
            if (a > 0)
                end.At(x, y) = SRgba{g, g, g, uint8_t(a)};
        }
    return end;
}
