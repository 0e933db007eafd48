// CAudio over the real sound library: kinds, bad input, play to the end,
// pause and resume, loops, and the file callbacks.
#include "support/SoundFixture.h"

#include "audio/Audio.h"
#include "support/TestEnv.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace
{
class AudioHandleTest : public SilentSoundTest
{
};

CStream* AsStream(CAudio::CHandle* handle)
{
    return handle && handle->GetType() == 1 ? static_cast<CStream*>(handle) : nullptr;
}
}

TEST_F(AudioHandleTest, LoadChoosesTheKindByContentNeverByName)
{
    struct CCase
    {
        const char* m_Name;
        int m_Type;
    } cases[] = {{"cbr.mp3", 1},     {"vbr_picture.mp3", 1}, {"tone44.wav", 1},     {"tone44.flac", 1},
                 {"tone44.ogg", 1},  {"song.mod", 0},        {"song_named.mp3", 0}, {"mp3_named.xm", 1},
                 {"truncated.mp3", 1}};
    for (const CCase& c : cases)
    {
        CAudio::CHandle* handle = CAudio::Load(TestFile(c.m_Name).m_Path.c_str());
        ASSERT_NE(handle, nullptr) << c.m_Name;
        EXPECT_EQ(handle->GetType(), c.m_Type) << c.m_Name;
        EXPECT_NE(handle->GetHandle(), nullptr) << c.m_Name;
        if (CStream* stream = AsStream(handle))
        {
            EXPECT_FALSE(stream->m_Finished.load());
            EXPECT_FALSE(stream->m_Loop);
            EXPECT_EQ(stream->m_PausePosition, 0u);
        }
        // Opened, not started.
        EXPECT_EQ(CAudio::GetTime(handle), 0u) << c.m_Name;
        CAudio::Stop(handle);
        CAudio::Free(handle);
    }
}

TEST_F(AudioHandleTest, BadFilesGiveNull)
{
    for (const char* name : {"random.bin", "empty.mp3", "dir"})
        EXPECT_EQ(CAudio::Load(TestFile(name).m_Path.c_str()), nullptr) << name;
    EXPECT_EQ(CAudio::Load("/no/such/folder/day1.mp3"), nullptr);
}

TEST_F(AudioHandleTest, NullAndEmptyHandlesAreFinishedAndSilent)
{
    EXPECT_TRUE(CAudio::IsFinished(nullptr));
    EXPECT_EQ(CAudio::GetTime(nullptr), 0u);
    EXPECT_EQ(CAudio::GetLength(nullptr), 0u);
    CAudio::Play(nullptr, false);
    CAudio::Pause(nullptr, true);
    CAudio::Stop(nullptr);
    CAudio::Free(nullptr);
    CStream empty;
    EXPECT_TRUE(CAudio::IsFinished(&empty));
    EXPECT_EQ(CAudio::GetTime(&empty), 0u);
    EXPECT_EQ(CAudio::GetLength(&empty), 0u);
    CAudio::Play(&empty, true);
    EXPECT_FALSE(empty.m_Loop); // nothing happened
    CSong emptySong;
    EXPECT_TRUE(CAudio::IsFinished(&emptySong));
}

TEST_F(AudioHandleTest, BackslashedPathsOpen)
{
    std::string path = TestFile("cbr.mp3").m_Path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    CAudio::CHandle* handle = CAudio::Load(path.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->GetType(), 1);
    EXPECT_EQ(CAudio::GetLength(handle), 1500u);
    CAudio::Free(handle);
}

TEST_F(AudioHandleTest, StreamPlayedOnceIsFinishedAtItsEnd)
{
    CAudio::CHandle* handle = CAudio::Load(TestFile("cbr.mp3").m_Path.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(CAudio::GetLength(handle), 1500u);
    double start = NowSeconds();
    CAudio::Play(handle, false);
    EXPECT_FALSE(AsStream(handle)->m_Loop);
    SleepMs(400);
    EXPECT_FALSE(CAudio::IsFinished(handle));
    uint32_t time = CAudio::GetTime(handle);
    EXPECT_GT(time, 250u);
    EXPECT_LT(time, 550u);
    ASSERT_TRUE(WaitFor([&] { return CAudio::IsFinished(handle); }, 4.0));
    EXPECT_GE(NowSeconds() - start, 1.5 - 0.03);
    EXPECT_EQ(CAudio::GetTime(handle), 1500u);
    CAudio::Stop(handle);
    EXPECT_TRUE(CAudio::IsFinished(handle)); // never reset
    CAudio::Free(handle);
}

TEST_F(AudioHandleTest, PauseThenResumeContinuesWhereItStopped)
{
    CAudio::CHandle* handle = CAudio::Load(TestFile("cbr.mp3").m_Path.c_str());
    ASSERT_NE(handle, nullptr);
    CAudio::Play(handle, false);
    SleepMs(400);
    CAudio::Pause(handle, true);
    uint32_t paused = CAudio::GetTime(handle);
    EXPECT_GT(paused, 250u);
    // The saved place is the library's position (PCM frames at 44100 Hz).
    EXPECT_NEAR(AsStream(handle)->m_PausePosition, paused * 44.1, 45.0);
    SleepMs(300);
    EXPECT_EQ(CAudio::GetTime(handle), paused);
    EXPECT_FALSE(CAudio::IsFinished(handle));
    CAudio::Pause(handle, false);
    const auto resumed = std::chrono::steady_clock::now();
    EXPECT_NEAR(CAudio::GetTime(handle), paused, 1.0);
    SleepMs(300);
    // On from the paused place, never ahead of the time that really passed
    // (a busy machine may sleep longer than asked).
    const uint32_t after = CAudio::GetTime(handle);
    const double passedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - resumed).count();
    EXPECT_GT(after, paused + 150u);
    EXPECT_LE(after, paused + passedMs + 80.0);
    // And it still ends, at the file's end.
    ASSERT_TRUE(WaitFor([&] { return CAudio::IsFinished(handle); }, 3.0));
    EXPECT_EQ(CAudio::GetTime(handle), 1500u);
    CAudio::Free(handle);
}

TEST_F(AudioHandleTest, LoopFlagSurvivesAPauseAndALoopingStreamNeverFinishes)
{
    CAudio::CHandle* handle = CAudio::Load(TestFile("short.wav").m_Path.c_str());
    ASSERT_NE(handle, nullptr);
    CAudio::Play(handle, true);
    EXPECT_TRUE(AsStream(handle)->m_Loop);
    SleepMs(300);
    CAudio::Pause(handle, true);
    SleepMs(100);
    CAudio::Pause(handle, false);
    EXPECT_TRUE(AsStream(handle)->m_Loop);
    // 0.5 s long: played on well past two ends.
    SleepMs(1000);
    EXPECT_FALSE(CAudio::IsFinished(handle));
    EXPECT_LT(CAudio::GetTime(handle), 500u);
    CAudio::Stop(handle);
    CAudio::Free(handle);
}

TEST_F(AudioHandleTest, ModuleHasNoLengthButATimeAndAnEnd)
{
    CAudio::CHandle* handle = CAudio::Load(TestFile("song_named.mp3").m_Path.c_str());
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->GetType(), 0);
    CAudio::Play(handle, false);
    SleepMs(300);
    EXPECT_EQ(CAudio::GetLength(handle), 0u);
    EXPECT_GT(CAudio::GetTime(handle), 150u);
    EXPECT_FALSE(CAudio::IsFinished(handle));
    CAudio::Pause(handle, true);
    SleepMs(20);
    uint32_t paused = CAudio::GetTime(handle);
    SleepMs(150);
    EXPECT_EQ(CAudio::GetTime(handle), paused);
    CAudio::Pause(handle, false);
    ASSERT_TRUE(WaitFor([&] { return CAudio::IsFinished(handle); }, 3.0));
    ExpectSongEndTime(static_cast<int>(CAudio::GetTime(handle)));
    CAudio::Stop(handle);
    CAudio::Free(handle);
}

TEST_F(AudioHandleTest, EndCallbackSetsTheFlagAndReturnsTrue)
{
    CStream stream;
    EXPECT_EQ(OnStreamEnd(nullptr, nullptr, 0, &stream), 1);
    EXPECT_TRUE(stream.m_Finished.load());
    EXPECT_EQ(OnStreamEnd(nullptr, nullptr, 0, &stream), 1);
    EXPECT_TRUE(stream.m_Finished.load());
}

TEST(AudioFileCallbacks, SeekPassesTheOriginThroughAndPathsUseSlashes)
{
    std::string dir = MakeTempDir("audio-callbacks");
    std::filesystem::create_directories(dir + "/sub");
    {
        FILE* f = std::fopen((dir + "/sub/data.bin").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("0123456789", f);
        std::fclose(f);
    }
    std::string windowsPath = dir + "\\sub\\data.bin";
    void* file = FileOpen(windowsPath.c_str());
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(FileRead(buffer, 4, file), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(FileTell(file), 4);
    EXPECT_EQ(FileSeek(file, 3, 0), 0); // from the start
    EXPECT_EQ(FileTell(file), 3);
    EXPECT_EQ(FileSeek(file, 2, 1), 0); // from here
    EXPECT_EQ(FileTell(file), 5);
    EXPECT_EQ(FileSeek(file, -1, 2), 0); // from the end
    EXPECT_EQ(FileTell(file), 9);
    EXPECT_EQ(FileRead(buffer, 8, file), 1);
    EXPECT_EQ(buffer[0], '9');
    EXPECT_EQ(FileRead(buffer, 8, file), 0);
    EXPECT_NE(FileSeek(file, -100, 0), 0);
    FileClose(file);
    EXPECT_EQ(FileOpen((dir + "\\sub\\missing.bin").c_str()), nullptr);
}
