// Writes small Protracker modules for the audio fuzz corpus:
//   SeedModule OUT.mod 4|8 [loop]
// 4 channels ("M.K.") or 8 ("8CHN"), one or two patterns with a square and a
// saw sample, a few effects; "loop" ends on a jump back to the first order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
void Put16(std::vector<uint8_t>& b, size_t at, int v)
{
    b[at] = static_cast<uint8_t>(v >> 8);  // big-endian words
    b[at + 1] = static_cast<uint8_t>(v);
}
}

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s OUT.mod 4|8 [loop]\n", argv[0]);
        return 2;
    }
    const int channels = std::atoi(argv[2]) == 8 ? 8 : 4;
    const bool loop = argc > 3 && std::strcmp(argv[3], "loop") == 0;
    const int patterns = 2;
    const int sampleWords = 16;
    const size_t patternBytes = size_t(64) * channels * 4;
    std::vector<uint8_t> mod(1084 + patternBytes * patterns + 2 * sampleWords * 2, 0);

    std::memcpy(mod.data(), "orba seed", 9);
    for (int s = 0; s < 31; ++s)
    {
        const size_t h = 20 + size_t(s) * 30;
        if (s < 2)
        {
            std::memcpy(&mod[h], s == 0 ? "square" : "saw", s == 0 ? 6 : 3);
            Put16(mod, h + 22, sampleWords);
            mod[h + 25] = 48;
            Put16(mod, h + 26, 0);
            Put16(mod, h + 28, sampleWords);  // loops over the whole sample
        }
        else
        {
            Put16(mod, h + 28, 1);
        }
    }
    mod[950] = 3;  // orders: 0 1 0
    mod[951] = 127;
    mod[952] = 0;
    mod[953] = 1;
    mod[954] = 0;
    std::memcpy(&mod[1080], channels == 8 ? "8CHN" : "M.K.", 4);

    auto cell = [&](int pattern, int row, int channel, int sample, int period, int effect, int param) {
        const size_t at = 1084 + pattern * patternBytes + (size_t(row) * channels + channel) * 4;
        mod[at] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
        mod[at + 1] = static_cast<uint8_t>(period);
        mod[at + 2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | effect);
        mod[at + 3] = static_cast<uint8_t>(param);
    };
    cell(0, 0, 0, 1, 428, 0xF, 3);     // C-3, speed 3
    cell(0, 0, 1, 2, 214, 0x0, 0x37);  // C-4 arpeggio
    cell(0, 4, 1, 0, 0, 0xA, 0x02);    // volume slide down
    cell(0, 8, channels - 1, 2, 856, 0x1, 0x04);  // C-2 portamento up
    cell(0, 15, 0, 0, 0, 0xD, 0);      // pattern break
    cell(1, 0, 0, 1, 320, 0x4, 0x46);  // vibrato
    cell(1, 2, 2, 2, 240, 0xC, 0x20);  // set volume
    cell(1, 7, 0, 0, 0, loop ? 0xB : 0xD, 0);  // jump to order 0, or break
    const size_t samples = 1084 + patternBytes * patterns;
    for (int i = 0; i < sampleWords * 2; ++i)
    {
        mod[samples + i] = static_cast<uint8_t>(i < sampleWords ? 60 : -60);
        mod[samples + sampleWords * 2 + i] = static_cast<uint8_t>(i * 8 - 128);
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(mod.data(), 1, mod.size(), out) != mod.size() || std::fclose(out) != 0)
    {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
