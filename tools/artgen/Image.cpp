#include "Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <png.h>

void CImage::Blit(const CImage& from, int sx, int sy, int w, int h, int dx, int dy)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            At(dx + x, dy + y) = from.At(sx + x, sy + y);
}

CCanvas::CCanvas(int width, int height) : m_Width(width), m_Height(height)
{
    m_Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    m_Cr = cairo_create(m_Surface);
    cairo_set_antialias(m_Cr, CAIRO_ANTIALIAS_GOOD);
}

CCanvas::~CCanvas()
{
    cairo_destroy(m_Cr);
    cairo_surface_destroy(m_Surface);
}

CImage CCanvas::ToImage()
{
    // A drawing error leaves cairo's context inert; never write such a picture.
    if (cairo_status(m_Cr) != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "artgen: cairo: %s\n", cairo_status_to_string(cairo_status(m_Cr)));
        std::exit(1);
    }
    cairo_surface_flush(m_Surface);
    const unsigned char* data = cairo_image_surface_get_data(m_Surface);
    int stride = cairo_image_surface_get_stride(m_Surface);
    CImage image(m_Width, m_Height);
    for (int y = 0; y < m_Height; ++y)
    {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < m_Width; ++x)
        {
            uint32_t p = row[x];
            uint32_t a = p >> 24;
            SRgba& o = image.At(x, y);
            o.a = uint8_t(a);
            if (a == 0)
                continue;  // fully transparent texels stay (0, 0, 0, 0)
            auto un = [a](uint32_t c) { return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
            o.r = un((p >> 16) & 0xFF);
            o.g = un((p >> 8) & 0xFF);
            o.b = un(p & 0xFF);
        }
    }
    return image;
}

void CCanvas::BlendPixel(int x, int y, float r, float g, float b, float a)
{
    if (x < 0 || y < 0 || x >= m_Width || y >= m_Height || a <= 0.0f)
        return;
    cairo_surface_flush(m_Surface);
    unsigned char* data = cairo_image_surface_get_data(m_Surface);
    uint32_t* p = reinterpret_cast<uint32_t*>(data + size_t(y) * cairo_image_surface_get_stride(m_Surface)) + x;
    float da = float(*p >> 24) / 255.0f;
    float dr = float((*p >> 16) & 0xFF) / 255.0f;
    float dg = float((*p >> 8) & 0xFF) / 255.0f;
    float db = float(*p & 0xFF) / 255.0f;
    float oa = a + da * (1.0f - a);
    float orr = r / 255.0f * a + dr * (1.0f - a);
    float og = g / 255.0f * a + dg * (1.0f - a);
    float ob = b / 255.0f * a + db * (1.0f - a);
    auto q = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    *p = (q(oa) << 24) | (q(orr) << 16) | (q(og) << 8) | q(ob);
    cairo_surface_mark_dirty(m_Surface);
}

void CCanvas::Brush(int x0, int y0, int x1, int y1, float amount, uint32_t seed)
{
    cairo_surface_flush(m_Surface);
    unsigned char* data = cairo_image_surface_get_data(m_Surface);
    int stride = cairo_image_surface_get_stride(m_Surface);
    const int radius = 12;
    std::vector<float> raw(size_t(x1 - x0 + 2 * radius + 1));
    for (int y = y0; y < y1; ++y)
    {
        // Long horizontal streaks: hash noise smoothed along the row, plus a
        // per-row offset and a little fine grain.
        for (size_t i = 0; i < raw.size(); ++i)
            raw[i] = HashNoise(x0 - radius + int(i), y, seed);
        float rowShift = HashNoise(7, y, seed ^ 0x9E37u) * 0.5f;
        uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = x0; x < x1; ++x)
        {
            uint32_t p = row[x];
            if ((p >> 24) != 255)
                continue;
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k)
                sum += raw[size_t(x - x0 + radius + k)];
            float n = sum / float(2 * radius + 1) * 2.2f + rowShift + HashNoise(x, y, seed + 1) * 0.25f;
            float d = n * amount;
            auto add = [d](uint32_t c) { return uint32_t(std::clamp(std::lround(float(c) + d), 0L, 255L)); };
            row[x] = 0xFF000000u | (add((p >> 16) & 0xFF) << 16) | (add((p >> 8) & 0xFF) << 8) | add(p & 0xFF);
        }
    }
    cairo_surface_mark_dirty(m_Surface);
}

bool WritePng(const std::string& path, const CImage& image, bool alpha)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info)
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    int channels = alpha ? 4 : 3;
    std::vector<png_byte> row(size_t(image.m_Width) * channels);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, image.m_Width, image.m_Height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.m_Height; ++y)
    {
        for (int x = 0; x < image.m_Width; ++x)
        {
            const SRgba& p = image.At(x, y);
            png_byte* o = &row[size_t(x) * channels];
            o[0] = p.r;
            o[1] = p.g;
            o[2] = p.b;
            if (alpha)
                o[3] = p.a;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

float HashNoise(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return float(h & 0xFFFFFF) / float(0xFFFFFF) * 2.0f - 1.0f;
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    const double pi = 3.14159265358979323846;
    r = std::min({r, w / 2.0, h / 2.0});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2.0, 0.0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0.0, pi / 2.0);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2.0, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 1.5 * pi);
    cairo_close_path(cr);
}

void SetRgb(cairo_t* cr, uint32_t rgb, double alpha)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0,
                          alpha);
}

void AddStop(cairo_pattern_t* p, double offset, uint32_t rgb, double alpha)
{
    cairo_pattern_add_color_stop_rgba(p, offset, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                                      (rgb & 0xFF) / 255.0, alpha);
}

namespace {

// Length in bytes of the UTF-8 sequence starting at c.
int Utf8Length(const char* c)
{
    unsigned char b = static_cast<unsigned char>(*c);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
    for (int i = 1; i < n; ++i)
        if (c[i] == 0)
            return i;
    return n;
}

}  // namespace

double TextWidth(cairo_t* cr, const char* text, double letterSpacing)
{
    double w = 0.0;
    int n = 0;
    for (const char* c = text; *c; ++n)
    {
        int len = Utf8Length(c);
        std::string one(c, size_t(len));
        cairo_text_extents_t e;
        cairo_text_extents(cr, one.c_str(), &e);
        w += e.x_advance;
        c += len;
    }
    return n > 0 ? w + letterSpacing * (n - 1) : 0.0;
}

double TextPath(cairo_t* cr, const char* text, double x, double y, double letterSpacing)
{
    double pen = x;
    for (const char* c = text; *c;)
    {
        int len = Utf8Length(c);
        std::string one(c, size_t(len));
        cairo_text_extents_t e;
        cairo_text_extents(cr, one.c_str(), &e);
        cairo_move_to(cr, pen, y);
        cairo_text_path(cr, one.c_str());
        pen += e.x_advance + letterSpacing;
        c += len;
    }
    return pen - x - letterSpacing;
}

void CentredText(cairo_t* cr, const char* text, double x, double y, double letterSpacing)
{
    double w = TextWidth(cr, text, letterSpacing);
    cairo_new_path(cr);
    TextPath(cr, text, x - w / 2.0, y, letterSpacing);
    cairo_fill(cr);
}
