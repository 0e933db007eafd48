// The recording's command line, its clock (44100 / fps audio frames a video
// frame, the fraction carried) and the progress line's figures.
#include <gtest/gtest.h>

#include <vector>

#include "app/CommandLine.h"
#include "app/Recorder.h"

namespace {

bool Request(std::vector<const char*> args, SRecordRequest* request, std::string* why)
{
    args.insert(args.begin(), "orba");
    SCommandLine line;
    if (!ParseCommandLine(static_cast<int>(args.size()), args.data(), &line))
    {
        *why = line.m_Error;
        return false;
    }
    return ParseRecordRequest(line, request, why);
}

}  // namespace

TEST(RecorderTest, TheCommandLineGivesTheFilmItsSettings)
{
    SRecordRequest request;
    std::string why;
    ASSERT_TRUE(Request({"--record", "a.mkv", "album"}, &request, &why)) << why;
    EXPECT_EQ(request.m_Options.m_Path, "a.mkv");
    EXPECT_EQ(request.m_Options.m_Width, 1920);
    EXPECT_EQ(request.m_Options.m_Height, 1080);
    EXPECT_EQ(request.m_Options.m_Fps, 60);
    EXPECT_EQ(request.m_FirstDay, 1);
    EXPECT_EQ(request.m_LastDay, 0);
    ASSERT_TRUE(Request({"--size", "800x600", "--fps", "25", "--days", "3-7", "--lossless", "--record", "b.mkv"},
                        &request, &why))
        << why;
    EXPECT_EQ(request.m_Options.m_Width, 800);
    EXPECT_EQ(request.m_Options.m_Height, 600);
    EXPECT_EQ(request.m_Options.m_Fps, 25);
    EXPECT_EQ(request.m_FirstDay, 3);
    EXPECT_EQ(request.m_LastDay, 7);
    EXPECT_TRUE(request.m_Options.m_Lossless);
}

TEST(RecorderTest, BadSettingsAreRefusedWithTheirReason)
{
    SRecordRequest request;
    std::string why;
    const std::vector<std::vector<const char*>> bad = {
        {"--record"},                                 {"--record", "a.mkv", "--size"},
        {"--record", "a.mkv", "--size", "0x600"},     {"--record", "a.mkv", "--size", "100000x600"},
        {"--record", "a.mkv", "--size", "801x601"},   {"--record", "a.mkv", "--size", "800"},
        {"--record", "a.mkv", "--size", "-8x600"},    {"--record", "a.mkv", "--fps", "0"},
        {"--record", "a.mkv", "--fps", "1000"},       {"--record", "a.mkv", "--fps", "2.5"},
        {"--record", "a.mkv", "--days", "0-3"},       {"--record", "a.mkv", "--days", "5-2"},
        {"--record", "a.mkv", "--days", "x"},         {"--record", "a.avi"},
        {"--record", "a.mp4", "--lossless"},          {"--fps", "30"},
    };
    for (const auto& args : bad)
    {
        why.clear();
        EXPECT_FALSE(Request(args, &request, &why)) << args.back();
        EXPECT_FALSE(why.empty()) << args.back();
    }
}

TEST(RecorderTest, DaysAreARangeOrOneDay)
{
    int first = 0, last = 0;
    ASSERT_TRUE(ParseDays("2-30", &first, &last));
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 30);
    ASSERT_TRUE(ParseDays("4", &first, &last));
    EXPECT_EQ(first, 4);
    EXPECT_EQ(last, 4);
    for (const char* text : {"", "-", "1-", "-3", "3-2", "0", "1-2-3", "a-b", " 1-2"})
        EXPECT_FALSE(ParseDays(text, &first, &last)) << text;
}

TEST(RecorderTest, EachFrameGetsItsShareOfTheSoundWithTheFractionCarried)
{
    // 44100 / 60 is a whole 735.
    EXPECT_EQ(AudioFramesBefore(0, 60), 0);
    EXPECT_EQ(AudioFramesBefore(1, 60), 735);
    EXPECT_EQ(AudioFramesBefore(3600, 60), 3600 * 735);
    // 44100 / 7 = 6300; 44100 / 47 = 938.29...: the frames differ by one at
    // most, and a second of them is exactly a second of sound.
    for (int fps : {1, 7, 23, 24, 25, 30, 47, 144, 240})
    {
        int64_t smallest = 1 << 30, largest = 0;
        for (int64_t frame = 0; frame < 10 * fps; ++frame)
        {
            const int64_t share = AudioFramesBefore(frame + 1, fps) - AudioFramesBefore(frame, fps);
            smallest = std::min(smallest, share);
            largest = std::max(largest, share);
        }
        EXPECT_LE(largest - smallest, 1) << fps;
        EXPECT_EQ(smallest, 44100 / fps) << fps;
        EXPECT_EQ(AudioFramesBefore(10 * fps, fps), 441000) << fps;
    }
    // A long film does not drift: an hour at 47 fps is an hour of sound.
    EXPECT_EQ(AudioFramesBefore(3600LL * 47, 47), 3600LL * 44100);
}

TEST(RecorderTest, TheProgressLineSaysHowFarHowFastAndHowLong)
{
    // 600 of 2400 frames at 60 fps (10 s of show) in 5 s of wall time:
    // 25 %, twice real time, 30 s of show left is 15 s.
    SRecordProgress progress = MeasureProgress(600, 2400, 60, 5.0);
    EXPECT_EQ(progress.m_Percent, 25);
    EXPECT_DOUBLE_EQ(progress.m_Speed, 2.0);
    EXPECT_DOUBLE_EQ(progress.m_SecondsLeft, 15.0);
    EXPECT_EQ(FormatProgress(600, 2400, progress), "\r 25%  600/2400 frames  2.0x real time  0:15 left   ");

    // Slower than real time, minutes left.
    progress = MeasureProgress(300, 36300, 30, 20.0);
    EXPECT_DOUBLE_EQ(progress.m_Speed, 0.5);
    EXPECT_DOUBLE_EQ(progress.m_SecondsLeft, 2400.0);
    EXPECT_EQ(FormatProgress(300, 36300, progress), "\r  0%  300/36300 frames  0.5x real time  40:00 left   ");

    // An estimate that ran short never goes past 100 % or below nothing left.
    progress = MeasureProgress(500, 400, 50, 1.0);
    EXPECT_EQ(progress.m_Percent, 100);
    EXPECT_DOUBLE_EQ(progress.m_SecondsLeft, 0.0);
    EXPECT_EQ(FormatProgress(500, 400, progress), "\r100%  500/500 frames  10.0x real time  0:00 left   ");
    // Before any time has passed there is no speed to speak of.
    progress = MeasureProgress(0, 100, 60, 0.0);
    EXPECT_EQ(progress.m_Speed, 0.0);
    EXPECT_EQ(progress.m_SecondsLeft, 0.0);
}
