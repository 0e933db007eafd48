// Any image as the music disk's font strip: glyph runs scanned out of it,
// then a fixed text measured and drawn with the font found, on the
// recording device.
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzFontPath.h"
#include "support/RecordingDevice.h"

namespace
{
CRecordingDevice* s_Device = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    s_Device = InstallRecordingDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    float width = 0.0f;
    if (const char* problem = ExerciseFontScan(data, size, &width))
    {
        std::fprintf(stderr, "fuzz_font_scan: %s\n", problem);
        std::abort();
    }
    s_Device->ClearLog();
    return 0;
}
