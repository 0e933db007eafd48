// Any bytes as a sound file: loaded the way the player loads a track (module
// first, then stream), played through the silent output for 300 ms of
// audio, timed, stopped and freed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "fuzz/FuzzPaths.h"

namespace
{
std::string s_Path;

void RemoveInputFile()
{
    std::remove(s_Path.c_str());
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // One input file per process: parallel fuzzing jobs must not share it.
    const char* tmp = std::getenv("TMPDIR");
    s_Path = std::string(tmp && *tmp ? tmp : "/tmp") + "/orba-fuzz-audio-" + std::to_string(getpid()) + ".bin";
    std::atexit(RemoveInputFile);
    // The silent output, 100 times faster than real time: 300 ms of audio
    // costs about 3 ms of wall time.
    FSOUND_Test_ForceSilentOutput(true);
    FSOUND_Test_SetSilentSpeed(100.0);
    if (!FSOUND_Init(44100, 32, 0))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(s_Path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();
    SAudioOutcome outcome;
    if (const char* problem = ExerciseAudioFile(s_Path.c_str(), 44100 * 3 / 10, &outcome))
    {
        std::fprintf(stderr, "fuzz_audio_load: %s\n", problem);
        std::abort();
    }
    return 0;
}
