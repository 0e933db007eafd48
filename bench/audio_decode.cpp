// The sound library's costs, each against a baseline in the same run:
//   decode  - mp3 through the layer (file callbacks, decoder, resampler) vs
//             libmpg123 alone; reported as seconds of audio per second
//   spectrum - one FSOUND_DSP_GetSpectrum (history copy, window, FFT)
//   delay   - from a click's output to its showing in the spectrum, on the
//             silent output and on SDL's disk driver
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "platform/sound/SoundBench.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::string g_Dir;

std::string MakeMp3(const std::string& name, int rate, int channels, double seconds)
{
    std::string wav = g_Dir + "/" + name + ".wav", mp3 = g_Dir + "/" + name + ".mp3";
    // Pink noise with a chord: as hard on the encoder as dense music.
    std::string make = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " '" + wav +
                       "' synth " + std::to_string(seconds) + " pinknoise synth " + std::to_string(seconds) +
                       " sine mix 220 vol 0.4 && lame --quiet -V 2 '" + wav + "' '" + mp3 + "'";
    if (RunCommand(make) != 0)
        std::fprintf(stderr, "could not make %s\n", mp3.c_str());
    return mp3;
}

void WriteClickWav(const std::string& path)
{
    // 0.3 s of silence, one full-scale sample, 0.3 s of silence; float WAV.
    const uint32_t frames = 26460;
    std::vector<float> data(frames * 2, 0.0f);
    data[13230 * 2] = data[13230 * 2 + 1] = 1.0f;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    uint32_t bytes = frames * 8;
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(3);
    u16(2);
    u32(44100);
    u32(44100 * 8);
    u16(8);
    u16(32);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    std::fwrite(data.data(), 4, data.size(), f);
    std::fclose(f);
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ReportAudioRate(benchmark::State& state, int64_t frames, int rate)
{
    state.counters["audio_s_per_s"] =
        benchmark::Counter(static_cast<double>(frames) / rate * state.iterations(), benchmark::Counter::kIsRate);
}

// ---------------------------------------------------------------- decode

void BM_DecodeMp3_Baseline_Mpg123Alone(benchmark::State& state)
{
    std::string path = MakeMp3("music44", 44100, 2, 10.0);
    int64_t frames = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(frames = SoundBench_DecodeMp3Direct(path.c_str()));
    ReportAudioRate(state, frames, 44100);
}
BENCHMARK(BM_DecodeMp3_Baseline_Mpg123Alone)->Unit(benchmark::kMillisecond);

void BM_DecodeMp3_Layer(benchmark::State& state)
{
    std::string path = MakeMp3("music44", 44100, 2, 10.0);
    int64_t frames = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(frames = FSOUND_Test_DecodeFile(path.c_str(), nullptr, 0));
    ReportAudioRate(state, frames, 44100);
}
BENCHMARK(BM_DecodeMp3_Layer)->Unit(benchmark::kMillisecond);

void BM_DecodeMp3_48k_Baseline_Mpg123Alone(benchmark::State& state)
{
    std::string path = MakeMp3("music48", 48000, 2, 10.0);
    int64_t frames = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(frames = SoundBench_DecodeMp3Direct(path.c_str()));
    ReportAudioRate(state, frames, 48000);
}
BENCHMARK(BM_DecodeMp3_48k_Baseline_Mpg123Alone)->Unit(benchmark::kMillisecond);

void BM_DecodeMp3_48k_Layer_Resampled(benchmark::State& state)
{
    std::string path = MakeMp3("music48", 48000, 2, 10.0);
    int64_t frames = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(frames = FSOUND_Test_DecodeFile(path.c_str(), nullptr, 0));
    ReportAudioRate(state, frames, 44100);
}
BENCHMARK(BM_DecodeMp3_48k_Layer_Resampled)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- spectrum

void BM_Spectrum(benchmark::State& state)
{
    FSOUND_Test_ForceSilentOutput(true);
    FSOUND_Init(44100, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(MakeMp3("music44", 44100, 2, 10.0).c_str(), FSOUND_2D, 0, 0);
    FSOUND_Stream_Play(0, stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (auto _ : state)
        benchmark::DoNotOptimize(FSOUND_DSP_GetSpectrum());
    FSOUND_Close();
    FSOUND_Test_ForceSilentOutput(false);
}
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- delay

// One click: seconds from the moment it reached the output (its block
// handed over, plus its place in the block) to the spectrum first showing
// it (window weight 0.1) and to its peak (centred in the window).
bool MeasureClick(const std::string& path, double* first, double* peak)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    if (!stream)
        return false;
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    double deadline = Now() + 2.0;
    int64_t start = -1;
    while ((start = FSOUND_Test_StreamStartFrame(stream)) < 0 && Now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const int64_t click = start + 13230;
    double outputAt = -1, firstAt = -1, peakAt = -1, peakSum = 0;
    while (Now() < deadline && (peakAt < 0 || Now() < peakAt + 0.05))
    {
        int64_t blockFrame = 0;
        int blockFrames = 0;
        double mixedAt = 0;
        if (outputAt < 0 && FSOUND_Test_OutputClock(&blockFrame, &blockFrames, &mixedAt) && blockFrame <= click &&
            click < blockFrame + blockFrames)
            outputAt = mixedAt + static_cast<double>(click - blockFrame) / 44100.0;
        float* spectrum = FSOUND_DSP_GetSpectrum();
        double now = Now();
        float sum = spectrum ? std::accumulate(spectrum, spectrum + 512, 0.0f) : 0.0f;
        if (sum >= 0.2f && firstAt < 0)
            firstAt = now;
        if (sum > peakSum)
        {
            peakSum = sum;
            peakAt = now;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    FSOUND_Stream_Close(stream);
    if (outputAt < 0 || firstAt < 0)
        return false;
    *first = firstAt - outputAt;
    *peak = peakAt - outputAt;
    return true;
}

void ClickDelay(benchmark::State& state, bool disk)
{
    std::string click = g_Dir + "/click.wav";
    WriteClickWav(click);
    if (disk)
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (g_Dir + "/disk.raw").c_str(), 1);
    }
    FSOUND_Test_ForceSilentOutput(!disk);
    FSOUND_Init(44100, 32, 0);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    double firstTotal = 0, peakTotal = 0, worstFirst = 0;
    int count = 0;
    for (auto _ : state)
    {
        double first = 0, peak = 0;
        if (!MeasureClick(click, &first, &peak))
        {
            state.SkipWithError("click not seen");
            break;
        }
        state.SetIterationTime(first);
        firstTotal += first;
        peakTotal += peak;
        worstFirst = std::max(worstFirst, first);
        ++count;
    }
    if (count > 0)
    {
        state.counters["first_ms"] = firstTotal / count * 1000;
        state.counters["worst_first_ms"] = worstFirst * 1000;
        state.counters["peak_ms"] = peakTotal / count * 1000;
    }
    FSOUND_Close();
    FSOUND_Test_ForceSilentOutput(false);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
}

void BM_ClickToSpectrum_SilentOutput(benchmark::State& state)
{
    ClickDelay(state, false);
}
BENCHMARK(BM_ClickToSpectrum_SilentOutput)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_ClickToSpectrum_DiskOutput(benchmark::State& state)
{
    ClickDelay(state, true);
}
BENCHMARK(BM_ClickToSpectrum_DiskOutput)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
}

int main(int argc, char** argv)
{
    g_Dir = MakeTempDir("bench-audio");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
