#pragma once
// Pixel buffers of the generator: straight-alpha RGBA images, cairo canvases
// (premultiplied) and the PNG writer. Everything is deterministic: noise
// comes from a hash of the coordinates, never from a clock.
#include <cstdint>
#include <string>
#include <vector>

#include <cairo.h>

struct SRgba
{
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

class CImage
{
public:
    CImage(int width, int height) : m_Width(width), m_Height(height), m_Pixels(size_t(width) * height) {}

    SRgba& At(int x, int y) { return m_Pixels[size_t(y) * m_Width + x]; }
    const SRgba& At(int x, int y) const { return m_Pixels[size_t(y) * m_Width + x]; }

    // Copies a rectangle of another image to (dx, dy).
    void Blit(const CImage& from, int sx, int sy, int w, int h, int dx, int dy);

    int m_Width;
    int m_Height;
    std::vector<SRgba> m_Pixels;
};

// An ARGB32 cairo surface with its context, cleared to alpha 0.
class CCanvas
{
public:
    CCanvas(int width, int height);
    ~CCanvas();
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    // Straight-alpha copy of the surface (colours un-premultiplied, rounded).
    CImage ToImage();
    // Draws a straight-alpha pixel over what is there (source-over).
    void BlendPixel(int x, int y, float r, float g, float b, float a);
    // Adds `amount` (in 0..255 units) to the colour of opaque pixels inside
    // the rectangle: brushed-metal streaks.
    void Brush(int x0, int y0, int x1, int y1, float amount, uint32_t seed);

    cairo_surface_t* m_Surface;
    cairo_t* m_Cr;
    int m_Width;
    int m_Height;
};

// Writes the image as PNG: colour type 6 (RGBA) or, with alpha false, type 2
// (RGB, alpha dropped). False when the file cannot be written.
bool WritePng(const std::string& path, const CImage& image, bool alpha);

// Hash noise in -1..1 for integer coordinates.
float HashNoise(int x, int y, uint32_t seed);

// Small cairo conveniences.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
void SetRgb(cairo_t* cr, uint32_t rgb, double alpha = 1.0);
void AddStop(cairo_pattern_t* p, double offset, uint32_t rgb, double alpha = 1.0);
// Text centred on x with its baseline at y, in the current font.
void CentredText(cairo_t* cr, const char* text, double x, double y, double letterSpacing = 0.0);
// The path of a letter-spaced text starting at (x, y) baseline; returns its width.
double TextPath(cairo_t* cr, const char* text, double x, double y, double letterSpacing);
double TextWidth(cairo_t* cr, const char* text, double letterSpacing);
