// Streams on the real sound library: lengths, playback to the end, stop,
// loops, positions, resampling, damaged files, file callbacks.
#include "support/SoundFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace
{
struct CLengthCase
{
    const char* m_Name;
};

// Zero crossings (upward) per second of the left channel between frames.
double MeasuredFrequency(const std::vector<float>& stereo, size_t from, size_t to)
{
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        if (stereo[(i - 1) * 2] < 0.0f && stereo[i * 2] >= 0.0f)
            ++crossings;
    return crossings * 44100.0 / static_cast<double>(to - from);
}

// Captured output from the first to the last frame above `floor`.
std::pair<size_t, size_t> AudibleSpan(const std::vector<float>& stereo, float floor)
{
    size_t frames = stereo.size() / 2, first = frames, last = 0;
    for (size_t i = 0; i < frames; ++i)
        if (std::fabs(stereo[i * 2]) > floor || std::fabs(stereo[i * 2 + 1]) > floor)
        {
            first = std::min(first, i);
            last = i;
        }
    return {first, last + 1};
}

std::vector<float> DrainCapture()
{
    std::vector<float> all, block(4096 * 2);
    while (int n = FSOUND_Test_ReadOutput(block.data(), 4096))
        all.insert(all.end(), block.begin(), block.begin() + n * 2);
    return all;
}
}

TEST_F(SilentSoundTest, LengthIsWithinAMillisecondOfTheTrueDurationForEveryFormat)
{
    for (const char* name : {"cbr.mp3", "vbr_picture.mp3", "mono48.mp3", "rate22.mp3", "rate11.mp3", "tone44.wav",
                             "tone44.flac", "tone44.ogg", "mono22.wav"})
    {
        CTestFile file = TestFile(name);
        FSOUND_STREAM* stream = FSOUND_Stream_Open(file.m_Path.c_str(), FSOUND_LOOP_NORMAL | FSOUND_2D, 0, 0);
        ASSERT_NE(stream, nullptr) << name;
        double trueMs = file.m_Frames * 1000.0 / file.m_Rate;
        EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), trueMs, 1.0) << name;
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0) << name;
        FSOUND_Stream_Close(stream);
    }
}

TEST_F(SilentSoundTest, EveryFormatDecodesToTheRightNumberOfOutputFrames)
{
    // Speed: a file of N frames at rate r lasts N × 44100 / r output frames.
    for (const char* name : {"cbr.mp3", "vbr_picture.mp3", "mono48.mp3", "rate22.mp3", "rate11.mp3", "tone44.flac",
                             "tone44.ogg", "mono22.wav"})
    {
        CTestFile file = TestFile(name);
        double expected = std::ceil(file.m_Frames * 44100.0 / file.m_Rate);
        EXPECT_NEAR(static_cast<double>(FSOUND_Test_DecodeFile(file.m_Path.c_str(), nullptr, 0)), expected, 1.0)
            << name;
    }
}

TEST_F(SilentSoundTest, ResampledFilesKeepTheirPitchAndMonoFillsBothSides)
{
    // 1 kHz tones at 48000 (mp3), 22050 (mp3, stereo) and 22050 Hz (WAV, mono).
    for (const char* name : {"mono48.mp3", "rate22.mp3", "mono22.wav"})
    {
        std::vector<float> out = DecodeAll(TestFile(name).m_Path);
        ASSERT_GT(out.size(), 44100u) << name;
        size_t frames = out.size() / 2;
        EXPECT_NEAR(MeasuredFrequency(out, frames / 10, frames * 9 / 10), 1000.0, 5.0) << name;
        float peak = 0, sideDifference = 0;
        for (size_t i = frames / 10; i < frames * 9 / 10; ++i)
        {
            peak = std::max(peak, std::fabs(out[i * 2]));
            sideDifference = std::max(sideDifference, std::fabs(out[i * 2] - out[i * 2 + 1]));
        }
        // Level kept (vol 0.5 at the source), and no aliasing mush.
        EXPECT_NEAR(peak, 0.5f, 0.03f) << name;
        if (std::string(name).find("mono") == 0)
        {
            EXPECT_EQ(sideDifference, 0.0f) << name;
        }
    }
}

TEST_F(SilentSoundTest, StreamPlayedOnceRaisesItsEndCallbackOnceAtItsEnd)
{
    CTestFile file = TestFile("cbr.mp3");
    FSOUND_STREAM* stream = FSOUND_Stream_Open(file.m_Path.c_str(), FSOUND_LOOP_NORMAL | FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    CEndCount ends;
    FSOUND_Stream_SetLoopCount(stream, 0);
    double start = NowSeconds();
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, &ends);
    SleepMs(500);
    int midway = FSOUND_Stream_GetTime(stream);
    EXPECT_GT(midway, 350);
    EXPECT_LT(midway, 650);
    EXPECT_EQ(ends.m_Count.load(), 0);
    ASSERT_TRUE(WaitFor([&] { return ends.m_Count.load() > 0; }, 5.0));
    // Not before its last sample could have been played (one silent block,
    // 11.6 ms, is mixed ahead).
    EXPECT_GE(ends.m_When.load() - start, 1.5 - 0.03);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1500);
    SleepMs(100);
    EXPECT_EQ(ends.m_Count.load(), 1);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, StopRaisesNoEndAndKeepsThePlaceReached)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(TestFile("short.wav").m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    CEndCount ends;
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, &ends);
    SleepMs(200);
    FSOUND_Stream_Stop(stream);
    int stoppedAt = FSOUND_Stream_GetTime(stream);
    EXPECT_GT(stoppedAt, 100);
    EXPECT_LT(stoppedAt, 400);
    SleepMs(600); // past where the end would have been
    EXPECT_EQ(ends.m_Count.load(), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), stoppedAt);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, LoopingStreamNeverEndsAndItsTimeWraps)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(TestFile("short.wav").m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    CEndCount ends;
    FSOUND_Stream_SetLoopCount(stream, -1);
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, &ends);
    FSOUND_Test_CaptureOutput(44100 * 2);
    int maxTime = 0;
    bool wrapped = false;
    double end = NowSeconds() + 1.4;
    while (NowSeconds() < end)
    {
        int t = FSOUND_Stream_GetTime(stream);
        EXPECT_LE(t, 500);
        wrapped |= t < maxTime - 100;
        maxTime = std::max(maxTime, t);
        SleepMs(10);
    }
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(ends.m_Count.load(), 0);
    // The loop is seamless: no run of silence in the middle of the output.
    std::vector<float> out = DrainCapture();
    auto span = AudibleSpan(out, 0.0f);
    ASSERT_LT(span.first, span.second);
    int quietRun = 0, longestQuiet = 0;
    for (size_t i = span.first; i < span.second; ++i)
    {
        quietRun = std::fabs(out[i * 2]) < 1e-4f ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
    }
    EXPECT_LT(longestQuiet, 4);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, SetPositionRestoresWhatGetPositionReported)
{
    FSOUND_STREAM* stream = FSOUND_Stream_Open(TestFile("cbr.mp3").m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    SleepMs(400);
    unsigned int position = FSOUND_Stream_GetPosition(stream);
    int time = FSOUND_Stream_GetTime(stream);
    EXPECT_GT(position, 0u);
    FSOUND_Stream_Stop(stream);
    FSOUND_Stream_Play(0, stream);
    ASSERT_TRUE(FSOUND_Stream_SetPosition(stream, position));
    // It plays on between the calls: allow 10 ms of it (a slow sanitiser
    // build), far less than the block a misplaced restart would be out by.
    const unsigned int restored = FSOUND_Stream_GetPosition(stream);
    EXPECT_GE(restored, position);
    EXPECT_LE(restored, position + 441);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), time, 10);
    SleepMs(300);
    // And plays on from there.
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), time + 300, 80);
    // A position set while stopped is where the next play starts.
    FSOUND_Stream_Stop(stream);
    FSOUND_Stream_SetPosition(stream, 44100);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1000);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, ResampledStreamPlaysAtTheRightSpeedAndPitch)
{
    CTestFile file = TestFile("mono48.mp3");
    FSOUND_STREAM* stream = FSOUND_Stream_Open(file.m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    CEndCount ends;
    FSOUND_Test_CaptureOutput(44100 * 4);
    FSOUND_Stream_SetLoopCount(stream, 0);
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, &ends);
    ASSERT_TRUE(WaitFor([&] { return ends.m_Count.load() > 0; }, 5.0));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1250);
    SleepMs(50);
    std::vector<float> out = DrainCapture();
    auto span = AudibleSpan(out, 0.02f);
    ASSERT_LT(span.first, span.second);
    // 1.25 s of tone: 55125 frames at 44100 Hz (the envelope of the mp3
    // codec blurs the edges by a few ms).
    EXPECT_NEAR(static_cast<double>(span.second - span.first), 55125.0, 500.0);
    EXPECT_NEAR(MeasuredFrequency(out, span.first + 2000, span.second - 2000), 1000.0, 5.0);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, TruncatedMp3PlaysWhatItHasThenEnds)
{
    CTestFile file = TestFile("truncated.mp3");
    int64_t frames = FSOUND_Test_DecodeFile(file.m_Path.c_str(), nullptr, 0);
    ASSERT_GT(frames, 0);
    EXPECT_LT(frames, 66150);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(file.m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    CEndCount ends;
    FSOUND_Stream_SetLoopCount(stream, 0);
    double start = NowSeconds();
    FSOUND_Stream_Play(0, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, &ends);
    ASSERT_TRUE(WaitFor([&] { return ends.m_Count.load() > 0; }, 4.0));
    EXPECT_GE(ends.m_When.load() - start, frames / 44100.0 - 0.03);
    FSOUND_Stream_Close(stream);
}

TEST_F(SilentSoundTest, Mp3WithoutATrustworthyTagIsAsLongAsItDecodes)
{
    // No info tag (libmpg123 guesses from the first frame's bitrate), a VBRI
    // header libmpg123 does not read, and files cut to 40 % whose tag still
    // claims 20 s. The length is what the file really holds, in
    // milliseconds about:
    const std::pair<const char*, double> cases[] = {
        {"vbr20_untagged.mp3", 20036}, // the codec's delay and padding kept
        {"vbr20_vbri.mp3", 20062},     // and a silent frame for the header
        {"vbr20_cut.mp3", 7916},
        {"cbr20_cut.mp3", 7968}};
    for (const auto& [name, aboutMs] : cases)
    {
        std::string path = TestFile(name).m_Path;
        double decodedMs = FSOUND_Test_DecodeFile(path.c_str(), nullptr, 0) * 1000.0 / 44100.0;
        EXPECT_NEAR(decodedMs, aboutMs, 20.0) << name;
        FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), decodedMs, 1.0) << name;
        FSOUND_Stream_Close(stream);
    }
}

TEST_F(SilentSoundTest, FilesThatAreNoStreamAreRefused)
{
    for (const char* name : {"random.bin", "empty.mp3", "dir", "song.mod"})
    {
        EXPECT_EQ(FSOUND_Stream_Open(TestFile(name).m_Path.c_str(), FSOUND_2D, 0, 0), nullptr) << name;
    }
    EXPECT_EQ(FSOUND_Stream_Open("/no/such/file.mp3", FSOUND_2D, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(nullptr, FSOUND_2D, 0, 0), nullptr);
    for (const char* name : {"random.bin", "empty.mp3", "dir", "cbr.mp3", "tone44.wav", "mp3_named.xm"})
        EXPECT_EQ(FMUSIC_LoadSong(TestFile(name).m_Path.c_str()), nullptr) << name;
    // Calls on nothing do nothing.
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
    EXPECT_EQ(FSOUND_Stream_GetTime(nullptr), 0);
    EXPECT_EQ(FSOUND_Stream_Close(nullptr), 0);
    EXPECT_EQ(FMUSIC_IsFinished(nullptr), 0);
}

namespace
{
// Callbacks over stdio that answer to "virtual:<name>" only, so a file that
// opens proves every access went through them.
std::map<std::string, std::string>* g_VirtualFiles = nullptr;
std::atomic<int> g_VirtualReads{0};

void* VirtualOpen(const char* name)
{
    auto it = g_VirtualFiles->find(name);
    return it == g_VirtualFiles->end() ? nullptr : std::fopen(it->second.c_str(), "rb");
}

void VirtualClose(void* handle)
{
    std::fclose(static_cast<FILE*>(handle));
}

int VirtualRead(void* buffer, int size, void* handle)
{
    g_VirtualReads.fetch_add(1);
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<FILE*>(handle)));
}

int VirtualSeek(void* handle, int pos, signed char mode)
{
    return std::fseek(static_cast<FILE*>(handle), pos, mode);
}

int VirtualTell(void* handle)
{
    return static_cast<int>(std::ftell(static_cast<FILE*>(handle)));
}
}

TEST_F(SilentSoundTest, EveryFileIsReadThroughTheRegisteredCallbacks)
{
    std::map<std::string, std::string> files = {{"virtual:mp3", TestFile("vbr_picture.mp3").m_Path},
                                                {"virtual:ogg", TestFile("tone44.ogg").m_Path},
                                                {"virtual:flac", TestFile("tone44.flac").m_Path},
                                                {"virtual:mod", TestFile("song.mod").m_Path}};
    g_VirtualFiles = &files;
    FSOUND_File_SetCallbacks(VirtualOpen, VirtualClose, VirtualRead, VirtualSeek, VirtualTell);
    for (const char* name : {"virtual:mp3", "virtual:ogg", "virtual:flac"})
    {
        FSOUND_STREAM* stream = FSOUND_Stream_Open(name, FSOUND_2D, 0, 0);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_NEAR(FSOUND_Stream_GetLengthMs(stream), 1500, 1) << name;
        // Decoding on the library's thread reads through them too.
        int readsBefore = g_VirtualReads.load();
        FSOUND_Stream_Play(0, stream);
        EXPECT_TRUE(WaitFor([&] { return g_VirtualReads.load() > readsBefore; }, 2.0)) << name;
        FSOUND_Stream_Close(stream);
    }
    FMUSIC_MODULE* module = FMUSIC_LoadSong("virtual:mod");
    EXPECT_NE(module, nullptr);
    FMUSIC_FreeSong(module);
    EXPECT_EQ(FSOUND_Stream_Open(TestFile("cbr.mp3").m_Path.c_str(), FSOUND_2D, 0, 0), nullptr);
    FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    g_VirtualFiles = nullptr;
}

TEST_F(SilentSoundTest, CutMp3StartsWhereTheWholeFileDoes)
{
    // The same frames decode to the same samples: the codec's delay at the
    // start is skipped in both, and nothing else.
    for (const char* name : {"vbr20_cut.mp3", "cbr20_cut.mp3"})
    {
        std::vector<float> cut = DecodeAll(TestFile(name).m_Path);
        std::vector<float> whole = DecodeAll(TestFile(std::string(name).substr(0, 5) + ".mp3").m_Path);
        ASSERT_GT(cut.size(), 44100u * 2 * 5) << name;
        ASSERT_GT(whole.size(), cut.size()) << name;
        float worst = 0;
        for (size_t i = 0; i < 44100 * 2 * 5; ++i)
            worst = std::max(worst, std::fabs(cut[i] - whole[i]));
        EXPECT_LT(worst, 1e-6f) << name;
    }
}

TEST_F(SilentSoundTest, CutMp3PlaysFromAPositionWhatTheWholeFileHasThere)
{
    const unsigned int at = 44100 * 3;
    std::vector<float> whole = DecodeAll(TestFile("vbr20.mp3").m_Path);
    ASSERT_GT(whole.size(), (at + 44100) * 2u);
    ASSERT_NE(whole[at * 2], 0.0f);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(TestFile("vbr20_cut.mp3").m_Path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_SetLoopCount(stream, 0);
    ASSERT_TRUE(FSOUND_Stream_SetPosition(stream, at));
    FSOUND_Test_CaptureOutput(44100 * 2);
    FSOUND_Stream_Play(0, stream);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(stream) >= 3300; }, 3.0));
    std::vector<float> out = DrainCapture();
    FSOUND_Stream_Close(stream);
    // Silence until the stream's first frame, the noise at 3 s.
    size_t first = 0;
    while (first < out.size() / 2 && out[first * 2] == 0.0f)
        ++first;
    ASSERT_LT(first + 11025, out.size() / 2);
    float worst = 0;
    for (size_t i = 0; i < 11025 * 2; ++i)
        worst = std::max(worst, std::fabs(out[first * 2 + i] - whole[at * 2 + i]));
    EXPECT_LT(worst, 1e-6f);
}

TEST_F(SilentSoundTest, WholeTaggedMp3IsOpenedWithoutReadingItThrough)
{
    // Its info tag's count is exact: opening reads the head of the file, not
    // its 767 frames one by one as a scan does.
    std::map<std::string, std::string> files = {{"virtual:vbr", TestFile("vbr20.mp3").m_Path},
                                                {"virtual:cbr", TestFile("cbr20.mp3").m_Path}};
    g_VirtualFiles = &files;
    FSOUND_File_SetCallbacks(VirtualOpen, VirtualClose, VirtualRead, VirtualSeek, VirtualTell);
    for (const char* name : {"virtual:vbr", "virtual:cbr"})
    {
        int readsBefore = g_VirtualReads.load();
        FSOUND_STREAM* stream = FSOUND_Stream_Open(name, FSOUND_2D, 0, 0);
        ASSERT_NE(stream, nullptr) << name;
        EXPECT_LT(g_VirtualReads.load() - readsBefore, 100) << name;
        EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 20000) << name;
        FSOUND_Stream_Close(stream);
    }
    FSOUND_File_SetCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    g_VirtualFiles = nullptr;
}

TEST_F(SilentSoundTest, TwoStreamsMixTogether)
{
    // A constant 0.25 twice: 0.5 wherever both play, whatever their offset.
    std::string path = TestFile("dc.wav").m_Path;
    FSOUND_STREAM* a = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    FSOUND_STREAM* b = FSOUND_Stream_Open(path.c_str(), FSOUND_2D, 0, 0);
    ASSERT_TRUE(a && b);
    FSOUND_Test_CaptureOutput(44100 * 2);
    FSOUND_Stream_Play(0, a);
    FSOUND_Stream_Play(0, b);
    ASSERT_TRUE(WaitFor([&] { return FSOUND_Stream_GetTime(a) >= 500 && FSOUND_Stream_GetTime(b) >= 500; }, 3.0));
    SleepMs(50);
    std::vector<float> out = DrainCapture();
    int both = 0, one = 0;
    for (size_t i = 0; i < out.size(); ++i)
    {
        if (std::fabs(out[i] - 0.5f) < 1e-6f)
            ++both;
        else if (std::fabs(out[i] - 0.25f) < 1e-6f)
            ++one;
        else
            EXPECT_LT(std::fabs(out[i]), 1e-6f) << "sample " << i;
    }
    // Samples of both channels: 22050 frames of each stream, overlapping but
    // for the difference of their starts.
    EXPECT_EQ(both + one / 2, 22050 * 2);
    EXPECT_GT(both, 2 * (22050 - 4096));
    FSOUND_Stream_Close(a);
    FSOUND_Stream_Close(b);
}
