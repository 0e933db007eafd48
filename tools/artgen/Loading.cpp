// The loading picture: a title card in the top-left 800 x 600 of a
// 1024 x 1024 image, with the dotted track the progress bar grows over.
#include <cmath>

#include "Skin.h"

namespace {

const double Pi = 3.14159265358979323846;

struct SBall
{
    double x, y, r;
};

// A cluster of glossy spheres: the metaball object at rest.
const SBall s_Balls[] = {
    {400, 214, 62}, {338, 246, 40}, {466, 236, 46}, {372, 176, 30}, {444, 178, 26}, {300, 206, 18}, {508, 196, 16},
};

void Backdrop(cairo_t* cr)
{
    cairo_rectangle(cr, 0, 0, 1024, 1024);
    cairo_set_source_rgb(cr, 0.012, 0.016, 0.027);
    cairo_fill(cr);
    cairo_pattern_t* p = cairo_pattern_create_radial(400, 230, 10, 400, 300, 560);
    AddStop(p, 0.0, 0x1F3654);
    AddStop(p, 0.45, 0x0C1524);
    AddStop(p, 1.0, 0x030407);
    cairo_rectangle(cr, 0, 0, 800, 600);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    // A faint perspective floor grid fading into the distance.
    cairo_save(cr);
    cairo_rectangle(cr, 0, 330, 800, 270);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1.0);
    for (int i = -20; i <= 20; ++i)
    {
        cairo_move_to(cr, 400 + i * 6.0, 330);
        cairo_line_to(cr, 400 + i * 70.0, 600);
    }
    for (int j = 0; j < 12; ++j)
    {
        double t = j / 11.0;
        double y = 330 + 270 * t * t;
        cairo_move_to(cr, 0, std::floor(y) + 0.5);
        cairo_line_to(cr, 800, std::floor(y) + 0.5);
    }
    cairo_pattern_t* fade = cairo_pattern_create_linear(0, 330, 0, 600);
    AddStop(fade, 0.0, 0x5FA8FF, 0.0);
    AddStop(fade, 1.0, 0x5FA8FF, 0.16);
    cairo_set_source(cr, fade);
    cairo_stroke(cr);
    cairo_pattern_destroy(fade);
    cairo_restore(cr);
}

void Spheres(cairo_t* cr)
{
    // Glow behind the cluster.
    cairo_pattern_t* glow = cairo_pattern_create_radial(400, 214, 20, 400, 214, 200);
    AddStop(glow, 0.0, 0x4A9CFF, 0.35);
    AddStop(glow, 1.0, 0x4A9CFF, 0.0);
    cairo_arc(cr, 400, 214, 200, 0, 2 * Pi);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);

    for (const SBall& b : s_Balls)
    {
        // Body: lit from the upper left, cool rim light from below.
        cairo_pattern_t* p =
            cairo_pattern_create_radial(b.x - b.r * 0.35, b.y - b.r * 0.4, b.r * 0.05, b.x, b.y, b.r);
        AddStop(p, 0.0, 0xDDEBFA);
        AddStop(p, 0.25, 0x7E9CC0);
        AddStop(p, 0.7, 0x1E3656);
        AddStop(p, 1.0, 0x0A1220);
        cairo_arc(cr, b.x, b.y, b.r, 0, 2 * Pi);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);

        p = cairo_pattern_create_radial(b.x, b.y + b.r * 0.9, b.r * 0.2, b.x, b.y + b.r * 0.6, b.r * 0.9);
        AddStop(p, 0.0, 0x63B6FF, 0.45);
        AddStop(p, 1.0, 0x63B6FF, 0.0);
        cairo_arc(cr, b.x, b.y, b.r, 0, 2 * Pi);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);

        // Specular spot.
        cairo_save(cr);
        cairo_translate(cr, b.x - b.r * 0.36, b.y - b.r * 0.45);
        cairo_scale(cr, b.r * 0.28, b.r * 0.18);
        cairo_arc(cr, 0, 0, 1, 0, 2 * Pi);
        cairo_restore(cr);
        p = cairo_pattern_create_radial(b.x - b.r * 0.36, b.y - b.r * 0.45, 0, b.x - b.r * 0.36, b.y - b.r * 0.45,
                                        b.r * 0.28);
        AddStop(p, 0.0, 0xFFFFFF, 0.95);
        AddStop(p, 1.0, 0xFFFFFF, 0.0);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    }
}

void Title(cairo_t* cr)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 96.0);
    const double spacing = 22.0, baseline = 386.0;
    double w = TextWidth(cr, "ORBA", spacing);
    double left = 400 - w / 2.0;
    // Soft shadow: the letters stacked at growing offsets, each faint.
    for (int i = 6; i >= 1; --i)
    {
        cairo_new_path(cr);
        TextPath(cr, "ORBA", left + i * 0.5, baseline + i * 1.5, spacing);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
        cairo_fill(cr);
    }
    // Chrome letters: sky above the horizon line, dark ground below.
    cairo_new_path(cr);
    TextPath(cr, "ORBA", left, baseline, spacing);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, baseline - 70, 0, baseline);
    AddStop(p, 0.0, 0xFFFFFF);
    AddStop(p, 0.48, 0xB9CCE2);
    AddStop(p, 0.5, 0x3A4A60);
    AddStop(p, 0.75, 0x8FA6C2);
    AddStop(p, 1.0, 0xE4EEF9);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0.85, 0.93, 1.0, 0.55);
    cairo_stroke(cr);

    cairo_set_font_size(cr, 13.0);
    cairo_set_source_rgba(cr, 0.72, 0.82, 0.94, 0.85);
    CentredText(cr, "MUSIC DISK", 400, 422, 9.0);
    double sub = TextWidth(cr, "MUSIC DISK", 9.0);
    cairo_set_source_rgba(cr, 0.45, 0.66, 0.9, 0.5);
    cairo_rectangle(cr, 400 - sub / 2 - 130, 417, 110, 1);
    cairo_rectangle(cr, 400 + sub / 2 + 20, 417, 110, 1);
    cairo_fill(cr);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10.0);
    cairo_set_source_rgba(cr, 0.55, 0.64, 0.76, 0.8);
    CentredText(cr, "THIRTY DAYS  \xC2\xB7  THIRTY SONGS", 400, 446, 3.0);
}

void ProgressTrack(cairo_t* cr)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 9.0);
    cairo_set_source_rgba(cr, 0.62, 0.74, 0.88, 0.9);
    cairo_new_path(cr);
    TextPath(cr, "LOADING", 42, 512, 3.0);
    cairo_fill(cr);

    // Frame around x 42..760, y 522..526, then the dark bed and its dots.
    cairo_rectangle(cr, 40.5, 520.5, 721, 8);
    cairo_set_source_rgba(cr, 0.42, 0.6, 0.82, 0.45);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_rectangle(cr, 42, 522, 718, 5);
    cairo_set_source_rgb(cr, 0.02, 0.035, 0.06);
    cairo_fill(cr);
    for (int x = 43; x < 759; x += 4)
    {
        cairo_rectangle(cr, x, 523, 2, 3);
        cairo_set_source_rgb(cr, 0.16, 0.25, 0.36);
        cairo_fill(cr);
    }
    // End marks.
    cairo_rectangle(cr, 40, 516, 1, 17);
    cairo_rectangle(cr, 761, 516, 1, 17);
    cairo_set_source_rgba(cr, 0.42, 0.6, 0.82, 0.7);
    cairo_fill(cr);
}

}  // namespace

CImage BuildLoading()
{
    CCanvas canvas(1024, 1024);
    cairo_t* cr = canvas.m_Cr;
    Backdrop(cr);
    Spheres(cr);
    Title(cr);
    ProgressTrack(cr);
    return canvas.ToImage();
}
