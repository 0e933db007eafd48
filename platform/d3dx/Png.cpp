// PNG decoding for textures: any PNG libpng reads, expanded to 8-bit RGBA
// and packed as 32-bit ARGB texels, rows top to bottom.
//
// Input is untrusted: reads are bounds-checked against the buffer, sizes are
// capped, benign errors count as errors and the stream must end in a valid
// IEND, so a truncated or damaged file is refused instead of half-decoded.
#include "platform/D3DX9.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <png.h>

namespace {

constexpr png_uint_32 MaxSide = 8192;
// Deflate cannot expand data by more than about 1032:1, so an image whose
// rows need far more bytes than the file holds cannot be complete; refusing
// it early avoids allocating for a header that lies.
constexpr size_t MaxInflation = 1100;

struct SPngSource
{
    const unsigned char* m_Data;
    size_t m_Size;
    size_t m_Offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<SPngSource*>(png_get_io_ptr(png));
    if (count > source->m_Size - source->m_Offset)
        png_error(png, "truncated");
    std::memcpy(out, source->m_Data + source->m_Offset, count);
    source->m_Offset += count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp)
{
}

}  // namespace

bool DecodePngArgb(const void* data, size_t size, uint32_t* width, uint32_t* height, uint32_t** argb)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (argb)
        *argb = nullptr;
    if (!data || !width || !height || !argb || size < 8 ||
        png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0)
        return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info)
    {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }

    SPngSource source{static_cast<const unsigned char*>(data), size, 0};
    // Written after setjmp and read after a longjmp: volatile.
    uint32_t* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png)))
    {
        std::free(rows);
        std::free(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    png_set_read_fn(png, &source, ReadFromMemory);
    png_set_user_limits(png, MaxSide, MaxSide);
    png_set_chunk_malloc_max(png, 16u << 20);
    png_set_benign_errors(png, 0);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (w == 0 || h == 0 || w > MaxSide || h > MaxSide)
        png_error(png, "size");
    size_t rawRow = (size_t(w) * png_get_channels(png, info) * size_t(depth) + 7) / 8 + 1;
    if (rawRow * h > size * MaxInflation + 4096)
        png_error(png, "more pixels than data");

    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparency)
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_scale_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(colour & PNG_COLOR_MASK_ALPHA) && !transparency)
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4 || png_get_bit_depth(png, info) != 8)
        png_error(png, "unexpected layout");

    pixels = static_cast<uint32_t*>(std::malloc(size_t(w) * h * 4));
    rows = static_cast<png_bytep*>(std::malloc(size_t(h) * sizeof(png_bytep)));
    if (!pixels || !rows)
        png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < h; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels + size_t(y) * w);
    png_read_image(png, rows);
    png_read_end(png, nullptr);

    // R, G, B, A bytes become one ARGB value, in place.
    uint32_t* out = pixels;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(out);
    for (size_t i = 0, n = size_t(w) * h; i < n; ++i)
    {
        const unsigned char* t = bytes + i * 4;
        uint32_t value = uint32_t(t[3]) << 24 | uint32_t(t[0]) << 16 | uint32_t(t[1]) << 8 | uint32_t(t[2]);
        out[i] = value;
    }

    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    *width = w;
    *height = h;
    *argb = out;
    return true;
}

void FreePngArgb(uint32_t* argb)
{
    std::free(argb);
}
