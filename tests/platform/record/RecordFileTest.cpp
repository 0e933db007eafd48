// The recorder's film: refusals before anything opens, the temporary name,
// films that ffprobe reads back with every frame, lossless sound that decodes
// to exactly what was written, and failures that leave no film behind.
#include "platform/record/Record.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
SRecordOptions Small(const std::string& path)
{
    SRecordOptions options;
    options.m_Path = path;
    options.m_Width = 96;
    options.m_Height = 54;
    options.m_Fps = 30;
    options.m_SourceWidth = 80;
    options.m_SourceHeight = 60;
    return options;
}

std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

// A test frame: a gradient that moves with the frame number.
std::vector<uint32_t> Frame(int width, int height, int n)
{
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            argb[static_cast<size_t>(y) * width + x] =
                0xFF000000u | static_cast<uint32_t>((x * 3 + n) & 255) << 16 | static_cast<uint32_t>((y * 4) & 255) << 8 |
                static_cast<uint32_t>(n * 7 & 255);
    return argb;
}

// A film of `frames` frames with 44100 / fps audio frames each.
bool WriteFilm(const SRecordOptions& options, int frames, std::vector<float>* sound, std::string* why)
{
    CRecordFile* file = OpenRecordFile(options, why);
    if (!file)
        return false;
    const int audio = RecordAudioRate / options.m_Fps;
    for (int n = 0; n < frames; ++n)
    {
        std::vector<uint32_t> argb = Frame(options.m_SourceWidth, options.m_SourceHeight, n);
        std::vector<float> stereo(static_cast<size_t>(audio) * 2);
        for (int i = 0; i < audio; ++i)
        {
            const double t = static_cast<double>(n * audio + i) / RecordAudioRate;
            stereo[i * 2] = static_cast<float>(0.5 * std::sin(2 * M_PI * 440 * t));
            stereo[i * 2 + 1] = static_cast<float>(0.3 * std::sin(2 * M_PI * 660 * t));
        }
        if (sound)
            sound->insert(sound->end(), stereo.begin(), stereo.end());
        if (!WriteRecordVideo(file, argb.data(), why) || !WriteRecordAudio(file, stereo.data(), audio, why))
        {
            AbandonRecordFile(file);
            return false;
        }
    }
    return FinishRecordFile(file, why);
}

int ProbeFrames(const std::string& path)
{
    return std::atoi(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                            "-of csv=p=0 '" + path + "'").c_str());
}

std::string Codecs(const std::string& path)
{
    return Output("ffprobe -v error -show_entries stream=codec_type,codec_name,pix_fmt,width,height -of csv=p=0 '" +
                  path + "'");
}
}

TEST(RecordOptions, RefusesWhatCannotBeRecorded)
{
    std::string why;
    SRecordOptions options = Small("out.mkv");
    EXPECT_TRUE(CheckRecordOptions(options, &why)) << why;
    const std::pair<int, int> sizes[] = {{0, 54}, {96, 0}, {100000, 54}, {96, 100000}, {97, 54}, {96, 55}};
    for (auto [w, h] : sizes)
    {
        options = Small("out.mkv");
        options.m_Width = w;
        options.m_Height = h;
        why.clear();
        EXPECT_FALSE(CheckRecordOptions(options, &why)) << w << "x" << h;
        EXPECT_NE(why.find("size"), std::string::npos) << why;
    }
    // Odd sides are fine where colour is not subsampled.
    options = Small("out.mkv");
    options.m_Width = 97;
    options.m_Lossless = true;
    EXPECT_TRUE(CheckRecordOptions(options, &why)) << why;
    for (int fps : {0, -1, 1000})
    {
        options = Small("out.mkv");
        options.m_Fps = fps;
        EXPECT_FALSE(CheckRecordOptions(options, &why)) << fps;
    }
    for (const char* name : {"out.avi", "out", "out.mp3", "", "folder/"})
    {
        options = Small(name);
        EXPECT_FALSE(CheckRecordOptions(options, &why)) << name;
    }
    options = Small("out.mp4");
    options.m_Lossless = true;
    EXPECT_FALSE(CheckRecordOptions(options, &why));
    options = Small("OUT.MKV");
    EXPECT_TRUE(CheckRecordOptions(options, &why)) << why;
}

TEST(RecordOptions, TheTemporaryNameIsBesideTheFilmAndNotTheFilm)
{
    for (const std::string path : {"/a/b/film.mp4", "film.mkv", "../x/y.webm"})
    {
        const std::string temp = RecordTempPath(path);
        EXPECT_EQ(fs::path(temp).parent_path(), fs::path(path).parent_path()) << temp;
        EXPECT_NE(fs::path(temp).filename(), fs::path(path).filename()) << temp;
    }
}

TEST(RecordFile, EachContainerHoldsEveryFrameInItsCodecs)
{
    const std::string dir = MakeTempDir("record-codecs");
    struct SCase
    {
        const char* m_Name;
        bool m_Lossless;
        const char* m_Codecs;
    };
    const SCase cases[] = {{"a.mp4", false, "h264,video,96,54,yuv420p\naac,audio"},
                           {"b.mkv", false, "h264,video,96,54,yuv420p\naac,audio"},
                           {"c.webm", false, "vp9,video,96,54,yuv420p\nopus,audio"},
                           {"d.mkv", true, "ffv1,video,96,54,bgr0\nflac,audio"}};
    for (const SCase& c : cases)
    {
        SRecordOptions options = Small(dir + "/" + c.m_Name);
        options.m_Lossless = c.m_Lossless;
        std::string why;
        ASSERT_TRUE(WriteFilm(options, 17, nullptr, &why)) << c.m_Name << ": " << why;
        EXPECT_EQ(ProbeFrames(options.m_Path), 17) << c.m_Name;
        const std::string codecs = Codecs(options.m_Path);
        EXPECT_EQ(codecs.substr(0, std::strlen(c.m_Codecs)), c.m_Codecs) << codecs;
        EXPECT_FALSE(fs::exists(RecordTempPath(options.m_Path))) << c.m_Name;
    }
}

TEST(RecordFile, LosslessSoundDecodesToTheSamplesWritten)
{
    const std::string dir = MakeTempDir("record-lossless");
    SRecordOptions options = Small(dir + "/film.mkv");
    options.m_Lossless = true;
    std::vector<float> written;
    std::string why;
    ASSERT_TRUE(WriteFilm(options, 31, &written, &why)) << why;
    const std::string raw = dir + "/sound.s16";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -i '" + options.m_Path + "' -map 0:a -f s16le '" + raw + "'"), 0);
    std::ifstream in(raw, std::ios::binary);
    std::vector<int16_t> decoded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // (read as bytes above; reinterpret below)
    std::ifstream again(raw, std::ios::binary | std::ios::ate);
    const auto bytes = static_cast<size_t>(again.tellg());
    decoded.assign(bytes / 2, 0);
    again.seekg(0);
    again.read(reinterpret_cast<char*>(decoded.data()), static_cast<std::streamsize>(bytes));
    ASSERT_EQ(decoded.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i)
    {
        const long expected = std::lrintf(written[i] * 32768.0f);
        ASSERT_EQ(decoded[i], std::clamp(expected, -32768L, 32767L)) << "sample " << i;
    }
}

TEST(RecordFile, TheShowKeepsItsAspectBetweenBlackBars)
{
    const std::string dir = MakeTempDir("record-bars");
    SRecordOptions options = Small(dir + "/film.mkv");
    options.m_Lossless = true;
    options.m_Width = 160;  // 80x60 scaled into 160x90 is 120x90, bars of 20 each side
    options.m_Height = 90;
    CRecordFile* file = nullptr;
    std::string why;
    ASSERT_NE(file = OpenRecordFile(options, &why), nullptr) << why;
    std::vector<uint32_t> white(80 * 60, 0xFFFFFFFFu);
    ASSERT_TRUE(WriteRecordVideo(file, white.data(), &why));
    ASSERT_TRUE(FinishRecordFile(file, &why)) << why;
    const std::string raw = dir + "/frame.rgb";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -i '" + options.m_Path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'"), 0);
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(rgb.size(), 160u * 90 * 3);
    auto at = [&](int x, int y) { return static_cast<unsigned char>(rgb[(static_cast<size_t>(y) * 160 + x) * 3]); };
    EXPECT_EQ(at(10, 45), 0);
    EXPECT_EQ(at(150, 45), 0);
    EXPECT_EQ(at(21, 45), 255);
    EXPECT_EQ(at(80, 0), 255);
    EXPECT_EQ(at(138, 89), 255);
}

TEST(RecordFile, AFilmThatCannotBeWrittenLeavesNothingAndAnOldFileUntouched)
{
    const std::string dir = MakeTempDir("record-fail");
    std::string why;
    EXPECT_EQ(OpenRecordFile(Small(dir + "/no/such/folder/film.mkv"), &why), nullptr);
    EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
    EXPECT_EQ(OpenRecordFile(Small(dir), &why), nullptr);

    // An old film stays as it was while a new one is written, and after one is abandoned.
    const std::string path = dir + "/film.mkv";
    std::ofstream(path) << "old film";
    CRecordFile* file = OpenRecordFile(Small(path), &why);
    ASSERT_NE(file, nullptr) << why;
    std::vector<uint32_t> frame = Frame(80, 60, 0);
    ASSERT_TRUE(WriteRecordVideo(file, frame.data(), &why));
    EXPECT_TRUE(fs::exists(RecordTempPath(path)));
    AbandonRecordFile(file);
    EXPECT_FALSE(fs::exists(RecordTempPath(path)));
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "old film");
}

TEST(RecordFile, WritesTakeTheirFramesAndSoundAtOnceSoTheCallerMayReuseItsBuffers)
{
    // The recorder reads every frame into one buffer and pulls the sound into
    // another while the film is still encoding what came before.
    const std::string dir = MakeTempDir("record-reuse");
    SRecordOptions options = Small(dir + "/film.mkv");
    options.m_Lossless = true;
    options.m_Width = options.m_SourceWidth;
    options.m_Height = options.m_SourceHeight;
    std::string why;
    CRecordFile* file = OpenRecordFile(options, &why);
    ASSERT_NE(file, nullptr) << why;
    constexpr int Frames = 40, Audio = RecordAudioRate / 30;
    std::vector<uint32_t> pixels;
    std::vector<float> sound(Audio * 2);
    for (int n = 0; n < Frames; ++n)
    {
        pixels = Frame(80, 60, n);
        ASSERT_TRUE(WriteRecordVideo(file, pixels.data(), &why)) << why;
        std::fill(pixels.begin(), pixels.end(), 0xFFFF00FFu);
        std::fill(sound.begin(), sound.end(), static_cast<float>(n) / 64.0f);
        ASSERT_TRUE(WriteRecordAudio(file, sound.data(), Audio, &why)) << why;
        std::fill(sound.begin(), sound.end(), -1.0f);
    }
    ASSERT_TRUE(FinishRecordFile(file, &why)) << why;

    const std::string rgb = Output("ffmpeg -v error -i '" + options.m_Path + "' -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rgb.size(), size_t(Frames) * 80 * 60 * 3);
    for (int n = 0; n < Frames; ++n)
    {
        const std::vector<uint32_t> expected = Frame(80, 60, n);
        for (size_t i = 0; i < expected.size(); ++i)
        {
            const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + (size_t(n) * expected.size() + i) * 3;
            ASSERT_EQ(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2], expected[i] & 0xFFFFFFu)
                << "frame " << n << " pixel " << i;
        }
    }
    const std::string s16 = Output("ffmpeg -v error -i '" + options.m_Path + "' -map 0:a -f s16le -");
    ASSERT_EQ(s16.size(), size_t(Frames) * Audio * 4);
    for (int n = 0; n < Frames; ++n)
        for (int i = 0; i < Audio * 2; ++i)
        {
            int16_t sample = 0;
            std::memcpy(&sample, s16.data() + (size_t(n) * Audio * 2 + i) * 2, 2);
            ASSERT_EQ(sample, n * 512) << "frame " << n << " sample " << i;
        }
}
