// Replays the fuzz seeds and every input a fuzzer ever crashed on
// (tests/fuzz/regressions/<target>/) through the same code paths the fuzz
// targets drive, here under the normal and the sanitizer builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzPaths.h"
#include "support/RecordingDevice.h"
#include "support/TestEnv.h"
#if __has_include("musicdisk/Font.h")
#include "fuzz/FuzzFontPath.h"
#define ORBA_HAVE_FONT_SCAN 1
#endif

namespace
{
namespace fs = std::filesystem;

struct SInput
{
    std::string m_Name;  // "corpus/x.png" or "regressions/x"
    std::string m_Path;
    std::vector<uint8_t> m_Bytes;
};

std::vector<SInput> Inputs(const std::string& target)
{
    std::vector<SInput> inputs;
    for (const char* kind : {"corpus", "regressions"})
    {
        const fs::path dir = fs::path(ORBA_SOURCE_DIR) / "tests/fuzz" / kind / target;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& entry : fs::directory_iterator(dir))
        {
            if (!entry.is_regular_file())
                continue;
            SInput input;
            input.m_Name = std::string(kind) + "/" + entry.path().filename().string();
            input.m_Path = entry.path().string();
            std::ifstream file(entry.path(), std::ios::binary);
            input.m_Bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            inputs.push_back(std::move(input));
        }
    }
    std::sort(inputs.begin(), inputs.end(), [](const SInput& a, const SInput& b) { return a.m_Name < b.m_Name; });
    return inputs;
}

bool IsCutSeed(const std::string& name)
{
    return name.find("_half") != std::string::npos || name.find("_no_iend") != std::string::npos ||
           name.find("_cut") != std::string::npos || name.find("_truncated") != std::string::npos;
}

bool IsIntactSeed(const SInput& input)
{
    return input.m_Name.rfind("corpus/", 0) == 0 && !IsCutSeed(input.m_Name);
}
}

TEST(CFuzzInputs, PngTextureSeedsAndRegressions)
{
    const auto inputs = Inputs("fuzz_png_texture");
    ASSERT_GE(inputs.size(), 10u);
    CRecordingDevice device;
    for (const auto& input : inputs)
    {
        SCOPED_TRACE(input.m_Name);
        EXPECT_EQ(ExercisePngTexture(&device, input.m_Bytes.data(), input.m_Bytes.size()), nullptr);
        uint32_t w = 0, h = 0;
        uint32_t* argb = nullptr;
        const bool decoded = DecodePngArgb(input.m_Bytes.data(), input.m_Bytes.size(), &w, &h, &argb);
        FreePngArgb(argb);
        // The seeds are the program's own images: whole ones decode, cut ones never do.
        if (IsIntactSeed(input))
        {
            EXPECT_TRUE(decoded);
        }
        else if (input.m_Name.rfind("corpus/", 0) == 0)
        {
            EXPECT_FALSE(decoded);
        }
    }
    EXPECT_EQ(CRecordingTexture::s_Live, 0);
}

class CFuzzAudioInputs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FSOUND_Test_ForceSilentOutput(true);
        FSOUND_Test_SetSilentSpeed(40.0);
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    }
    void TearDown() override
    {
        FSOUND_Close();
        FSOUND_Test_ForceSilentOutput(false);
        FSOUND_Test_SetSilentSpeed(1.0);
    }
};

TEST_F(CFuzzAudioInputs, SeedsAndRegressionsLoadPlayAndFree)
{
    const auto inputs = Inputs("fuzz_audio_load");
    ASSERT_GE(inputs.size(), 10u);
    for (const auto& input : inputs)
    {
        SCOPED_TRACE(input.m_Name);
        SAudioOutcome outcome;
        EXPECT_EQ(ExerciseAudioFile(input.m_Path.c_str(), 44100 * 3 / 10, &outcome), nullptr);
        if (!IsIntactSeed(input))
            continue;
        // Every whole seed is a playable track of the kind its name says.
        EXPECT_TRUE(outcome.m_Loaded);
        const bool module = input.m_Name.size() > 4 && input.m_Name.substr(input.m_Name.size() - 4) == ".mod";
        EXPECT_EQ(outcome.m_Type, module ? 0 : 1);
        if (!module)
        {
            EXPECT_GT(outcome.m_Length, 0u);
            EXPECT_LE(outcome.m_Time, outcome.m_Length + 50);
        }
    }
}

TEST_F(CFuzzAudioInputs, RandomBytesAreRefused)
{
    // No format's magic, no frame sync: refused, not guessed at.
    const std::string dir = MakeTempDir("hardening_audio");
    const std::string path = dir + "/noise.bin";
    std::ofstream(path, std::ios::binary) << std::string(4096, '\x11');
    SAudioOutcome outcome;
    EXPECT_EQ(ExerciseAudioFile(path.c_str(), 4410, &outcome), nullptr);
    EXPECT_FALSE(outcome.m_Loaded);
}

#ifdef ORBA_HAVE_FONT_SCAN
TEST(CFuzzInputs, FontScanSeedsAndRegressions)
{
    const auto inputs = Inputs("fuzz_font_scan");
    ASSERT_GE(inputs.size(), 4u);
    InstallRecordingDevice();
    for (const auto& input : inputs)
    {
        SCOPED_TRACE(input.m_Name);
        float width = -1.0f;
        EXPECT_EQ(ExerciseFontScan(input.m_Bytes.data(), input.m_Bytes.size(), &width), nullptr);
        // The real strip has every glyph of the text.
        if (input.m_Name == "corpus/font.png")
        {
            EXPECT_GT(width, 100.0f);
        }
    }
    RemoveRecordingDevice();
    EXPECT_EQ(CRecordingTexture::s_Live, 0);
}
#endif
