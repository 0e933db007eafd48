// Any bytes as a PNG image: decoded into ARGB texels and made into a texture
// on the recording device, as the loader makes the interface images.
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzPaths.h"
#include "support/RecordingDevice.h"

namespace
{
CRecordingDevice* s_Device = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    s_Device = new CRecordingDevice;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (const char* problem = ExercisePngTexture(s_Device, data, size))
    {
        std::fprintf(stderr, "fuzz_png_texture: %s\n", problem);
        std::abort();
    }
    s_Device->ClearLog();
    return 0;
}
