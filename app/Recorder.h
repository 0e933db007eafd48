#pragma once
// orba --record: the show run offscreen, frame by frame on a clock of exactly
// 1/fps, its sound pulled from the sound library for each frame, both
// encoded into a film. Main thread only (SIGINT only sets a flag).
#include <cstdint>
#include <string>

#include "platform/record/Record.h"

struct SCommandLine;

struct SRecordRequest
{
    SRecordOptions m_Options;
    int m_FirstDay = 1;   // 1 based, inclusive
    int m_LastDay = 0;    // 0: the album's last
};

// The recording the command line asks for, checked as far as it can be
// before the album is known. False, with `why`.
bool ParseRecordRequest(const SCommandLine& line, SRecordRequest* request, std::string* why);
// "A-B" (or "A"): 1 <= A <= B. False for anything else.
bool ParseDays(const std::string& text, int* first, int* last);

// The audio frames (at RecordAudioRate) before video frame `frame`: each
// frame gets 44100 / fps of them, the fraction carried to the next.
int64_t AudioFramesBefore(int64_t frame, int fps);

// The progress line's figures.
struct SRecordProgress
{
    int m_Percent = 0;
    double m_Speed = 0.0;        // show seconds per wall second
    double m_SecondsLeft = 0.0;  // wall seconds, at that speed
};
SRecordProgress MeasureProgress(int64_t done, int64_t total, int fps, double wallSeconds);
// "\r 42%  1234/2940 frames  1.8x real time  0:25 left" (padded, no newline).
std::string FormatProgress(int64_t done, int64_t total, const SRecordProgress& progress);

// Whether the command line asks for a recording (or for any of its settings).
bool WantsRecording(const SCommandLine& line);
// Runs the recording; returns the process exit code (0 done, 1 failed,
// 2 refused before anything opened).
int RunRecording(const SCommandLine& line);
