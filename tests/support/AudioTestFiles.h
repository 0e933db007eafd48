#pragma once
// Sound files for the audio tests, made on first use (sox, lame, or written
// byte by byte here) into a folder shared by the audio test programs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CTestFile
{
    std::string m_Path;
    int m_Rate = 0;       // the source's own rate
    int64_t m_Frames = 0; // its true length in frames (0 where it has none)
};

// Names: "tone44.wav", "tone44.flac", "tone44.ogg", "short.wav" (0.5 s),
// "cbr.mp3", "vbr_picture.mp3" (200 KB ID3v2 picture and an ID3v1 tag),
// "mono48.mp3", "rate22.mp3", "rate11.mp3", "mono22.wav", "sine1k.wav"
// (full scale), "sine_bin23.wav" (full scale, on bin 23), "sine_bin23_quiet.wav" (the same at 0.05), "silence.wav", "dc.wav" (0.25 constant, 0.5 s),
// "music.wav", "click.wav", "truncated.mp3", "random.bin", "empty.mp3",
// "song.mod", "song_named.mp3" (the module), "mp3_named.xm" (cbr.mp3),
// "dir" (a folder), "noise20.wav" (20 s of pink noise) as "vbr20.mp3",
// "cbr20.mp3", "vbr20_untagged.mp3" (no info tag), "vbr20_vbri.mp3" (the
// untagged one behind a VBRI header), "vbr20_cut.mp3" and "cbr20_cut.mp3"
// (40 % of the file, the tag of the whole kept).
CTestFile TestFile(const std::string& name);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// 32-bit float WAV of interleaved stereo frames.
void WriteFloatWav(const std::string& path, int rate, const std::vector<float>& stereo);
// A 4-channel "M.K." module: one pattern of 16 rows at speed 3 (0.96 s) with
// a square-wave sample on channel 0.
std::vector<uint8_t> MakeModule();

// Polls `done` every few milliseconds for up to `seconds`.
bool WaitFor(const std::function<bool()>& done, double seconds);
void SleepMs(int ms);
double NowSeconds();

// The whole file decoded by the layer at 44100 Hz stereo (empty if refused).
std::vector<float> DecodeAll(const std::string& path);
