#pragma once
// The recorder's file: video frames of the show and the mixed sound, encoded
// into a film by what the name ends with (.mp4/.mkv H.264 with AAC, .webm VP9
// with Opus, lossless FFV1 with FLAC in .mkv). The film is written under a
// temporary name beside the final one and renamed only when finished, so an
// existing file is never left half-overwritten. Called from the main thread
// only; the file scales and encodes on a worker thread of its own, so a
// write returns once its frame or sound is copied, and a failure on the
// worker is said by the next write or by FinishRecordFile.
#include <cstdint>
#include <string>

struct SRecordOptions
{
    std::string m_Path;
    int m_Width = 1920;      // the film's frame; the show is scaled into it with its aspect kept
    int m_Height = 1080;
    int m_Fps = 60;
    bool m_Lossless = false;
    int m_SourceWidth = 800; // the frames handed to WriteRecordVideo
    int m_SourceHeight = 600;
};

constexpr int RecordAudioRate = 44100;
constexpr int RecordMinSide = 16;
constexpr int RecordMaxSide = 8192;
constexpr int RecordMaxFps = 240;

class CRecordFile;

// Whether the options can be recorded at all (extension, size, rate), before
// anything opens. False, with `why`.
bool CheckRecordOptions(const SRecordOptions& options, std::string* why);
// The name the film is written under until it is finished: beside `path`, so
// the rename at the end stays within one file system.
std::string RecordTempPath(const std::string& path);

// Null, with `why`, when the encoders or the file cannot be opened.
CRecordFile* OpenRecordFile(const SRecordOptions& options, std::string* why);
// One frame of m_SourceWidth × m_SourceHeight 0xAARRGGBB pixels, rows top down.
bool WriteRecordVideo(CRecordFile* file, const uint32_t* argb, std::string* why);
// Stereo float frames at RecordAudioRate.
bool WriteRecordAudio(CRecordFile* file, const float* stereo, int frames, std::string* why);
// Flushes the encoders, closes the film and renames it to its final name.
// Frees `file` either way; on failure the temporary file is removed.
bool FinishRecordFile(CRecordFile* file, std::string* why);
// Frees `file` and removes its temporary file.
void AbandonRecordFile(CRecordFile* file);
