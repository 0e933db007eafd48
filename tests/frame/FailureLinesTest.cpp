// Tolerated failures: one tagged line on stderr, said once, with the cause.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "audio/Audio.h"
#include "content/ResourceManager.h"
#include "frame/Report.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RealDevice.h"
#include "support/SoundFixture.h"
#include "support/TestEnv.h"

namespace {

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class FailureLinesTest : public SilentSoundTest
{
};

TEST_F(FailureLinesTest, AMissingTrackIsSaidOnceHoweverOftenItIsAskedFor)
{
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_EQ(CAudio::Load("Tamm_songs\\no such day.mp3"), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(said, "ORBA: track: Tamm_songs/no such day.mp3: cannot be opened\n"), 1) << said;
    EXPECT_EQ(Count(said, "ORBA:"), 1) << said;
}

TEST_F(FailureLinesTest, AnEffectThatDoesNotCompileIsSaidWithItsLog)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    const char broken[] = "@vertex VS\nvoid main() { gl_Position = undeclared_thing; }\n"
                          "@pixel PS\nout vec4 o_Colour;\nvoid main() { o_Colour = vec4(1.0); }\n"
                          "@technique T\npass P VS PS\n";
    testing::internal::CaptureStderr();
    CShader* shader = CreateEffectFromMemory(broken, sizeof(broken) - 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shader->m_Effect, nullptr);
    delete shader;
    CloseRealDevice();
    ASSERT_EQ(Count(said, "ORBA: effect: built-in: "), 1) << said;
    // The compiler's log follows the tag: the reason is there to read.
    EXPECT_NE(said.find("undeclared_thing"), std::string::npos) << said;
}

TEST(FailureLines, AnImageThatDoesNotDecodeIsNamed)
{
    ResetProgramState();
    if (!OpenRealDevice())
        GTEST_SKIP() << "no OpenGL 3.3 here";
    // A PNG signature and then nothing a decoder can use.
    const std::string path = MakeTempDir("failure-lines") + "/cut.png";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("\x89PNG\r\n\x1a\n and no chunks", f);
    std::fclose(f);
    testing::internal::CaptureStderr();
    CTexture* texture = LoadTexture(0, CFixedString(path.c_str()));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(texture->IsValid());
    delete texture;
    CloseRealDevice();
    EXPECT_EQ(Count(said, "ORBA: texture: cut.png: cannot be decoded\n"), 1) << said;
}

}  // namespace
