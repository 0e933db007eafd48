// A recording larger than 800 x 600 is drawn at its own pixels: the same
// show moment at 2x is the 1x frame enlarged texel for texel where the
// artwork shows, while the blob is drawn with the finer detail of its size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "app/RecorderHooks.h"
#include "platform/FMOD.h"
#include "support/AudioTestFiles.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

struct SFrames
{
    int m_Width = 0, m_Height = 0;
    std::vector<std::vector<uint32_t>> m_Pixels;
    int m_Count = 0;
};

void Keep(int64_t, int64_t, const uint32_t* argb, int width, int height, void* user)
{
    auto* frames = static_cast<SFrames*>(user);
    // Only the last few frames: a 2x film is 7.7 MB a frame.
    frames->m_Width = width;
    frames->m_Height = height;
    if (frames->m_Pixels.size() == 3)
        frames->m_Pixels.erase(frames->m_Pixels.begin());
    frames->m_Pixels.emplace_back(argb, argb + size_t(width) * height);
    ++frames->m_Count;
}

SFrames Record(const std::string& dir, const char* size)
{
    FSOUND_SetPulledOutput(1);
    EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
    SFrames frames;
    SetRecordFrameTap(Keep, &frames);
    const std::string film = dir + "/film-" + size + ".mkv";
    const std::string album = dir + "/album";
    std::vector<const char*> args = {"orba", "--record", film.c_str(), "--size", size,
                                     "--fps", "10", "--lossless", album.c_str()};
    SCommandLine line;
    EXPECT_TRUE(ParseCommandLine(static_cast<int>(args.size()), args.data(), &line));
    EXPECT_EQ(RunRecording(line), 0);
    SetRecordFrameTap(nullptr, nullptr);
    FSOUND_Close();
    FSOUND_SetPulledOutput(0);
    return frames;
}

struct SRegion
{
    int x, y, w, h;
};

}  // namespace

TEST(RecordScaleTest, TwiceTheSizeIsTheArtworkTexelForTexelAndTheBlobInFinerDetail)
{
    const std::string dir = MakeTempDir("record-scale");
    fs::create_directories(dir + "/album");
    // A tone loud enough to swell the blob.
    std::vector<float> stereo(size_t(44100) * 3 * 2);
    for (size_t i = 0; i < stereo.size() / 2; ++i)
        stereo[i * 2] = stereo[i * 2 + 1] = 0.7f * std::sin(0.05f * static_cast<float>(i));
    WriteFloatWav(dir + "/album/tone.wav", 44100, stereo);

    const SFrames one = Record(dir, "800x600");
    const SFrames two = Record(dir, "1600x1200");
    ASSERT_EQ(one.m_Width, 800);
    ASSERT_EQ(one.m_Height, 600);
    ASSERT_EQ(two.m_Width, 1600);
    ASSERT_EQ(two.m_Height, 1200);
    ASSERT_EQ(one.m_Count, two.m_Count);
    ASSERT_EQ(one.m_Pixels.size(), 3u);
    ASSERT_EQ(two.m_Pixels.size(), 3u);
    // A moment of the player, faded in, the tone playing.
    const std::vector<uint32_t>& a = one.m_Pixels[0];
    const std::vector<uint32_t>& b = two.m_Pixels[0];

    // The skin's top band, the buttons' bar and the panel's middle: every
    // pixel of 2x is the 1x pixel it covers.
    const SRegion artwork[] = {{0, 0, 800, 50}, {0, 340, 350, 60}, {300, 520, 200, 60}};
    for (const SRegion& r : artwork)
    {
        int differing = 0;
        for (int y = r.y * 2; y < (r.y + r.h) * 2; ++y)
            for (int x = r.x * 2; x < (r.x + r.w) * 2; ++x)
                differing += b[size_t(y) * 1600 + x] != a[size_t(y / 2) * 800 + x / 2];
        EXPECT_EQ(differing, 0) << "region at " << r.x << "," << r.y;
    }

    // The blob's stage: at 2x most 2 x 2 blocks along its edges and shading
    // differ within themselves; an enlarged 1x frame has none that do.
    int blocks = 0, mixed = 0;
    for (int y = 70; y < 330; ++y)
        for (int x = 0; x < 800; ++x)
        {
            const size_t p = size_t(y * 2) * 1600 + x * 2;
            const bool flat = b[p] == b[p + 1] && b[p] == b[p + 1600] && b[p] == b[p + 1601];
            ++blocks;
            mixed += !flat;
        }
    EXPECT_GT(mixed, blocks / 50) << mixed << " of " << blocks << " blocks show finer detail";
}
